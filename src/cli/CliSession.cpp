#include "cli/CliSession.h"

#include <QTimer>

#include "cli/TerminalWording.h"
#include "cli/UpdateCommand.h"
#include "config/LoadConfig.h"
#include "core/OnlineVersionList.h"

using State = ConverterSearch::Finding::State;

CliSession::CliSession(HidService& hidService, Environment environment, CommandReport& report)
    : environment_(std::move(environment)), report_(report),
      config_(loadConfig(environment_.resourceDirectory)), downloader_(environment_.ftpHost),
      catalogue_(environment_.resourceDirectory, download_,
                 ReleaseCatalogue::isBetaExecutable(environment_.executablePath)) {
    const ConfigModel config = config_.value_or(ConfigModel());
    manager_ = std::make_unique<USBHidManager>(
        hidService, ConverterSearch::deviceMatchingList(config), plugNews_);
    search_ =
        std::make_unique<ConverterSearch>(*manager_, ConverterSearch::loaderIdentities(config));
    download_.setObserver({[this](const QString& path) { report_.download(path); }, {}});
}

ExitCode CliSession::run(const CliArguments& arguments) {
    if (!config_)
        return fail(ExitCode::UpdateFailed,
                    {QString("The configuration %1/config could not be read.")
                         .arg(environment_.resourceDirectory),
                     "Install the updater again."});
    if (arguments.command == CliArguments::Command::List)
        return list();
    if (arguments.command == CliArguments::Command::Releases)
        return releases(arguments);
    return UpdateCommand(*this).run(arguments);
}

ExitCode CliSession::list() {
    std::vector<ConverterSearch::Finding> findings = search_->identifyAll();
    for (const ConverterSearch::Finding& finding : findings) {
        const CommandReport::Converter converter = describe(finding.identity);
        report_.found(converter);
        if (finding.state == State::Identified)
            report_.identified(converter);
        else
            report_.unidentified(converter, finding.state == State::AccessDenied
                                                ? "permission denied"
                                                : "not answering");
    }
    const auto any = [&findings](State state) {
        return std::ranges::count(findings, state, &ConverterSearch::Finding::state) > 0;
    };
    if (any(State::AccessDenied))
        return fail(ExitCode::PermissionDenied, {ConverterSearch::accessDeniedAdvice(), {}});
    // None answered, so all are silent: what to do about the first one, or about none attached.
    if (!any(State::Identified)) {
        findings.resize(std::min<std::size_t>(findings.size(), 1));
        return fail(ExitCode::NoConverter,
                    {ConverterChoice::choose(findings, std::nullopt).reason, {}});
    }
    report_.result(ExitCode::Success, {}, std::nullopt);
    return ExitCode::Success;
}

ExitCode CliSession::releases(const CliArguments& arguments) {
    ExitCode failure = ExitCode::Success;
    std::optional<ConverterIdentity> converter = ConverterIdentity();
    if (arguments.partNumber)
        converter->partNumber = arguments.partNumber;
    else
        converter = chooseConverter(arguments.device, std::nullopt, failure);
    if (!converter)
        return failure;
    const FwInfoModelRef record = supportedRecord(*converter);
    if (!record)
        return ExitCode::UpdateFailed;
    std::optional<ReleaseCatalogue::ImageFailure> why;
    const std::optional<Offer> offer = this->offer(*converter, *record, arguments, why);
    if (!offer)
        return fail(why->kind == ReleaseCatalogue::ImageFailure::Kind::ModeNotOffered
                        ? ExitCode::UpdateFailed
                        : ExitCode::DownloadFailed,
                    TerminalWording::lines(*why));
    for (const QString& version : offer->versions)
        report_.release(version, modeName(arguments.mode));
    if (offer->versions.isEmpty())
        report_.advise(
            QString("There are no %1 releases for this converter.").arg(modeName(arguments.mode)));
    report_.result(ExitCode::Success, {}, std::nullopt);
    return ExitCode::Success;
}

