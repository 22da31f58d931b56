#include "cli/UpdateCommand.h"

#include <QElapsedTimer>
#include <algorithm>

#include "cli/CliSession.h"
#include "core/ConverterUpdate.h"
#include "protocol/Commands.h"

ExitCode UpdateCommand::run(const CliArguments& arguments) {
    ExitCode failure = ExitCode::Success;
    std::optional<ConverterIdentity> converter =
        session_.chooseConverter(arguments.device, failure);
    if (!converter)
        return failure;
    // As in the window, a converter without a record gets no update, not even from a file.
    if (!session_.supportedRecord(*converter))
        return ExitCode::UpdateFailed;

    const ReleaseCatalogue::ImageResult image = this->image(arguments, *converter);
    if (!image.release) {
        if (image.downloadFailed)
            status(downloadFailed);
        return session_.fail(image.downloadFailed ? ExitCode::DownloadFailed
                                                  : ExitCode::UpdateFailed,
                             image.failureReason);
    }
    return install(*converter, *image.release);
}

// The image bytes the first `packets` data packets carried: the first holds fewer than the others.
static qsizetype bytesSent(qsizetype packets, qsizetype totalBytes) {
    if (packets <= 0)
        return 0;
    return std::min(totalBytes,
                    Commands::firstPacketPayload + (packets - 1) * Commands::continuationPayload);
}

ExitCode UpdateCommand::install(ConverterIdentity& converter, const ReleaseImage& release) {
    CommandReport& report = session_.report();
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
    status(outcome.confirmed ? updated : failed);
    if (!outcome.confirmed)
        return session_.fail(ExitCode::UpdateFailed, outcome.failureReason);

    // The converter stays in loader mode after the end command; asking it again shows what the
    // update left on it.
    const std::optional<ConverterIdentity> now = session_.search().identify(converter.device);
    if (!now || !now->firmwareVersion)
        report.advise("The converter did not say which version it runs now; the list command "
                      "asks it again.");
    report.result(ExitCode::Success, {}, now ? now->firmwareVersion : std::nullopt);
    return ExitCode::Success;
}

ReleaseCatalogue::ImageResult UpdateCommand::image(const CliArguments& arguments,
                                                   const ConverterIdentity& converter) {
    if (arguments.file && arguments.checksum)
        return ReleaseCatalogue::localImage(*arguments.file, *arguments.checksum);
    if (arguments.file)
        return ReleaseCatalogue::localImageWithDescription(*arguments.file, *arguments.description);
    const FwInfoModelRef record = ReleaseCatalogue::record(session_.config(), converter.partNumber);
    const bool online = session_.isOnline(arguments);
    if (const std::optional<QString> why =
            session_.modeUnavailable(converter, *record, online, arguments.mode))
        return {std::nullopt, false, *why};
    const bool isStandard = arguments.mode == CliArguments::Mode::Standard;
    if (online)
        return onlineRelease(*record, isStandard, *arguments.version);
    ReleaseCatalogue::ImageResult shipped =
        session_.catalogue().shippedImage(converter.partNumber, isStandard, *arguments.version);
    if (!shipped.release)
        shipped.failureReason += " The releases command lists the versions there are.";
    return shipped;
}

ReleaseCatalogue::ImageResult
UpdateCommand::onlineRelease(const FwInfoModel& record, bool isStandard, const QString& version) {
    status(downloading);
    QString reason;
    const std::optional<QStringList> entries = session_.onlineEntries(record, isStandard, reason);
    if (!entries)
        return {std::nullopt, true, reason};
    const std::optional<QString> entry = ReleaseCatalogue::onlineEntry(*entries, version);
    if (!entry)
        return {std::nullopt, false,
                QString("Version %1 is not in the server's list; the releases command with "
                        "--online shows the versions there.")
                    .arg(version)};
    return session_.catalogue().onlineImage(*entry);
}

void UpdateCommand::status(const StatusWords& words) {
    session_.report().status(words.title, words.text);
}
