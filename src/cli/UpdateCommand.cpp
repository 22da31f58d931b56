#include "cli/UpdateCommand.h"

#include <QElapsedTimer>
#include <algorithm>

#include "cli/CliSession.h"
#include "cli/TerminalWording.h"
#include "cli/TerminationSignals.h"
#include "cli/UserImageFile.h"
#include "core/ConverterUpdate.h"
#include "core/ReleaseVersion.h"
#include "protocol/Commands.h"

ExitCode UpdateCommand::run(const CliArguments& arguments) {
    // A file of one's own is checked before any converter hears anything, identification included.
    const UserImageFile::Result file =
        arguments.file ? UserImageFile::read(arguments) : UserImageFile::Result{};
    if (arguments.file && !file.release)
        return session_.fail(ExitCode::ImageRefused, file.refusal);
    ExitCode failure = ExitCode::Success;
    std::optional<ConverterIdentity> converter =
        session_.chooseConverter(arguments.device, arguments.waitSeconds, failure);
    if (!converter)
        return failure;
    // As in the window, a converter without a record gets no update, not even from a file.
    if (!session_.supportedRecord(*converter))
        return ExitCode::UpdateFailed;
    if (file.release)
        return install(*converter, *file.release);
    const std::optional<ReleaseImage> release = this->release(arguments, *converter, failure);
    if (!release)
        return failure;
    if (session_.environment_.releaseInHand)
        session_.environment_.releaseInHand(release->image, *arguments.release);
    return install(*converter, *release, arguments.release);
}

// The image bytes the first `packets` data packets carried: the first holds fewer than the others.
static qsizetype bytesSent(qsizetype packets, qsizetype totalBytes) {
    return std::clamp<qsizetype>(Commands::firstPacketPayload +
                                     (packets - 1) * Commands::continuationPayload,
                                 0, totalBytes);
}

ExitCode UpdateCommand::install(ConverterIdentity& converter, const ReleaseImage& release,
                                const std::optional<QString>& version) {
    CommandReport& report = session_.report_;
    // Before the words, so that whoever reads them knows a signal no longer cuts the update short.
    TerminationSignals::deferDuringTransfer();
    report.status(UIStatus::UPGRADE_FW);
    QElapsedTimer clock;
    clock.start();
    const qsizetype totalBytes = release.image.size();
    // No pictures and no alerts: the result says what the window's alert would.
    ConverterUpdate update(*session_.manager_, {}, [&](qsizetype packet, qsizetype packets) {
        report.progress({packet, packets, bytesSent(packet, totalBytes), totalBytes,
                         static_cast<double>(clock.nsecsElapsed()) / 1e9});
    });
    const ConverterUpdate::Outcome outcome = update.update(converter, release);
    if (!outcome.confirmed) {
        report.status(UIStatus::UPGRADE_FW_FAILED);
        return session_.fail(ExitCode::UpdateFailed, TerminalWording::lines(*outcome.failure));
    }
    // Still in loader mode after the end command, the converter tells what the update left.
    const std::optional<ConverterIdentity> now = session_.search_->identify(converter.device);
    const std::optional<QString> reported = now ? now->firmwareVersion : std::nullopt;
    const std::optional<uint32_t> expected =
        version ? ReleaseVersion::number(*version) : std::nullopt;
    if (expected && (!reported || ReleaseVersion::number(*reported) != expected)) {
        report.status(UIStatus::UPGRADE_FW_FAILED);
        return session_.fail(
            ExitCode::UpdateFailed,
            {QString("The converter reports %1 after the update, not %2.")
                 .arg(reported.value_or("no version"), *version),
             QString("Unplug it and plug it in again in its loader mode; if the list command still "
                     "shows %1, the release holds another version than its name says.")
                 .arg(reported.value_or("no version"))});
    }
    report.status(UIStatus::UPGRADE_FW_FINISH);
    if (!reported)
        report.advise("The converter did not say which version it runs now; the list command "
                      "asks it again.");
    report.result(ExitCode::Success, {}, reported);
    return ExitCode::Success;
}

std::optional<ReleaseImage> UpdateCommand::release(const CliArguments& arguments,
                                                   const ConverterIdentity& converter,
                                                   ExitCode& failure) {
    const FwInfoModelRef record = ReleaseCatalogue::record(*session_.config_, converter.partNumber);
    const bool isStandard = arguments.mode == CliArguments::Mode::Standard;
    const QString& version = *arguments.release;
    ReleaseCatalogue::ImageResult image;
    const std::optional<CliSession::Offer> offer =
        session_.offer(converter, *record, arguments, image.failure,
                       [this] { session_.report_.status(UIStatus::FTP_DOWNLOAD); });
    const QStringList versions = offer ? offer->versions : QStringList();
    // An empty result without a failure: there is no such version.
    if (offer && offer->entries) {
        if (const std::optional<QString> entry =
                ReleaseCatalogue::onlineEntry(*offer->entries, version))
            image = session_.catalogue_.onlineImage(*entry);
    } else if (versions.contains(version)) {
        image = session_.catalogue_.shippedImage(converter.partNumber, isStandard, version);
    }
    if (image.release)
        return image.release;
    if (image.downloadFailed())
        session_.report_.status(UIStatus::DOWNLOAD_FAILED);
    if (image.failure)
        failure = session_.fail(image.downloadFailed() ? ExitCode::DownloadFailed
                                                       : ExitCode::UpdateFailed,
                                TerminalWording::lines(*image.failure));
    else
        failure = session_.fail(ExitCode::UsageError,
                                {QString("There is no %1 release \"%2\" for %3.")
                                     .arg(CliSession::modeName(arguments.mode), version,
                                          session_.describe(converter).deviceName),
                                 QString("The releases there are: %1.").arg(versions.join(", "))});
    return std::nullopt;
}
