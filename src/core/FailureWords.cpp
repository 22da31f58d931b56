#include "core/FailureWords.h"

#include "support/HexText.h"

#include <map>
#include <utility>

namespace {
using Step = FailureWords::NextStep;

// "0x" and four upper-case hexadecimal digits, as a user compares them by eye.
QString checksumText(int64_t value) {
    return QStringLiteral("0x").append(HexText::zeroFilled(static_cast<uint16_t>(value)));
}

// What curl ran into, continuing "The download of FILE failed: ".
QString curlWords(const FtpDownloader::Failure& failure) {
    // In the order of the kinds, up to the exit statuses.
    static const char* const kinds[] = {"the file name does not make a valid address.",
                                        "the curl program could not be started.",
                                        "the curl program ended unexpectedly.",
                                        "it did not finish in time.",
                                        "the file on the server is too large.",
                                        "the server sent an empty file.",
                                        "the updater was closing."};
    if (failure.kind != FtpDownloader::Failure::Kind::CurlExit)
        return QString::fromUtf8(kinds[static_cast<int>(failure.kind)]);
    // The exit statuses a user can act on: 9, 19, 67 and 78 are a folder, a file or a login
    // refused, 18 and 56 a connection that ended early.
    const char* notFound = "the file was not found on the server, or access was refused.";
    const char* brokenOff = "the connection broke off before the whole file arrived.";
    const std::map<int, const char*> known = {
        {6, "the download server's name could not be resolved."},
        {7, "the download server could not be reached."},
        {28, "the download server did not answer in time."},
        {9, notFound},
        {19, notFound},
        {67, notFound},
        {78, notFound},
        {18, brokenOff},
        {56, brokenOff}};
    const auto words = known.find(failure.curlExitCode);
    return words != known.end()
               ? QString::fromUtf8(words->second)
               : QStringLiteral("curl ended with exit status %1.").arg(failure.curlExitCode);
}

// The sentence with %1, where it has one, replaced by `name`.
QString withName(const char* text, const QString& name) {
    const QString sentence = QString::fromUtf8(text);
    return sentence.contains(u"%1") ? sentence.arg(name) : sentence;
}
} // namespace

FailureWords::Words FailureWords::of(const FirmwareTransfer::Failure& failure) {
    using Kind = FirmwareTransfer::Failure::Kind;
    if (failure.kind == Kind::FinalChecksum) {
        QString what =
            failure.reported
                ? QStringLiteral("The final checksum was %1").arg(checksumText(*failure.reported))
                : QStringLiteral("The converter reported no final checksum");
        // Sending the same release again cannot help when it has nothing to compare with.
        if (!failure.expected)
            return {what + QStringLiteral(", and this version gives none to compare it with."),
                    Step::ChooseAnotherVersion};
        return {what +
                    QStringLiteral(" where %1 was expected.").arg(checksumText(*failure.expected)),
                Step::Reconnect};
    }
    if (failure.kind == Kind::ImageTooLarge)
        return {QStringLiteral("The firmware image is too large: %1 bytes, where the converter "
                               "takes at most %2.")
                    .arg(failure.imageBytes)
                    .arg(FirmwareTransfer::maximumImageLength),
                Step::ChooseAnotherVersion};
    // In the order of the kinds; %1 is where it happened.
    static const std::pair<const char*, Step> words[] = {
        {"No converter was connected.", Step::PlugInAgain},
        {"The firmware image is empty.", Step::ChooseAnotherVersion},
        {"", Step::ChooseAnotherVersion}, // too large, above
        {"The converter was unplugged at %1.", Step::PlugInAgain},
        {"The converter stopped answering at %1.", Step::Reconnect},
        {"The converter answered %1 with the wrong packet number.", Step::Reconnect},
        {"The system would not send %1 to the converter.", Step::Reconnect},
        {"The converter could not be opened for the transfer.", Step::Reconnect},
        {"The converter reported a wrong checksum for %1.", Step::Reconnect},
    };
    const auto& [text, next] = words[static_cast<int>(failure.kind)];
    // A packet, or the synchronisation before the first one.
    const QString where =
        failure.packet == 0
            ? QStringLiteral("the start of the transfer")
            : QStringLiteral("packet %1 of %2").arg(failure.packet).arg(failure.packets);
    return {withName(text, where), next};
}

FailureWords::Words FailureWords::of(const ReleaseCatalogue::ImageFailure& failure) {
    using Kind = ReleaseCatalogue::ImageFailure::Kind;
    if (failure.kind == Kind::DownloadFailed)
        return of(failure.download);
    // In the order of the kinds; %1 is the failure's name.
    static const std::pair<const char*, Step> words[] = {
        {"No version is chosen.", Step::ChooseAnotherVersion},
        {"Version %1 is not among the releases shipped with the updater.",
         Step::ChooseAnotherVersion},
        {"Version %1 is not in the server's list.", Step::ChooseAnotherVersion},
        {"There are no %1 releases for this converter.", Step::ChooseAnotherMode},
        {"The configuration names no version list for this mode.", Step::ChooseAnotherMode},
        {"The version list %1 is not UTF-8 text.", Step::RetryDownload},
        {"The version list names no image for this version.", Step::ChooseAnotherVersion},
        {"The release file %1 could not be read as UTF-8 text.", Step::ChooseAnotherVersion},
        {"%1 is missing or is not a text file.", Step::CheckFile},
        {"%1 gives no checksum for the image.", Step::CheckFile},
    };
    const auto& [text, next] = words[static_cast<int>(failure.kind)];
    return {withName(text, failure.name), next};
}

FailureWords::Words FailureWords::of(const CatalogueDownload::Failure& failure) {
    return {
        QStringLiteral("The download of %1 failed: %2").arg(failure.file, curlWords(failure.curl)),
        Step::RetryDownload};
}
