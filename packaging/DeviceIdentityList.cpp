#include "DeviceIdentityList.h"

#include <algorithm>

namespace {

bool isUsbId(int64_t value) {
    return value >= 0 && value <= 0xFFFF;
}

// Adds one record's identity. Records missing an id are passed over, as the device search does.
template <typename Record>
bool appendIdentity(const Record& record, const QString& mode, std::vector<DeviceIdentity>& out,
                    QString* error) {
    if (!record || !record->Vid || !record->Pid) {
        return true;
    }
    if (!isUsbId(*record->Vid) || !isUsbId(*record->Pid)) {
        if (error) {
            *error = QStringLiteral("%1 identity %2:%3 is not a USB vendor/product id")
                         .arg(mode)
                         .arg(*record->Vid)
                         .arg(*record->Pid);
        }
        return false;
    }
    DeviceIdentity identity{static_cast<uint16_t>(*record->Vid),
                            static_cast<uint16_t>(*record->Pid), mode};
    const bool known = std::any_of(out.begin(), out.end(), [&](const DeviceIdentity& existing) {
        return existing.vendorId == identity.vendorId && existing.productId == identity.productId;
    });
    if (!known) {
        out.push_back(identity);
    }
    return true;
}

} // namespace

std::optional<std::vector<DeviceIdentity>> DeviceIdentityList::fromConfig(const ConfigModel& config,
                                                                          QString* error) {
    std::vector<DeviceIdentity> identities;
    for (const auto& record : config.APCollection.value_or(std::vector<APModelRef>{})) {
        if (!appendIdentity(record, QStringLiteral("application"), identities, error)) {
            return std::nullopt;
        }
    }
    for (const auto& record : config.LDCollection.value_or(std::vector<LDModelRef>{})) {
        if (!appendIdentity(record, QStringLiteral("loader"), identities, error)) {
            return std::nullopt;
        }
    }
    if (identities.empty()) {
        if (error) {
            *error = QStringLiteral("the configuration names no complete USB identity");
        }
        return std::nullopt;
    }
    return identities;
}
