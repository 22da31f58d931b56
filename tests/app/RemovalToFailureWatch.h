#pragma once

#include <QAbstractEventDispatcher>
#include <chrono>
#include <optional>

#include "app/ViewController.h"
#include "support/DiagnosticLog.h"

// Notes when the controller hears of a device removal (its diagnostic line) and when it shows
// UPGRADE_FW_FAILED, counting the turns of the event loop in between, so a test can tell whether
// the failure followed the removal in the same turn. Lines still reach the sink installed before.
class RemovalToFailureWatch {
public:
    explicit RemovalToFailureWatch(ViewController& controller) {
        turnCounter_ =
            QObject::connect(QAbstractEventDispatcher::instance(),
                             &QAbstractEventDispatcher::aboutToBlock, [this] { ++turns_; });
        previous_ = DiagnosticLog::setSink([this](const QString& line) {
            if (!removal_ && line.contains(u"][hidDeviceRemoved(_:)]"))
                removal_ = now();
            if (previous_)
                previous_(line);
        });
        statusWatch_ = controller.mainVM.CurrentUIStatus.subscribe([this](const UIStatus& status) {
            if (status == UIStatus::UPGRADE_FW_FAILED && !failure_)
                failure_ = now();
        });
    }
    ~RemovalToFailureWatch() {
        DiagnosticLog::setSink(std::move(previous_));
        QObject::disconnect(turnCounter_);
    }
    RemovalToFailureWatch(const RemovalToFailureWatch&) = delete;
    RemovalToFailureWatch& operator=(const RemovalToFailureWatch&) = delete;

    bool removalHeard() const { return removal_.has_value(); }
    // Absent when the failure came first, or has not come.
    std::optional<int> turnsFromRemovalToFailure() const {
        if (!failure_ || !failure_->afterRemoval)
            return std::nullopt;
        return failure_->turn - removal_->turn;
    }
    // Negative when the failure came first.
    std::optional<double> millisecondsFromRemovalToFailure() const {
        if (!removal_ || !failure_)
            return std::nullopt;
        return std::chrono::duration<double, std::milli>(failure_->time - removal_->time).count();
    }

private:
    struct Moment {
        int turn = 0;
        std::chrono::steady_clock::time_point time;
        bool afterRemoval = false;
    };
    Moment now() const { return {turns_, std::chrono::steady_clock::now(), removal_.has_value()}; }

    std::optional<Moment> removal_, failure_;
    int turns_ = 0;
    QMetaObject::Connection turnCounter_;
    DiagnosticLog::Sink previous_;
    Cancellable statusWatch_;
};
