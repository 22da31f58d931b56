// The whole configuration load as the program does it at start: the "config" file of a resource
// directory, strict Base64, then the XML parser.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "FuzzCheck.h"
#include "config/LoadConfig.h"
#include "config/StrictBase64.h"

namespace {

QTemporaryDir& resourceDirectory() {
    // In memory: a disk-backed file rewritten for every input would make the disk the bottleneck.
    static QTemporaryDir directory(QStringLiteral("/dev/shm/fuzz_config_loader-XXXXXX"));
    return directory;
}

bool isStrictBase64Alphabet(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // Strictness: only whole groups of four alphabet characters ever decode.
    if (const auto decoded = StrictBase64::decode(text)) {
        FUZZ_CHECK(text.size() % 4 == 0);
        for (char c : text) {
            FUZZ_CHECK(isStrictBase64Alphabet(c));
        }
        FUZZ_CHECK(decoded->size() <= text.size() / 4 * 3);
    }

    QFile file(QDir(resourceDirectory().path()).filePath(QStringLiteral("config")));
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    (void)loadConfig(resourceDirectory().path());
    return 0;
}
