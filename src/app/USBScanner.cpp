#include "app/USBScanner.h"

USBScanner::USBScanner() {
    searchUSBTimer_.setInterval(kIntervalMs);
    searchUSBTimer_.setSingleShot(false);
    connect(&searchUSBTimer_, &QTimer::timeout, this, &USBScanner::searchUSBTimerTick);
}

void USBScanner::start() {
    searchUSBTimer_.start();
}

void USBScanner::stop() {
    searchUSBTimer_.stop();
}

void USBScanner::searchUSBTimerTick() {
    if (onSearchTimerTick)
        onSearchTimerTick();
}
