#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

// One attached HID device as a backend sees it. Callers treat it as an opaque handle: a backend
// hands out the same object for as long as the device stays attached, so two references to one
// device compare equal.
class HidDevice {
public:
    virtual ~HidDevice() = default;
};
using HidDeviceRef = std::shared_ptr<HidDevice>;

// A matching dictionary: exactly the two keys "VendorID" and "ProductID".
struct DeviceMatching {
    int64_t VendorID = 0;
    int64_t ProductID = 0;
    bool operator==(const DeviceMatching&) const = default;
};

// The HID services the updater needs from the platform, one operation per platform call it makes.
// Result codes: 0 is success, anything else is a failure (backends use a negative errno, so
// -EACCES means permission denied). Every callback is delivered on the GUI thread, from the
// Qt event loop, never from inside the call that caused it.
class HidService {
public:
    using DeviceCallback = std::function<void(const HidDeviceRef& device)>;
    using InputReportCallback = std::function<void(int32_t result, const QByteArray& report)>;

    virtual ~HidService() = default;

    // Opens the manager side (enumeration and the removal watch). 0 on success.
    virtual int32_t open() = 0;

    // Restricts the devices seen by copyDevices() and the removal callback. An empty list means
    // no restriction: every HID device matches.
    void setDeviceMatching(const std::vector<DeviceMatching>& matching) { matching_ = matching; }

    // The attached devices that match, in no particular order.
    virtual std::vector<HidDeviceRef> copyDevices() = 0;

    // Called when a matching device goes away. A new registration replaces the old one.
    void setRemovalCallback(DeviceCallback callback) { removalCallback_ = std::move(callback); }

    // Called when a device is plugged in after open(), once its node can be opened, whatever the
    // matching (the search narrows it to one identity at a time). Devices attached before open(),
    // or all where the backend cannot watch, are only listed by copyDevices(). Replaces the old.
    virtual void setArrivalCallback(DeviceCallback callback) {
        arrivalCallback_ = std::move(callback);
    }

    // Opening a device that is already open succeeds.
    virtual int32_t openDevice(const HidDeviceRef& device) = 0;
    virtual int32_t closeDevice(const HidDeviceRef& device) = 0;

    // Whether the system refuses this program access to `device` (no udev rule on Linux). The
    // device commands only say that they failed, so the search asks this after a failed
    // identification. A device that opens is closed again.
    bool isPermissionDenied(const HidDeviceRef& device);

    // "VendorID" or "ProductID"; absent for any other key or when the device cannot tell.
    std::optional<int64_t> deviceProperty(const HidDeviceRef& device, std::string_view key) const;

    // Sends `report` as one output report with report id 0 (the id is not part of `report`).
    virtual int32_t setOutputReport(const HidDeviceRef& device, const QByteArray& report) = 0;

    // Input reports of an opened device go to `callback`; a new registration replaces the old.
    virtual void setInputReportCallback(const HidDeviceRef& device,
                                        InputReportCallback callback) = 0;

    // Why the last failed operation on this device failed, in words, for telling the user
    // (for example about missing permission). Empty when nothing failed.
    virtual QString lastErrorReason(const HidDeviceRef& device) const = 0;

    // Where the device is attached, in words a user can type to pick it ("/dev/hidraw3"); stable
    // while it stays attached. Empty for a device this service does not know.
    virtual QString deviceNode(const HidDeviceRef& device) const = 0;

protected:
    // Who the device is; absent for a device this service does not know. A removed device still
    // tells who it was: the removal handler wants to name it.
    virtual std::optional<DeviceMatching> identityOf(const HidDeviceRef& device) const = 0;
    bool matches(const DeviceMatching& identity) const;

    std::vector<DeviceMatching> matching_;
    DeviceCallback removalCallback_;
    DeviceCallback arrivalCallback_;
};
