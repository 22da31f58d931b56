#pragma once

#include "device/USBHidManager.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>

// The converter's command vocabulary: builds the 64-byte requests, sends them through the
// manager and decodes the reply fields the program uses. No state of its own; the caller's
// packet counter travels by reference and the exchange advances it.
class Commands {
public:
    static constexpr int reportSize = 64;
    static constexpr int firstPacketPayload = 48;
    static constexpr int continuationPayload = 56;

    // Re-synchronises the device's packet counter with `packNo` (0 to 255). Opens the device and
    // closes it again whatever happens; true when the device answered.
    static bool syncPackNo(USBHidManager& manager, const HidDeviceRef& device, int64_t& packNo);
    // Asks for part number and firmware version; the reply, or absent. The device stays open.
    static std::optional<QByteArray> getFWInfo(USBHidManager& manager, const HidDeviceRef& device,
                                               int64_t& packNo);
    // Tells the device the upgrade is over. No reply is awaited and packNo is not advanced.
    static void endUpgradeFW(USBHidManager& manager, const HidDeviceRef& device, int64_t& packNo);

    // The first data packet of a transfer: the image's total length and its first 48 bytes
    // (fewer bytes are padded with zeros; the length field tells the device the truth).
    // Absent when packNo does not fit the 16-bit field.
    static std::optional<QByteArray> firstDataPacket(int64_t packNo, QByteArrayView image);
    // A further data packet carrying up to 56 image bytes, zero-padded. Absent when packNo does
    // not fit the 16-bit field or `chunk` is longer than 56 bytes.
    static std::optional<QByteArray> continuationDataPacket(int64_t packNo, QByteArrayView chunk);

    // Whether the reply's bytes 0-1 carry the sum of every byte of the request that was sent.
    static bool checkPackChecksum(const QByteArray& reply, const QByteArray& request);
    // The 8-character part number of a getFWInfo reply, as the device wrote it.
    static std::optional<QString> getPartNumber(const QByteArray& reply);
    // "V<47>.<46>.<45>.<44>" from bytes 44..47 of a getFWInfo reply; absent when erased.
    static std::optional<QString> getFWVersion(const QByteArray& reply);
};
