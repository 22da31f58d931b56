#include "RemovalWatch.h"

#include <QAbstractEventDispatcher>

RemovalWatch::RemovalWatch() {
    turnCounter_ = QObject::connect(QAbstractEventDispatcher::instance(),
                                    &QAbstractEventDispatcher::aboutToBlock, [this] { ++turns_; });
    previous_ = DiagnosticLog::setSink([this](const QString& line) {
        if (!heard_ && line.contains(u"][hidDeviceRemoved(_:)]"))
            heard_ = Moment{turns_, Clock::now()};
        if (previous_)
            previous_(line);
    });
}

RemovalWatch::~RemovalWatch() {
    DiagnosticLog::setSink(std::move(previous_));
    QObject::disconnect(turnCounter_);
}

std::optional<int> RemovalWatch::turnsSinceRemoval() const {
    return heard_ ? std::optional<int>(turns_ - heard_->turn) : std::nullopt;
}

std::optional<RemovalWatch::Clock::time_point> RemovalWatch::removalHeardAt() const {
    return heard_ ? std::optional<Clock::time_point>(heard_->time) : std::nullopt;
}
