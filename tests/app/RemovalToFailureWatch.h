#pragma once

#include <QAbstractEventDispatcher>
#include <optional>
#include <utility>

#include "ScopedDiagnosticCapture.h"
#include "app/ViewController.h"

// Counts the turns of the event loop from the controller hearing of a removal (its diagnostic
// line) to UPGRADE_FW_FAILED.
class RemovalToFailureWatch {
public:
    explicit RemovalToFailureWatch(ViewController& controller) {
        QObject::connect(QAbstractEventDispatcher::instance(),
                         &QAbstractEventDispatcher::aboutToBlock, &turnCounter_,
                         [this] { ++turns_; });
        statusWatch_ = controller.mainVM.CurrentUIStatus.subscribe([this](const UIStatus& status) {
            if (status == UIStatus::UPGRADE_FW_FAILED && !std::exchange(failed_, true) && removal_)
                turnsToFailure_ = turns_ - *removal_;
        });
    }

    // Absent when the failure came first, or has not come.
    std::optional<int> turnsFromRemovalToFailure() const { return turnsToFailure_; }

private:
    std::optional<int> removal_, turnsToFailure_; // turns
    bool failed_ = false;
    int turns_ = 0;
    QObject turnCounter_; // disconnects the count when the watch goes
    const ScopedDiagnosticCapture removals_{[this](const QString& line) {
        if (!removal_ && line.contains(u"][hidDeviceRemoved(_:)]"))
            removal_ = turns_;
    }};
    Cancellable statusWatch_;
};
