#pragma once

#include <QByteArray>

// The converter's HID report descriptor: one vendor-defined application collection with one
// 64-byte input report and one 64-byte output report and no report ids, so the host writes
// report id 0 followed by the 64 bytes and reads plain 64-byte replies.
inline QByteArray converterReportDescriptor() {
    static const unsigned char bytes[] = {
        0x06, 0x00, 0xFF, // Usage Page (Vendor 0xFF00)
        0x09, 0x01,       // Usage (1)
        0xA1, 0x01,       // Collection (Application)
        0x15, 0x00,       //   Logical Minimum (0)
        0x26, 0xFF, 0x00, //   Logical Maximum (255)
        0x75, 0x08,       //   Report Size (8)
        0x95, 0x40,       //   Report Count (64)
        0x09, 0x02,       //   Usage (2)
        0x81, 0x02,       //   Input (Data, Var, Abs)
        0x95, 0x40,       //   Report Count (64)
        0x09, 0x03,       //   Usage (3)
        0x91, 0x02,       //   Output (Data, Var, Abs)
        0xC0,             // End Collection
    };
    return QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

constexpr int converterReportLength = 64;
