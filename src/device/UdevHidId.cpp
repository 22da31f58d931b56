#include "device/UdevHidId.h"

#include "support/HexText.h"

namespace {
std::optional<uint32_t> parseHexField(QByteArrayView field) {
    if (field.isEmpty() || field.size() > 8)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : field) {
        const int digit = HexText::digitValue(QLatin1Char(c));
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}
} // namespace

std::optional<UdevHidId> UdevHidId::parse(QByteArrayView text) {
    const qsizetype first = text.indexOf(':');
    if (first < 0)
        return std::nullopt;
    const qsizetype second = text.sliced(first + 1).indexOf(':');
    if (second < 0)
        return std::nullopt;
    const std::optional<uint32_t> bus = parseHexField(text.first(first));
    const std::optional<uint32_t> vendor = parseHexField(text.sliced(first + 1, second));
    const std::optional<uint32_t> product = parseHexField(text.sliced(first + 2 + second));
    if (!bus || !vendor || !product)
        return std::nullopt;
    return UdevHidId{*bus, *vendor, *product};
}
