#include "cli/CliSession.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include "cli/TerminalWording.h"
#include "cli/UpdateCommand.h"
#include "config/LoadConfig.h"
#include "core/OnlineVersionList.h"

using State = ConverterSearch::Finding::State;

// The plug-in news of the HID service, for --wait.
class CliSession::PlugNews : public HIDManagerDelegate {
public:
    std::function<void(const HidDeviceRef&)> onArrival;

    void hidDeviceRemoved(const HidDeviceRef&) override {}
    void hidDeviceArrived(const HidDeviceRef& device) override {
        if (onArrival)
            onArrival(device);
    }
};

CliSession::CliSession(HidService& hidService, Environment environment, CommandReport& report)
    : environment_(std::move(environment)), report_(report),
      plugNews_(std::make_shared<PlugNews>()), config_(loadConfig(environment_.resourceDirectory)),
      downloader_(environment_.ftpHost),
      catalogue_(environment_.resourceDirectory, download_,
                 ReleaseCatalogue::isBetaExecutable(environment_.executablePath)) {
    const ConfigModel none;
    const ConfigModel& config = config_ ? *config_ : none;
    manager_ = std::make_unique<USBHidManager>(
        hidService, ConverterSearch::deviceMatchingList(config), plugNews_);
    search_ =
        std::make_unique<ConverterSearch>(*manager_, ConverterSearch::loaderIdentities(config));
    download_.setObserver({[this](const QString& path) { report_.download(path); }, {}});
}

CliSession::~CliSession() = default;

ExitCode CliSession::run(const CliArguments& arguments) {
    if (!config_)
        return fail(ExitCode::UpdateFailed,
                    {QString("The configuration %1/config could not be read.")
                         .arg(environment_.resourceDirectory),
                     "Install the updater again."});
    switch (arguments.command) {
    case CliArguments::Command::List:
        return list();
    case CliArguments::Command::Releases:
        return releases(arguments);
    case CliArguments::Command::Update:
        return UpdateCommand(*this).run(arguments);
    }
    return ExitCode::UsageError;
}

ExitCode CliSession::list() {
    bool denied = false;
    bool identified = false;
    std::vector<ConverterSearch::Finding> silent;
    for (const ConverterSearch::Finding& finding : search_->identifyAll()) {
        const CommandReport::Converter converter = describe(finding.identity);
        report_.found(converter);
        identified = identified || finding.state == State::Identified;
        denied = denied || finding.state == State::AccessDenied;
        if (finding.state == State::Identified)
            report_.identified(converter);
        else
            report_.unidentified(converter, finding.state == State::AccessDenied
                                                ? "permission denied"
                                                : "not answering");
        if (finding.state == State::NotAnswering && silent.empty())
            silent.push_back(finding);
    }
    if (denied)
        return fail(ExitCode::PermissionDenied, {ConverterSearch::accessDeniedAdvice(), {}});
    // Nothing answered: what to do about the first silent converter, or about none attached.
    if (!identified)
        return fail(ExitCode::NoConverter,
                    {ConverterChoice::choose(silent, std::nullopt).reason, {}});
    report_.result(ExitCode::Success, {}, std::nullopt);
    return ExitCode::Success;
}

ExitCode CliSession::releases(const CliArguments& arguments) {
    ExitCode failure = ExitCode::Success;
    std::optional<ConverterIdentity> converter;
    if (arguments.partNumber) {
        converter.emplace();
        converter->partNumber = arguments.partNumber;
    } else {
        converter = chooseConverter(arguments.device, std::nullopt, failure);
    }
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
    if (!choice.converter) {
        failure = fail(choice.failure, {choice.reason, {}});
        return std::nullopt;
    }
    report_.identified(describe(*choice.converter));
    return choice.converter;
}

std::vector<ConverterSearch::Finding> CliSession::waitForPlug(const std::optional<QString>& node,
                                                              int seconds) {
    report_.advise("Waiting for a converter in loader mode to be plugged in...");
    const QDeadlineTimer deadline =
        seconds > 0 ? QDeadlineTimer(std::chrono::seconds{seconds}) : QDeadlineTimer::Forever;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    bool plugged = false;
    plugNews_->onArrival = [&](const HidDeviceRef& device) {
        if (search_->isLoaderIdentity(device)) {
            plugged = true;
            loop.quit();
        }
    };
    std::vector<ConverterSearch::Finding> findings;
    // News that comes while a converter is asked who it is counts on the next round.
    while (plugged || !deadline.hasExpired()) {
        if (!plugged) {
            if (!deadline.isForever())
                timer.start(std::chrono::ceil<std::chrono::milliseconds>(
                    deadline.remainingTimeAsDuration()));
            loop.exec();
            continue;
        }
        plugged = false;
        findings = search_->identifyAll();
        if (!ConverterChoice::choose(findings, node).considered.empty())
            break;
    }
    plugNews_->onArrival = nullptr;
    return findings;
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
    const bool online = isOnline(arguments);
    // Online the configuration's record says which modes exist, offline the shipped tree.
    bool offered = false;
    if (online) {
        offered = (standard ? record.Standard : record.Tournament).value_or(false);
    } else if (const auto modes = catalogue_.shippedModes(converter.partNumber)) {
        offered = standard ? modes->standard : modes->tournament;
    }
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

bool CliSession::isOnline(const CliArguments& arguments) const {
    return arguments.online || config_->IsOnline.value_or(false);
}

CommandReport::Converter CliSession::describe(const ConverterIdentity& converter) const {
    CommandReport::Converter described{converter.node,
                                       static_cast<int>(converter.vendorId),
                                       static_cast<int>(converter.productId),
                                       converter.partNumber.value_or(QString()),
                                       converter.firmwareVersion.value_or(QString()),
                                       {}};
    if (config_ && converter.partNumber) {
        if (const FwInfoModelRef record = ReleaseCatalogue::record(*config_, converter.partNumber))
            described.deviceName = record->DeviceName.value_or(QString());
    }
    return described;
}

ExitCode CliSession::fail(ExitCode code, const CommandReport::Failure& failure) {
    report_.result(code, failure, std::nullopt);
    return code;
}

QString CliSession::modeName(CliArguments::Mode mode) {
    return mode == CliArguments::Mode::Standard ? "standard" : "tournament";
}
