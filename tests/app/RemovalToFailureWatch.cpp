#include "RemovalToFailureWatch.h"

#include <QAbstractEventDispatcher>

#include "app/ViewController.h"

RemovalToFailureWatch::RemovalToFailureWatch(ViewController& controller) {
    turnCounter_ = QObject::connect(QAbstractEventDispatcher::instance(),
                                    &QAbstractEventDispatcher::aboutToBlock, [this] { ++turns_; });
    previous_ = DiagnosticLog::setSink([this](const QString& line) {
        if (!removal_ && line.contains(u"][hidDeviceRemoved(_:)]"))
            removal_ = now();
        if (previous_)
            previous_(line);
    });
    statusWatch_ = controller.mainVM.CurrentUIStatus.subscribe([this](const UIStatus& status) {
        if (status != UIStatus::UPGRADE_FW_FAILED || failure_)
            return;
        failure_ = now();
        failureAfterRemoval_ = removal_.has_value();
    });
}

RemovalToFailureWatch::~RemovalToFailureWatch() {
    DiagnosticLog::setSink(std::move(previous_));
    QObject::disconnect(turnCounter_);
}

std::optional<int> RemovalToFailureWatch::turnsFromRemovalToFailure() const {
    if (!failure_ || !failureAfterRemoval_)
        return std::nullopt;
    return failure_->turn - removal_->turn;
}

std::optional<double> RemovalToFailureWatch::millisecondsFromRemovalToFailure() const {
    if (!removal_ || !failure_)
        return std::nullopt;
    return std::chrono::duration<double, std::milli>(failure_->time - removal_->time).count();
}
