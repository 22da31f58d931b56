#pragma once

#include "app/MainApplication.h"
#include "app/WindowHarness.h"
#include "device/HidrawHidService.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <vector>

// The whole program on the hidraw backend with the soak's release on offer, alerts recorded, and
// when each status showed on converter-device's clock.
class KernelWindowSession {
public:
    KernelWindowSession(HidrawHidService& service, std::chrono::milliseconds exchangeDeadline);
    ~KernelWindowSession();

    ViewController& controller() { return program_->viewController(); }
    UIStatus status() { return controller().mainVM.CurrentUIStatus.value(); }
    bool waitForStatus(UIStatus wanted, std::chrono::milliseconds limit);
    // Ticks at once and waits for the converter on the device screen.
    bool identify();
    // Picks the release and presses START; false when the window does not offer it.
    bool start();
    // The status the update ended in, absent when it did not end within `limit`.
    std::optional<UIStatus> waitForResult(std::chrono::milliseconds limit);

    TestResources resources;
    RecordingAlertPresenter alerts;
    // Every status assigned since the last start(); when each last showed (CLOCK_MONOTONIC, us).
    std::vector<UIStatus> statuses;
    std::map<UIStatus, int64_t> shownAtUs;

private:
    std::unique_ptr<MainApplication> program_;
    Cancellable statusSubscription_;
};