std::optional<ConverterIdentity> CliSession::chooseConverter(const std::optional<QString>& node,
                                                             std::optional<int> waitSeconds,
                                                             ExitCode& failure) {
    std::vector<ConverterSearch::Finding> findings = search_->identifyAll();
    if (waitSeconds && ConverterChoice::choose(findings, node).considered.empty())
        findings = waitForPlug(node, *waitSeconds);
    const ConverterChoice::Result choice = ConverterChoice::choose(findings, node);
    for (const ConverterSearch::Finding& finding : choice.considered)
        report_.found(describe(finding.identity));
    if (choice.converter)
        report_.identified(describe(*choice.converter));
    else
        failure = fail(choice.failure, {choice.reason, {}});
    return choice.converter;
}

std::vector<ConverterSearch::Finding> CliSession::waitForPlug(const std::optional<QString>& node,
                                                              int seconds) {
    report_.advise("Waiting for a converter in loader mode to be plugged in...");
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &plugWait_, &QEventLoop::quit);
    if (seconds > 0)
        deadline.start(std::chrono::seconds{seconds});
    plugged_ = false;
    std::vector<ConverterSearch::Finding> findings;
    // News that comes while a converter is asked who it is counts on the next round.
    while (plugged_ || seconds == 0 || deadline.isActive()) {
        if (!std::exchange(plugged_, false)) {
            plugWait_.exec();
            continue;
        }
        findings = search_->identifyAll();
        if (!ConverterChoice::choose(findings, node).considered.empty())
            break;
    }
    return findings;
}

void CliSession::hidDeviceArrived(const HidDeviceRef& device) {
    if (search_->isLoaderIdentity(device)) {
        plugged_ = true;
        plugWait_.quit();
    }
}

FwInfoModelRef CliSession::supportedRecord(const ConverterIdentity& converter) {
    FwInfoModelRef record = ReleaseCatalogue::record(*config_, converter.partNumber);
    if (!record)
        fail(ExitCode::UpdateFailed,
             {QString("This converter (part number %1) is not supported by this version of the "
                      "updater.")
                  .arg(converter.partNumber.value_or("unknown")),
              "A newer version of the updater may support it."});
    return record;
}

std::optional<CliSession::Offer>
CliSession::offer(const ConverterIdentity& converter, const FwInfoModel& record,
                  const CliArguments& arguments,
                  std::optional<ReleaseCatalogue::ImageFailure>& failure,
                  const std::function<void()>& beforeDownload) {
    using Kind = ReleaseCatalogue::ImageFailure::Kind;
    const bool standard = arguments.mode == CliArguments::Mode::Standard;
    const bool online = arguments.online || config_->IsOnline.value_or(false);
    // Online the configuration's record says which modes exist, offline the shipped tree.
    const auto modes = online ? std::nullopt : catalogue_.shippedModes(converter.partNumber);
    const bool offered = online ? (standard ? record.Standard : record.Tournament).value_or(false)
                                : modes && (standard ? modes->standard : modes->tournament);
    if (!offered) {
        failure = {Kind::ModeNotOffered, modeName(arguments.mode)};
        return std::nullopt;
    }
    if (!online)
        return Offer{catalogue_.shippedVersions(converter.partNumber, standard), std::nullopt};
    if (beforeDownload)
        beforeDownload();
    const std::optional<QString> listName = catalogue_.onlineListName(record, standard);
    if (!listName)
        failure = {Kind::NoVersionList};
    Offer offer{{},
                listName ? catalogue_.downloadOnlineEntries(*listName, &failure) : std::nullopt};
    if (!offer.entries)
        return std::nullopt;
    for (const OnlineVersionList::Item& item : OnlineVersionList::items(*offer.entries))
        offer.versions << item.title;
    return offer;
}

CommandReport::Converter CliSession::describe(const ConverterIdentity& converter) const {
    const FwInfoModelRef record = config_ && converter.partNumber
                                      ? ReleaseCatalogue::record(*config_, converter.partNumber)
                                      : nullptr;
    return {converter.node,
            static_cast<int>(converter.vendorId),
            static_cast<int>(converter.productId),
            converter.partNumber.value_or(QString()),
            converter.firmwareVersion.value_or(QString()),
            record ? record->DeviceName.value_or(QString()) : QString()};
}

ExitCode CliSession::fail(ExitCode code, const CommandReport::Failure& failure) {
    report_.result(code, failure, std::nullopt);
    return code;
}

QString CliSession::modeName(CliArguments::Mode mode) {
    return mode == CliArguments::Mode::Standard ? "standard" : "tournament";
}
