#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <optional>

// The identity udev gives a HID device in its HID_ID property, "BBBB:VVVVVVVV:PPPPPPPP" in hex:
// bus type, vendor id, product id (e.g. "0003:00001209:00000002" for USB 1209:0002).
struct UdevHidId {
    uint32_t bus = 0;
    int64_t vendorId = 0;
    int64_t productId = 0;

    // Absent unless the text is exactly three colon-separated hex numbers of at most 8 digits.
    static std::optional<UdevHidId> parse(QByteArrayView text);
};
