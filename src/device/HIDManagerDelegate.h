#pragma once

#include "device/HidService.h"

// Hears of removed and plugged-in devices from USBHidManager, which holds it through a weak_ptr:
// the manager never keeps its delegate alive. An object that is not itself owned by a shared_ptr
// can hand out a token, e.g. a member `std::shared_ptr<HIDManagerDelegate> token{this, [](auto*)
// {}}`, whose destruction with the object ends the delegation.
class HIDManagerDelegate {
public:
    virtual ~HIDManagerDelegate() = default;
    virtual void hidDeviceRemoved(const HidDeviceRef& device) = 0;
    // A device was plugged in (any identity: the delegate judges it). Ignored unless overridden.
    virtual void hidDeviceArrived(const HidDeviceRef& /*device*/) {}
};
