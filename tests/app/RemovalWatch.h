#pragma once

#include <QMetaObject>
#include <chrono>
#include <optional>

#include "support/DiagnosticLog.h"

// Notes when the controller hears of a device removal (its removal line in the diagnostic log)
// and counts from then on how often the event loop goes back to waiting, so that a test can tell
// whether a screen followed the removal in the same turn of the loop, and how long after it.
// Lines still reach the sink that was installed before.
class RemovalWatch {
public:
    using Clock = std::chrono::steady_clock;

    RemovalWatch();
    ~RemovalWatch();
    RemovalWatch(const RemovalWatch&) = delete;
    RemovalWatch& operator=(const RemovalWatch&) = delete;

    // Turns of the event loop begun since the first removal was heard; absent before it.
    std::optional<int> turnsSinceRemoval() const;
    std::optional<Clock::time_point> removalHeardAt() const;

private:
    struct Moment {
        int turn = 0;
        Clock::time_point time;
    };
    std::optional<Moment> heard_;
    int turns_ = 0;
    QMetaObject::Connection turnCounter_;
    DiagnosticLog::Sink previous_;
};
