#include "cli/UpdateCommand.h"

#include <QElapsedTimer>
#include <algorithm>

#include "cli/CliSession.h"
#include "cli/TerminationSignals.h"
#include "cli/UserImageFile.h"
#include "core/ConverterUpdate.h"
#include "core/ReleaseVersion.h"
#include "protocol/Commands.h"

ExitCode UpdateCommand::run(const CliArguments& arguments) {
    // A file of one's own is checked before any converter hears anything, identification included.
    std::optional<ReleaseImage> file;
    if (arguments.file) {
        UserImageFile::Result read = UserImageFile::read(arguments);
        if (!read.release)
            return session_.fail(ExitCode::ImageRefused, read.refusal);
        file = std::move(read.release);
    }
    ExitCode failure = ExitCode::Success;
    std::optional<ConverterIdentity> converter =
        session_.chooseConverter(arguments.device, arguments.waitSeconds, failure);
    if (!converter)
        return failure;
    // As in the window, a converter without a record gets no update, not even from a file.
    if (!session_.supportedRecord(*converter))
        return ExitCode::UpdateFailed;
    if (file)
        return install(*converter, *file);
    const std::optional<ReleaseImage> release = this->release(arguments, *converter, failure);
    if (!release)
        return failure;
    if (session_.environment().releaseInHand)
        session_.environment().releaseInHand(release->image, *arguments.release);
    return install(*converter, *release, arguments.release);
}

// The image bytes the first `packets` data packets carried: the first holds fewer than the others.
static qsizetype bytesSent(qsizetype packets, qsizetype totalBytes) {
    if (packets <= 0)
        return 0;
    return std::min(totalBytes,
                    Commands::firstPacketPayload + (packets - 1) * Commands::continuationPayload);
}

ExitCode UpdateCommand::install(ConverterIdentity& converter, const ReleaseImage& release,
                                const std::optional<QString>& version) {
    CommandReport& report = session_.report();
    // Before the words, so that whoever reads them knows a signal no longer cuts the update short.
    TerminationSignals::deferDuringTransfer();
    status(updating);
    QElapsedTimer clock;
    clock.start();
    const qsizetype totalBytes = release.image.size();
    ConverterUpdate update(session_.manager(),
                           {{},
                            [&report](const QString& title, const QString& text, const QString&) {
                                report.alert(title, text);
                            }},
                           [&](qsizetype packet, qsizetype packets) {
                               report.progress({packet, packets, bytesSent(packet, totalBytes),
                                                totalBytes,
                                                static_cast<double>(clock.nsecsElapsed()) / 1e9});
                           });
    const ConverterUpdate::Outcome outcome = update.update(converter, release);
    if (!outcome.confirmed) {
        status(failed);
        return session_.fail(ExitCode::UpdateFailed, outcome.failureReason);
    }
    // The converter stays in loader mode after the end command; asking it again shows what the
    // update left on it.
    const std::optional<ConverterIdentity> now = session_.search().identify(converter.device);
    const std::optional<QString> reported = now ? now->firmwareVersion : std::nullopt;
    const std::optional<uint32_t> expected =
        version ? ReleaseVersion::number(*version) : std::nullopt;
    if (expected && (!reported || ReleaseVersion::number(*reported) != expected)) {
        status(failed);
        return session_.fail(
            ExitCode::UpdateFailed,
            QString("The converter reports %1 after the update, not %2.\nUnplug it and plug it in "
                    "again in its loader mode; if the list command still shows %1, the release "
                    "holds another version than its name says.")
                .arg(reported.value_or("no version"), *version));
    }
    status(updated);
    if (!reported)
        report.advise("The converter did not say which version it runs now; the list command "
                      "asks it again.");
    report.result(ExitCode::Success, {}, reported);
    return ExitCode::Success;
}

std::optional<ReleaseImage> UpdateCommand::release(const CliArguments& arguments,
                                                   const ConverterIdentity& converter,
                                                   ExitCode& failure) {
    const FwInfoModelRef record = ReleaseCatalogue::record(session_.config(), converter.partNumber);
    const bool online = session_.isOnline(arguments);
    if (const std::optional<QString> why =
            session_.modeUnavailable(converter, *record, online, arguments.mode)) {
        failure = session_.fail(ExitCode::UpdateFailed, *why);
        return std::nullopt;
    }
    const bool isStandard = arguments.mode == CliArguments::Mode::Standard;
    const QString& version = *arguments.release;
    QStringList versions;
    ReleaseCatalogue::ImageResult image;
    if (online) {
        image = onlineRelease(*record, isStandard, version, versions);
    } else {
        versions = session_.catalogue().shippedVersions(converter.partNumber, isStandard);
        if (versions.contains(version))
            image = session_.catalogue().shippedImage(converter.partNumber, isStandard, version);
    }
    if (image.release)
        return image.release;
    if (image.failureReason.isEmpty()) {
        failure =
            session_.fail(ExitCode::UsageError,
                          QString("There is no %1 release \"%2\" for %3.\nThe releases "
                                  "there are: %4.")
                              .arg(CliSession::modeName(arguments.mode), version,
                                   session_.describe(converter).deviceName, versions.join(", ")));
        return std::nullopt;
    }
    if (image.downloadFailed)
        status(downloadFailed);
    failure =
        session_.fail(image.downloadFailed ? ExitCode::DownloadFailed : ExitCode::UpdateFailed,
                      image.failureReason);
    return std::nullopt;
}

// An empty result without a reason: the server's list has no such version.
ReleaseCatalogue::ImageResult UpdateCommand::onlineRelease(const FwInfoModel& record,
                                                           bool isStandard, const QString& version,
                                                           QStringList& versions) {
    status(downloading);
    QString reason;
    const std::optional<QStringList> entries = session_.onlineEntries(record, isStandard, reason);
    if (!entries)
        return {std::nullopt, true, reason};
    for (const OnlineVersionList::Item& item : OnlineVersionList::items(*entries))
        versions << item.title;
    const std::optional<QString> entry = ReleaseCatalogue::onlineEntry(*entries, version);
    if (!entry)
        return {};
    return session_.catalogue().onlineImage(*entry);
}

void UpdateCommand::status(const StatusWords& words) {
    session_.report().status(words.title, words.text);
}
