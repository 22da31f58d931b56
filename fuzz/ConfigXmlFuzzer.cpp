// The configuration parser on raw document bytes: whatever the document, the parse ends, does not
// touch memory it does not own, and reads no file or network resource.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "config/ParseConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray document(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)ParseConfig::parseXML(document);
    return 0;
}
