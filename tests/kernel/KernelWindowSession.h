#pragma once

#include "ConverterDeviceProcess.h"
#include "SoakFaultPlan.h"
#include "device/HidrawHidService.h"

#include <map>

// The whole program on the hidraw backend, started, and when each status last showed on
// converter-device's clock (CLOCK_MONOTONIC, us).
class KernelWindowSession : public SoakReleaseResources, public WindowHarness {
public:
    KernelWindowSession(HidrawHidService& service, std::chrono::milliseconds exchangeDeadline)
        : WindowHarness(*this, {.exchangeDeadline = exchangeDeadline, .devices = &service}) {
        shownAtLog_ = controller().mainVM.CurrentUIStatus.subscribe(
            [this](const UIStatus& status) { shownAtUs[status] = monotonicMicroseconds(); });
        start();
    }

    std::map<UIStatus, int64_t> shownAtUs;

private:
    Cancellable shownAtLog_;
};
