#include "core/FailureWords.h"

#include "support/HexText.h"

namespace {
using Step = FailureWords::NextStep;

// "0x" and four upper-case hexadecimal digits, as a user compares them by eye.
QString checksumText(int64_t value) {
    return QStringLiteral("0x").append(HexText::zeroFilled(static_cast<uint16_t>(value)));
}

// What curl ran into, continuing "The download of FILE failed: ".
QString curlWords(const FtpDownloader::Failure& failure) {
    using Kind = FtpDownloader::Failure::Kind;
    switch (failure.kind) {
    case Kind::BadAddress:
        return QStringLiteral("the file name does not make a valid address.");
    case Kind::CurlMissing:
        return QStringLiteral("the curl program could not be started.");
    case Kind::CurlCrashed:
        return QStringLiteral("the curl program ended unexpectedly.");
    case Kind::TimedOut:
        return QStringLiteral("it did not finish in time.");
    case Kind::TooLarge:
        return QStringLiteral("the file on the server is too large.");
    case Kind::Empty:
        return QStringLiteral("the server sent an empty file.");
    case Kind::HostUnknown:
        return QStringLiteral("the download server's name could not be resolved.");
    case Kind::Unreachable:
        return QStringLiteral("the download server could not be reached.");
    case Kind::ServerSilent:
        return QStringLiteral("the download server did not answer in time.");
    case Kind::NotFound:
        return QStringLiteral("the file was not found on the server, or access was refused.");
    case Kind::BrokenOff:
        return QStringLiteral("the connection broke off before the whole file arrived.");
    case Kind::OtherCurlExit:
        break;
    }
    return QStringLiteral("curl ended with exit status %1.").arg(failure.curlExitCode);
}
} // namespace

FailureWords::Words FailureWords::of(const FirmwareTransfer::Failure& failure) {
    using Kind = FirmwareTransfer::Failure::Kind;
    const bool atStart = failure.packet == 0;
    const QString packet =
        QStringLiteral("packet %1 of %2").arg(failure.packet).arg(failure.packets);
    switch (failure.kind) {
    case Kind::NoConverter:
        return {QStringLiteral("No converter was connected."), Step::PlugInAgain};
    case Kind::EmptyImage:
        return {QStringLiteral("The firmware image is empty."), Step::ChooseAnotherVersion};
    case Kind::ImageTooLarge:
        return {QStringLiteral("The firmware image is too large: %1 bytes, where the converter "
                               "takes at most %2.")
                    .arg(failure.imageBytes)
                    .arg(FirmwareTransfer::maximumImageLength),
                Step::ChooseAnotherVersion};
    case Kind::Unplugged:
        return {atStart ? QStringLiteral("The converter was unplugged as the transfer began.")
                        : QStringLiteral("The converter was unplugged during the update, at %1.")
                              .arg(packet),
                Step::PlugInAgain};
    case Kind::NoReply:
        return {atStart ? QStringLiteral("The converter did not answer when the transfer began.")
                        : QStringLiteral("The converter stopped answering at %1.").arg(packet),
                Step::Reconnect};
    case Kind::WrongPacketNumber:
        return {QStringLiteral("The converter answered %1 with the wrong packet number.")
                    .arg(atStart ? QStringLiteral("the start of the transfer") : packet),
                Step::Reconnect};
    case Kind::WriteFailed:
        return {QStringLiteral("The system would not send %1 to the converter.")
                    .arg(atStart ? QStringLiteral("the start of the transfer") : packet),
                Step::Reconnect};
    case Kind::NotOpened:
        return {QStringLiteral("The converter could not be opened for the transfer."),
                Step::Reconnect};
    case Kind::PacketChecksum:
        return {QStringLiteral("The converter reported a wrong checksum for %1.").arg(packet),
                Step::Reconnect};
    case Kind::FinalChecksum:
        break;
    }
    QString what =
        failure.reported
            ? QStringLiteral("The final checksum was %1").arg(checksumText(*failure.reported))
            : QStringLiteral("The converter reported no final checksum");
    if (!failure.expected)
        return {what.append(QStringLiteral(", and this version gives none to compare it with.")),
                Step::ChooseAnotherVersion};
    return {
        what.append(QStringLiteral(" where %1 was expected.").arg(checksumText(*failure.expected))),
        Step::Reconnect};
}

FailureWords::Words FailureWords::of(const ReleaseCatalogue::ImageFailure& failure) {
    using Kind = ReleaseCatalogue::ImageFailure::Kind;
    const QString& name = failure.name;
    switch (failure.kind) {
    case Kind::NothingChosen:
        return {QStringLiteral("No version is chosen."), Step::ChooseAnotherVersion};
    case Kind::NotShipped:
        return {QStringLiteral("Version %1 is not among the releases shipped with the updater.")
                    .arg(name),
                Step::ChooseAnotherVersion};
    case Kind::NotInList:
        return {QStringLiteral("Version %1 is not in the server's list.").arg(name),
                Step::ChooseAnotherVersion};
    case Kind::ModeNotOffered:
        return {QStringLiteral("There are no %1 releases for this converter.").arg(name),
                Step::ChooseAnotherMode};
    case Kind::NoVersionList:
        return {QStringLiteral("The configuration names no version list for this mode."),
                Step::ChooseAnotherMode};
    case Kind::ListNotText:
        return {QStringLiteral("The version list %1 is not UTF-8 text.").arg(name),
                Step::RetryDownload};
    case Kind::NoImageInList:
        return {QStringLiteral("The version list names no image for this version."),
                Step::ChooseAnotherVersion};
    case Kind::ReleaseUnreadable:
        return {QStringLiteral("The release file %1 could not be read as UTF-8 text.").arg(name),
                Step::ChooseAnotherVersion};
    case Kind::FileUnreadable:
        return {QStringLiteral("%1 is missing or is not a text file.").arg(name), Step::CheckFile};
    case Kind::NoChecksum:
        return {QStringLiteral("%1 gives no checksum for the image.").arg(name), Step::CheckFile};
    case Kind::DownloadFailed:
        break;
    }
    return of(failure.download);
}

FailureWords::Words FailureWords::of(const CatalogueDownload::Failure& failure) {
    return {
        QStringLiteral("The download of %1 failed: %2").arg(failure.file, curlWords(failure.curl)),
        Step::RetryDownload};
}
