#pragma once

#include "device/HIDManagerDelegate.h"
#include "device/HidService.h"
#include "device/ReportExchangeTiming.h"
#include "support/MainLoopWait.h"

// The one way the program talks to HID devices: it restricts the platform service to the
// configuration's converter identities, tells its delegate about removals and arrivals, keeps the
// latest input report of any device it listens to, and runs the blocking request/reply exchange.
// All on the GUI thread: the exchange waits by running the event loop, so timers and other
// callbacks may run inside sendAndReceiveReport.
class USBHidManager {
public:
    // `manager` must outlive this object. `deviceMatchingList` is the identities the program
    // cares about (empty: every HID device); set-up installs it once.
    USBHidManager(HidService& manager, std::vector<DeviceMatching> deviceMatchingList,
                  std::weak_ptr<HIDManagerDelegate> delegate, ReportExchangeTiming timing = {});
    USBHidManager(const USBHidManager&) = delete;
    USBHidManager& operator=(const USBHidManager&) = delete;

    // The platform service, for the device search (matching and copying devices).
    HidService& manager() const { return manager_; }
    const std::vector<DeviceMatching>& deviceMatchingList() const { return deviceMatchingList_; }

    // The last input report delivered, exactly as long as delivered; absent when none is pending.
    const std::optional<QByteArray>& receivedReport() const { return receivedReport_; }

    // Input reports of `device` (already opened by the caller) end up in receivedReport().
    void setupReportCallback(const HidDeviceRef& device);
    void closeUsbDevice(const HidDeviceRef& device);

    // Sends without waiting; true when the platform accepted the report.
    bool sendReport(const HidDeviceRef& device, const QByteArray& data);

    // Sends `data` and waits for the reply carrying packNo + 1 (packNo being the number written
    // into the request). Advances packNo by one once the report is out and by one more when the
    // reply is accepted. Absent when the send failed or no accepted reply came by the deadline.
    // The removal of `device` ends the wait at once, as no reply. One exchange at a time: one
    // started while another waits (from a timer or a click inside the wait) is refused unsent,
    // since it would take the other's reply or lose its own to it.
    std::optional<QByteArray> sendAndReceiveReport(HidDeviceRef device, int64_t& packNo,
                                                   const QByteArray& data);

    // Why the last sendAndReceiveReport() gave no reply: a write refused because the converter
    // is gone reads as unplugged, and a reply that came with another packet number is told from
    // silence, since the user must do something different about each.
    enum class ExchangeFailure {
        None,
        Refused,
        WriteFailed,
        Unplugged,
        WrongPacketNumber,
        NoReply
    };
    ExchangeFailure lastExchangeFailure() const { return lastExchangeFailure_; }

    // Whether the service has reported `device` removed: nothing sent to it can arrive.
    bool isRemoved(const HidDeviceRef& device) const;

    // For good, as the program closes: the exchange waiting now ends as "no reply", and every
    // later one is refused unsent.
    void stopExchanges() { stopped_ = true; }

    const ReportExchangeTiming& timing() const { return timing_; }

    // Whether bytes 4..6 of `data` (24-bit, little-endian) equal `packNo`. A reply too short to
    // carry the field never matches.
    static bool checkPackNo(int64_t packNo, const QByteArray& data);

private:
    void deviceRemovalCallback(const HidDeviceRef& device);

    HidService& manager_;
    const std::vector<DeviceMatching> deviceMatchingList_;
    std::weak_ptr<HIDManagerDelegate> delegate_;
    const ReportExchangeTiming timing_;
    std::optional<QByteArray> receivedReport_;
    // The device the exchange in progress waits on, and whether it has been removed meanwhile.
    HidDeviceRef awaitedDevice_;
    bool awaitedDeviceRemoved_ = false;
    bool stopped_ = false;
    std::vector<std::weak_ptr<HidDevice>> removedDevices_;
    ExchangeFailure lastExchangeFailure_ = ExchangeFailure::None;
    MainLoopWait mainLoopWait_;
    // The callbacks handed to the service hold this weakly, so a report or removal that the
    // service delivers after this object is gone finds no context and is dropped.
    std::shared_ptr<USBHidManager*> context_;
};
