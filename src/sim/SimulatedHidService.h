#pragma once

#include "device/HidService.h"
#include "sim/SimulatedDeviceFaults.h"
#include "sim/VirtualConverter.h"

#include <QObject>

class SimulatedHidDevice;

// A HID service without hardware: it hosts virtual converters (and, for tests, unrelated HID
// devices that never answer), lets them be plugged in and out at run time, and delivers their
// replies and removals on the Qt event loop of the GUI thread, never inside the call that caused
// them, just as the hidraw backend does. Tests, benchmarks and the demo run the real device link
// against it.
class SimulatedHidService : public HidService {
public:
    static constexpr DeviceMatching loaderIdentity{0x1209, 0x0002};

    // Attaches a device and returns its reference, valid (and equal to what copyDevices() hands
    // out) until it is unplugged; once the service is open, the arrival callback hears of it on
    // the event loop. Plugging the same converter in again after an unplug gives a
    // new reference, as the platform would.
    HidDeviceRef plugIn(std::shared_ptr<VirtualConverter> converter,
                        DeviceMatching identity = loaderIdentity,
                        SimulatedDeviceFaults faults = {});
    // Some other HID device: it opens and accepts writes but never answers.
    HidDeviceRef plugInUnrelatedDevice(DeviceMatching identity);
    // Detaches the device: pending replies are dropped, later operations fail with -ENODEV, and
    // the removal callback hears of it on the event loop if the device matches. No effect on a
    // device that is not attached.
    void unplug(const HidDeviceRef& device);

    void setDeviceFaults(const HidDeviceRef& device, const SimulatedDeviceFaults& faults);
    // Delivers `report` with `result` to the device's input-report callback on the event loop, as
    // if the device had sent it (stale replies, two reports in one slice, short reports, ...).
    // Like every report, it reaches the callback only if the device is then attached and open.
    void injectInputReport(const HidDeviceRef& device, const QByteArray& report, int32_t result = 0,
                           std::chrono::milliseconds delay = std::chrono::milliseconds{0});
    // The result open() gives, for tests of a manager that cannot be opened.
    void setOpenResult(int32_t result) { openResult_ = result; }

    std::shared_ptr<VirtualConverter> converter(const HidDeviceRef& device) const;
    bool isAttached(const HidDeviceRef& device) const;
    bool isOpen(const HidDeviceRef& device) const;
    // Every report written to the device and accepted, in order.
    std::vector<QByteArray> writtenReports(const HidDeviceRef& device) const;

    int32_t open() override;
    std::vector<HidDeviceRef> copyDevices() override;
    int32_t openDevice(const HidDeviceRef& device) override;
    int32_t closeDevice(const HidDeviceRef& device) override;
    int32_t setOutputReport(const HidDeviceRef& device, const QByteArray& report) override;
    void setInputReportCallback(const HidDeviceRef& device, InputReportCallback callback) override;
    QString lastErrorReason(const HidDeviceRef& device) const override;
    QString deviceNode(const HidDeviceRef& device) const override;

protected:
    std::optional<DeviceMatching> identityOf(const HidDeviceRef& device) const override;

private:
    std::shared_ptr<SimulatedHidDevice> own(const HidDeviceRef& device) const;
    // -ENODEV for an unknown device or one no longer attached (noting why `operation` failed).
    int32_t refusal(SimulatedHidDevice* device, const char* operation);
    int32_t fail(SimulatedHidDevice& device, int32_t result, const char* operation);
    void deliverLater(const std::shared_ptr<SimulatedHidDevice>& device,
                      std::optional<QByteArray> report, int32_t result,
                      std::chrono::milliseconds delay, bool unplugAfterwards);

    std::vector<std::shared_ptr<SimulatedHidDevice>> attached_;
    int32_t openResult_ = 0;
    int pluggedIn_ = 0;
    bool opened_ = false;
    // Owns every pending delivery: destroying the service cancels them.
    QObject deliveries_;
};
