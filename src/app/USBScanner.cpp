#include "app/USBScanner.h"

USBScanner::USBScanner() {
    searchUSBTimer_.setInterval(kIntervalMs);
    connect(&searchUSBTimer_, &QTimer::timeout, this, &USBScanner::searchUSBTimerTick);
}

void USBScanner::searchUSBTimerTick() {
    if (onSearchTimerTick)
        onSearchTimerTick();
}
