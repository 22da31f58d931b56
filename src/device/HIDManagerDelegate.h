#pragma once

#include "device/HidService.h"

// Hears of removed and plugged-in devices from USBHidManager, which never keeps it alive. An
// object not owned by a shared_ptr can hold a token `std::shared_ptr<HIDManagerDelegate>
// token{this, [](auto*) {}}`, whose destruction with the object ends the delegation.
class HIDManagerDelegate {
public:
    virtual ~HIDManagerDelegate() = default;
    virtual void hidDeviceRemoved(const HidDeviceRef& device) = 0;
    // A device was plugged in (any identity: the delegate judges it). Ignored unless overridden.
    virtual void hidDeviceArrived(const HidDeviceRef& /*device*/) {}
};
