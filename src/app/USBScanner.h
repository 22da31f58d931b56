#pragma once

#include <QTimer>
#include <functional>

// The device-search timer: it repeats, calls onSearchTimerTick, and is stopped until started.
class USBScanner : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 500;

    USBScanner();

    std::function<void()> onSearchTimerTick;

    bool isRunning() const { return searchUSBTimer_.isActive(); }
    // Schedules the timer anew: the first tick comes one interval from now.
    void start() { searchUSBTimer_.start(); }
    void stop() { searchUSBTimer_.stop(); }

    void searchUSBTimerTick();

private:
    QTimer searchUSBTimer_;
};
