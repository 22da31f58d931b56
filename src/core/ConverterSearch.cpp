#include "core/ConverterSearch.h"

#include <algorithm>

#include "protocol/Commands.h"

namespace {
std::vector<DeviceMatching> completeIdentities(const auto& records) {
    std::vector<DeviceMatching> matching;
    if (records)
        for (const auto& record : *records)
            if (record && record->Vid && record->Pid)
                matching.push_back({*record->Vid, *record->Pid});
    return matching;
}
} // namespace

std::vector<DeviceMatching> ConverterSearch::deviceMatchingList(const ConfigModel& config) {
    std::vector<DeviceMatching> matching = completeIdentities(config.APCollection);
    const std::vector<DeviceMatching> loader = loaderIdentities(config);
    matching.insert(matching.end(), loader.begin(), loader.end());
    return matching;
}

std::vector<DeviceMatching> ConverterSearch::loaderIdentities(const ConfigModel& config) {
    return completeIdentities(config.LDCollection);
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
    return ConverterIdentity{.device = device,
                             .node = service.deviceNode(device),
                             .vendorId = *vendorId,
                             .productId = *productId};
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
    bool accessDenied = false;
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
        if (answer == Answer::Identified)
            return {std::move(candidate), accessDenied};
        if (answer == Answer::SyncFailed && !accessDenied)
            accessDenied = manager_.manager().isPermissionDenied(candidate->device);
    }
    return {std::nullopt, accessDenied};
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
    std::ranges::sort(findings, {}, [](const Finding& finding) {
        return std::pair(finding.identity.node.size(), finding.identity.node);
    });
    return findings;
}

std::optional<ConverterIdentity> ConverterSearch::identify(const HidDeviceRef& device) {
    std::optional<ConverterIdentity> identity = describe(device);
    if (!identity || ask(*identity) != Answer::Identified)
        return std::nullopt;
    return identity;
}
