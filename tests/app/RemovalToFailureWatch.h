#pragma once

#include <QMetaObject>
#include <chrono>
#include <optional>

#include "support/DiagnosticLog.h"
#include "ui/Cancellable.h"

class ViewController;

// Notes when the controller hears of a device removal (its removal line in the diagnostic log)
// and when it shows UPGRADE_FW_FAILED, counting the turns of the event loop (each time it goes
// back to waiting) in between: a test can tell whether the failure followed the removal in the
// same turn, and how long after it. Lines still reach the sink that was installed before.
class RemovalToFailureWatch {
public:
    explicit RemovalToFailureWatch(ViewController& controller);
    ~RemovalToFailureWatch();
    RemovalToFailureWatch(const RemovalToFailureWatch&) = delete;
    RemovalToFailureWatch& operator=(const RemovalToFailureWatch&) = delete;

    bool removalHeard() const { return removal_.has_value(); }
    // Turns of the event loop from the first removal to the failure; absent when the failure
    // came first, or has not come.
    std::optional<int> turnsFromRemovalToFailure() const;
    // Once both have happened: the time from the removal to the failure, negative when the
    // failure came first.
    std::optional<double> millisecondsFromRemovalToFailure() const;

private:
    struct Moment {
        int turn = 0;
        std::chrono::steady_clock::time_point time;
    };
    Moment now() const { return {turns_, std::chrono::steady_clock::now()}; }

    std::optional<Moment> removal_;
    std::optional<Moment> failure_;
    bool failureAfterRemoval_ = false;
    int turns_ = 0;
    QMetaObject::Connection turnCounter_;
    DiagnosticLog::Sink previous_;
    Cancellable statusWatch_;
};
