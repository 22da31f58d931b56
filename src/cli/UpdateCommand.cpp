#include "cli/UpdateCommand.h"

#include <QElapsedTimer>
#include <algorithm>

#include "cli/CliSession.h"
#include "cli/TerminalWording.h"
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
        if (image.downloadFailed())
            session_.report().status(UIStatus::DOWNLOAD_FAILED);
        return session_.fail(image.downloadFailed() ? ExitCode::DownloadFailed
                                                    : ExitCode::UpdateFailed,
                             TerminalWording::lines(*image.failure));
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
    report.status(UIStatus::UPGRADE_FW);
    QElapsedTimer clock;
    clock.start();
    const qsizetype totalBytes = release.image.size();
    // No pictures and no alerts: the result says what the window's alert would.
    ConverterUpdate update(session_.manager(), {}, [&](qsizetype packet, qsizetype packets) {
        report.progress({packet, packets, bytesSent(packet, totalBytes), totalBytes,
                         static_cast<double>(clock.nsecsElapsed()) / 1e9});
    });
    const ConverterUpdate::Outcome outcome = update.update(converter, release);
    report.status(outcome.confirmed ? UIStatus::UPGRADE_FW_FINISH : UIStatus::UPGRADE_FW_FAILED);
    if (!outcome.confirmed)
        return session_.fail(ExitCode::UpdateFailed, TerminalWording::lines(*outcome.failure));

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
    if (std::optional<ReleaseCatalogue::ImageFailure> failure =
            session_.modeUnavailable(converter, *record, online, arguments.mode))
        return {std::nullopt, std::move(failure)};
    const bool isStandard = arguments.mode == CliArguments::Mode::Standard;
    if (online)
        return onlineRelease(*record, isStandard, *arguments.version);
    return session_.catalogue().shippedImage(converter.partNumber, isStandard, *arguments.version);
}

ReleaseCatalogue::ImageResult
UpdateCommand::onlineRelease(const FwInfoModel& record, bool isStandard, const QString& version) {
    session_.report().status(UIStatus::FTP_DOWNLOAD);
    std::optional<ReleaseCatalogue::ImageFailure> failure;
    const std::optional<QStringList> entries = session_.onlineEntries(record, isStandard, failure);
    if (!entries)
        return {std::nullopt, failure};
    const std::optional<QString> entry = ReleaseCatalogue::onlineEntry(*entries, version);
    if (!entry)
        return {std::nullopt, ReleaseCatalogue::ImageFailure{
                                  ReleaseCatalogue::ImageFailure::Kind::NotInList, version}};
    return session_.catalogue().onlineImage(*entry);
}
