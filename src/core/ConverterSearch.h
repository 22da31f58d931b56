#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "config/ConfigModel.h"
#include "core/ConverterIdentity.h"
#include "device/USBHidManager.h"

// Finds the converters in loader mode among the attached HID devices and asks each who it is. One
// that may not be opened is told apart from one that does not answer, so the user can fix it.
// The exchanges wait on the event loop: callers keep other work from starting meanwhile. The walk
// narrows the platform's matching to one identity at a time, as the window's search always did.
class ConverterSearch {
public:
    // The result of the walk the window's search runs on every tick.
    struct FirstFound {
        std::optional<ConverterIdentity> identity;
        // A converter was attached that this user may not open.
        bool accessDenied = false;
    };

    // One attached loader-mode device, as identifyAll() found it.
    struct Finding {
        enum class State { Identified, AccessDenied, NotAnswering };
        State state = State::NotAnswering;
        // Node, VID and PID always; part number, version and counter only when identified.
        ConverterIdentity identity;
    };

    // Told the VID and PID of each device just before it is asked who it is.
    using CandidateObserver = std::function<void(int64_t vendorId, int64_t productId)>;

    // What the HID manager is restricted to: application-mode identities first, then the
    // loader's; incomplete records are skipped.
    static std::vector<DeviceMatching> deviceMatchingList(const ConfigModel& config);
    // The loader-mode identities, complete records only, in the configuration's order.
    static std::vector<DeviceMatching> loaderIdentities(const ConfigModel& config);
    // What to tell a user whose converter is attached but may not be opened: the udev rule.
    static QString accessDeniedAdvice();

    // `manager` must outlive the search.
    ConverterSearch(USBHidManager& manager, std::vector<DeviceMatching> loaderIdentities);

    bool hasLoaderIdentities() const { return !loaderIdentities_.empty(); }
    bool isLoaderIdentity(const HidDeviceRef& device) const;

    // Per loader identity, in order, the first attached device; the first that answers is the
    // result. Devices that do not answer are passed over, noting whether one refused access.
    FirstFound identifyFirst(const CandidateObserver& onCandidate = {});
    // Every attached loader-mode device, each identified, refused or silent, ordered by node.
    std::vector<Finding> identifyAll();
    // Asks one attached device who it is; absent when it does not answer.
    std::optional<ConverterIdentity> identify(const HidDeviceRef& device);

private:
    enum class Answer { Identified, SyncFailed, InfoFailed };
    // The device's node and identity; absent when the backend cannot tell its VID and PID.
    std::optional<ConverterIdentity> describe(const HidDeviceRef& device) const;
    Answer ask(ConverterIdentity& identity);
    std::vector<HidDeviceRef> attached(const DeviceMatching& identity);

    USBHidManager& manager_;
    const std::vector<DeviceMatching> loaderIdentities_;
};
