#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// Holds the device-search timer: a repeating half-second timer that calls onSearchTimerTick.
// A new scanner's timer is stopped.
class USBScanner : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 500;

    USBScanner();

    std::function<void()> onSearchTimerTick;

    bool isRunning() const { return searchUSBTimer_.isActive(); }
    // Schedules the timer anew: the first tick comes one interval from now.
    void start() { searchUSBTimer_.start(); }
    // The timer never calls again until it is started; stopping a stopped timer does nothing.
    void stop() { searchUSBTimer_.stop(); }

    void searchUSBTimerTick();

private:
    QTimer searchUSBTimer_;
};
