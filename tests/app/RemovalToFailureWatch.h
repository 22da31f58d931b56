#pragma once

#include <QAbstractEventDispatcher>
#include <optional>

#include "ScopedDiagnosticCapture.h"
#include "app/ViewController.h"

// Counts the turns of the event loop from the controller hearing of a removal (its diagnostic
// line) to UPGRADE_FW_FAILED.
class RemovalToFailureWatch {
public:
    explicit RemovalToFailureWatch(ViewController& controller) {
        turnCounter_ =
            QObject::connect(QAbstractEventDispatcher::instance(),
                             &QAbstractEventDispatcher::aboutToBlock, [this] { ++turns_; });
        statusWatch_ = controller.mainVM.CurrentUIStatus.subscribe([this](const UIStatus& status) {
            if (status == UIStatus::UPGRADE_FW_FAILED && !failure_)
                failure_ = removal_ ? std::optional(turns_ - *removal_) : -1;
        });
    }
    ~RemovalToFailureWatch() { QObject::disconnect(turnCounter_); }
    RemovalToFailureWatch(const RemovalToFailureWatch&) = delete;
    RemovalToFailureWatch& operator=(const RemovalToFailureWatch&) = delete;

    // Absent when the failure came first, or has not come.
    std::optional<int> turnsFromRemovalToFailure() const {
        return failure_ == -1 ? std::nullopt : failure_;
    }

private:
    std::optional<int> removal_, failure_; // turns; a failure before any removal is -1
    int turns_ = 0;
    QMetaObject::Connection turnCounter_;
    const ScopedDiagnosticCapture removals_{[this](const QString& line) {
        if (!removal_ && line.contains(u"][hidDeviceRemoved(_:)]"))
            removal_ = turns_;
    }};
    Cancellable statusWatch_;
};
