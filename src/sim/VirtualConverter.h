#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The device side of the update protocol: what a converter in loader mode answers to each
// 64-byte request. Pure logic without an event loop, so the same object can sit behind the
// simulated HID service, behind a socket standing in for /dev/hidrawN, or in a device-side
// program. Delivery, delays, unplugging and open/write failures belong to whoever hosts it.
class VirtualConverter {
public:
    // Command codes in byte 0 of a request.
    static constexpr uint8_t firstDataCode = 0xA0;
    static constexpr uint8_t continuationDataCode = 0x00;
    static constexpr uint8_t syncPackNoCode = 0xA4;
    static constexpr uint8_t getFWInfoCode = 0xA6;
    static constexpr uint8_t endUpgradeFWCode = 0xAB;

    static constexpr int reportSize = 64;
    static constexpr int firstPacketPayload = 48;
    static constexpr int continuationPayload = 56;

    // What the device says about itself in its answer to getFWInfo.
    struct Identity {
        QByteArray partNumber = "QK100201"; // the first 8 bytes go on the wire, zero-padded
        // Bytes 44..47 of the reply, little-endian: 0x01020304 reads as V1.2.3.4.
        uint32_t firmwareVersion = 0x01000000;
        // Some loaders report the part number only in the second field (offset 24) and leave
        // erased flash (0xFF) in the first.
        bool partNumberInSecondField = false;
    };

    // Misbehaviour on request. Packet numbers are the ones the request carries in bytes 4-5, so
    // in an update the first data packet is 2, the second 4, and so on.
    struct Faults {
        bool neverReply = false;
        std::optional<int64_t> noReplyFromPackNo;     // silent for this number and every later one
        std::optional<int64_t> wrongPackNoAtPackNo;   // replies carry the request's own number
        std::optional<int64_t> wrongChecksumAtPackNo; // per-packet sum off by one
        bool wrongFinalChecksum = false;              // final sum off by one
        bool ignoreGetFWInfo = false; // answers the synchronisation, never the identification
    };

    // One request as it arrived, for tests that check what the updater sent and in which order.
    struct ReceivedRequest {
        uint8_t command = 0;
        int64_t packNo = 0; // bytes 4-5 (16-bit); bytes 5 is 0 in the one-byte layouts
        QByteArray bytes;
    };

    VirtualConverter() = default;
    explicit VirtualConverter(Identity identity) : identity_(std::move(identity)) {}

    // Takes the 64 report bytes (no report id) and returns the 64-byte reply, or nothing when the
    // device stays silent (endUpgradeFW, unknown codes, a request of the wrong size, a fault).
    std::optional<QByteArray> handleOutputReport(const QByteArray& request);

    // The 16-bit sum (modulo 65536) of the bytes: the device's checksum of a packet and of a whole
    // image. The sample releases' description files carry checksums computed by this.
    static uint16_t checksum16(const QByteArray& bytes);

    const Identity& identity() const { return identity_; }
    // The version that `image` carries, as real firmware knows its own. After an update whose
    // every data packet was answered with its right sum, whose final sum was right, and which the
    // end command closed, the converter reports the version of the image it received, as one
    // restarted into its new firmware would. Any other image, or a failed update, keeps the old.
    void setImageVersion(const QByteArray& image, uint32_t version) {
        imageVersions_.emplace_back(image, version);
    }
    void setFaults(const Faults& faults) { faults_ = faults; }

    const std::vector<ReceivedRequest>& requests() const { return requests_; }
    // The commands received, in order, e.g. {0xA4, 0xA0, 0x00, 0xAB}.
    std::vector<uint8_t> commandSequence() const;
    // The image bytes of the latest transfer, assembled as far as it went (never longer than the
    // length the first data packet announced).
    const QByteArray& receivedImage() const { return image_; }
    std::optional<uint32_t> announcedLength() const { return announcedLength_; }
    bool imageComplete() const;
    // The packet number of the last endUpgradeFW received, if any came.
    std::optional<int64_t> endUpgradePackNo() const { return endUpgradePackNo_; }
    // Forgets every request, the image and the endUpgradeFW; identity and faults stay.
    void clearHistory();

private:
    std::optional<QByteArray> answer(const QByteArray& request, uint8_t command, int64_t packNo);
    QByteArray firmwareInfoReply() const;
    QByteArray dataPacketReply(const QByteArray& request, uint8_t command, int64_t packNo);
    void appendPayload(const QByteArray& request, int offset, int maximum);

    Identity identity_;
    Faults faults_;
    std::vector<ReceivedRequest> requests_;
    QByteArray image_;
    std::optional<uint32_t> announcedLength_;
    std::optional<int64_t> endUpgradePackNo_;
    std::vector<std::pair<QByteArray, uint32_t>> imageVersions_;
    // No fault has touched an answer of the current transfer.
    bool transferIntact_ = false;
};
