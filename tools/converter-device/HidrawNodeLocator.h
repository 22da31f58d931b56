#pragma once

#include "KernelHidEndpoint.h"

#include <QString>
#include <optional>

// Finds the hidraw node that the host's kernel made for one converter, by its identity and its
// serial number (the HID device's "uniq"), whether uhid or the USB HID driver created it.
class HidrawNodeLocator {
public:
    // "/dev/hidrawN" once the node exists and udev has finished with it (so its permissions are
    // final); absent when that does not happen within `timeoutMs`.
    static std::optional<QString> waitForNode(const KernelHidIdentity& identity, int timeoutMs);

    // The node right now, without waiting for udev.
    static std::optional<QString> findNode(const KernelHidIdentity& identity);
};
