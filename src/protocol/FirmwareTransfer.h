#pragma once

#include "device/USBHidManager.h"

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

// Sends one firmware image to a converter in loader mode: re-synchronises the packet counter, sends
// the data packets one in flight at a time, checks the sum the device reports for each, and finally
// compares the device's checksum of the whole image with the release's. Replies are awaited by
// running the event loop, so the progress picture is drawn and other callbacks run meanwhile.
class FirmwareTransfer {
public:
    // The 16-bit packet number limits a transfer to 32 767 data packets (the synchronisation uses
    // numbers 0 and 1, each data packet two more): 48 + 32 766 * 56 bytes.
    static constexpr qsizetype maximumImageLength = 1'834'944;

    // The progress pictures run from "0" to this number.
    static constexpr int progressSteps = 20;

    // How the transfer shows itself. Either may be left empty.
    struct Feedback {
        // The progress picture to show: "1" to "19" on the way, "20" once the device confirmed.
        std::function<void(const QString& pictureName)> showProgressPicture;
        // A modal alert; returns once the user has dismissed it.
        std::function<void(const QString& messageText, const QString& informativeText,
                           const QString& buttonTitle)>
            showAlert;
    };

    // What ended a transfer that failed, as facts; each front end puts them in its own words
    // (FailureWords keeps its sentences in the order of the kinds).
    struct Failure {
        enum class Kind {
            NoConverter,       // nothing identified to send to
            EmptyImage,        // the image holds no bytes
            ImageTooLarge,     // `imageBytes` beyond maximumImageLength
            Unplugged,         // pulled out at `packet` (0: as the transfer began)
            NoReply,           // silent at `packet`
            WrongPacketNumber, // answered `packet` with another packet's number
            WriteFailed,       // the system refused to send `packet`
            NotOpened,         // could not be opened again after the synchronisation
            PacketChecksum,    // a wrong sum for `packet`
            FinalChecksum,     // `reported` (absent: no field) is not `expected` (absent: none)
        };
        Kind kind = Kind::NoConverter;
        qsizetype packet = 0; // from 1; 0 is the synchronisation before the first data packet
        qsizetype packets = 0;
        std::optional<int64_t> expected = {};
        std::optional<int64_t> reported = {};
        qsizetype imageBytes = 0;
        bool operator==(const Failure&) const = default;
    };

    // Told after the converter accepted data packet `packet` (from 1) of `packets`, for a front
    // end that counts packets rather than showing pictures.
    using PacketProgress = std::function<void(qsizetype packet, qsizetype packets)>;

    explicit FirmwareTransfer(Feedback feedback, PacketProgress packetProgress = {})
        : feedback_(std::move(feedback)), packetProgress_(std::move(packetProgress)) {}

    // True only when every packet was accepted and the device's final checksum equals
    // `checkSum` (absent never matches). `packNo` is left as the last exchange left it, for the
    // end-of-upgrade command; the device stays open.
    bool upgradeFW(USBHidManager* manager, const HidDeviceRef& device, int64_t& packNo,
                   const std::optional<int64_t>& checkSum, QByteArrayView image);

    // After a failed upgradeFW(): what went wrong. Absent after a success.
    const std::optional<Failure>& failure() const { return failure_; }

private:
    bool sendImage(USBHidManager& manager, const HidDeviceRef& device, int64_t& packNo,
                   const std::optional<int64_t>& checkSum, QByteArrayView image);
    bool finalChecksumMatches(const QByteArray& reply, const std::optional<int64_t>& checkSum,
                              qsizetype packets);
    void showProgressPicture(int frame);
    void showPacketProgress(qsizetype packet, qsizetype packets);
    void showAlert(const QString& informativeText);
    // Records why the transfer failed; always false, so a failing path can return it.
    bool fail(Failure failure);
    // The failure of an exchange that brought no reply for `packet` of `packets`.
    static Failure exchangeFailure(const USBHidManager& manager, const HidDeviceRef& device,
                                   qsizetype packet, qsizetype packets);

    Feedback feedback_;
    PacketProgress packetProgress_;
    std::optional<Failure> failure_;
};
