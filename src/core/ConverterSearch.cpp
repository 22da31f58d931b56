#include "core/ConverterSearch.h"

#include <algorithm>

#include "protocol/Commands.h"

namespace {
void appendComplete(std::vector<DeviceMatching>& matching, const auto& records) {
    if (!records)
        return;
    for (const auto& record : *records)
        if (record && record->Vid && record->Pid)
            matching.push_back({*record->Vid, *record->Pid});
}
} // namespace

std::vector<DeviceMatching> ConverterSearch::deviceMatchingList(const ConfigModel& config) {
    std::vector<DeviceMatching> matching;
    appendComplete(matching, config.APCollection);
    appendComplete(matching, config.LDCollection);
    return matching;
}

std::vector<DeviceMatching> ConverterSearch::loaderIdentities(const ConfigModel& config) {
    std::vector<DeviceMatching> identities;
    appendComplete(identities, config.LDCollection);
    return identities;
}

QString ConverterSearch::accessDeniedAdvice() {
    return QStringLiteral(
        "The converter is connected, but you have no permission to open it. Install the udev "
        "rule 70-velmar-converter.rules that comes with the updater, run \"sudo udevadm control "
        "--reload && sudo udevadm trigger\" and plug the converter in again.");
}

ConverterSearch::ConverterSearch(USBHidManager& manager,
                                 std::vector<DeviceMatching> loaderIdentities)
    : manager_(manager), loaderIdentities_(std::move(loaderIdentities)) {}

bool ConverterSearch::isLoaderIdentity(const HidDeviceRef& device) const {
    const std::optional<ConverterIdentity> described = describe(device);
    return described &&
           std::ranges::find(loaderIdentities_,
                             DeviceMatching{described->vendorId, described->productId}) !=
               loaderIdentities_.end();
}

std::optional<ConverterIdentity> ConverterSearch::describe(const HidDeviceRef& device) const {
    HidService& service = manager_.manager();
    const std::optional<int64_t> vendorId = service.deviceProperty(device, "VendorID");
    const std::optional<int64_t> productId = service.deviceProperty(device, "ProductID");
    if (!vendorId || !productId)
        return std::nullopt;
    ConverterIdentity identity;
    identity.device = device;
    identity.node = service.deviceNode(device);
    identity.vendorId = *vendorId;
    identity.productId = *productId;
    return identity;
}

ConverterSearch::Answer ConverterSearch::ask(ConverterIdentity& identity) {
    identity.packNo = 0;
    if (!Commands::syncPackNo(manager_, identity.device, identity.packNo))
        return Answer::SyncFailed;
    const std::optional<QByteArray> fwInfo =
        Commands::getFWInfo(manager_, identity.device, identity.packNo);
    if (!fwInfo)
        return Answer::InfoFailed;
    identity.partNumber = Commands::getPartNumber(*fwInfo);
    identity.firmwareVersion = Commands::getFWVersion(*fwInfo);
    return Answer::Identified;
}

std::vector<HidDeviceRef> ConverterSearch::attached(const DeviceMatching& identity) {
    HidService& service = manager_.manager();
    service.setDeviceMatching({identity});
    return service.copyDevices();
}

ConverterSearch::FirstFound ConverterSearch::identifyFirst(const CandidateObserver& onCandidate) {
    FirstFound result;
    for (const DeviceMatching& loader : loaderIdentities_) {
        const std::vector<HidDeviceRef> devices = attached(loader);
        if (devices.empty())
            continue;
        std::optional<ConverterIdentity> candidate = describe(devices.front());
        if (!candidate)
            continue;
        if (onCandidate)
            onCandidate(candidate->vendorId, candidate->productId);
        const Answer answer = ask(*candidate);
        if (answer == Answer::SyncFailed) {
            result.accessDenied =
                result.accessDenied || manager_.manager().isPermissionDenied(candidate->device);
            continue;
        }
        if (answer == Answer::Identified) {
            result.identity = std::move(candidate);
            break;
        }
    }
    return result;
}

std::vector<ConverterSearch::Finding> ConverterSearch::identifyAll() {
    std::vector<Finding> findings;
    for (const DeviceMatching& loader : loaderIdentities_) {
        for (const HidDeviceRef& device : attached(loader)) {
            const bool seen = std::ranges::any_of(
                findings, [&](const Finding& f) { return f.identity.device == device; });
            std::optional<ConverterIdentity> described = describe(device);
            if (seen || !described)
                continue;
            Finding finding{Finding::State::NotAnswering, std::move(*described)};
            const Answer answer = ask(finding.identity);
            if (answer == Answer::Identified)
                finding.state = Finding::State::Identified;
            else if (answer == Answer::SyncFailed && manager_.manager().isPermissionDenied(device))
                finding.state = Finding::State::AccessDenied;
            findings.push_back(std::move(finding));
        }
    }
    // "/dev/hidraw2" before "/dev/hidraw10": shorter names first, then by character.
    std::ranges::sort(findings, [](const Finding& a, const Finding& b) {
        const QString& x = a.identity.node;
        const QString& y = b.identity.node;
        return x.size() != y.size() ? x.size() < y.size() : x < y;
    });
    return findings;
}

std::optional<ConverterIdentity> ConverterSearch::identify(const HidDeviceRef& device) {
    std::optional<ConverterIdentity> identity = describe(device);
    if (!identity || ask(*identity) != Answer::Identified)
        return std::nullopt;
    return identity;
}
