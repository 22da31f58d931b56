// The configuration load from the text of the "config" file: strict Base64, then the XML parser,
// the two steps loadConfig takes after reading the file (the file itself stays out of the loop:
// rewriting it for every input made the disk, not the parser, the thing being exercised).
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "config/ParseConfig.h"
#include "config/StrictBase64.h"

namespace {

bool isBase64Alphabet(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto document = StrictBase64::decode(text);
    if (!document) {
        return 0;
    }
    // Strictness: only whole groups of four alphabet characters ever decode, padding only at the
    // end, and every group gives its three bytes. (Unused bits in the last group may be set, as
    // most decoders allow.)
    FUZZ_CHECK(text.size() % 4 == 0);
    const qsizetype padding = text.endsWith("==") ? 2 : text.endsWith('=') ? 1 : 0;
    for (qsizetype i = 0; i < text.size() - padding; ++i) {
        FUZZ_CHECK(isBase64Alphabet(text[i]));
    }
    FUZZ_CHECK(document->size() == text.size() / 4 * 3 - padding);
    (void)ParseConfig::parseXML(*document);
    return 0;
}
