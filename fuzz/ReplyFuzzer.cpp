// The decoders of the converter's replies, on replies of any length and content, and the packet
// builders on any counter: no read outside the reply, and results of the promised form.
#include <QByteArray>
#include <QRegularExpression>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "device/USBHidManager.h"
#include "protocol/Commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Layout of an input: 8 bytes of packet counter, 1 byte of reply length, the reply, and the
    // request the reply answers.
    if (size < 9) {
        return 0;
    }
    int64_t packNo = 0;
    std::memcpy(&packNo, data, sizeof packNo);
    const size_t replyLength = std::min<size_t>(data[8], size - 9);
    const auto* bytes = reinterpret_cast<const char*>(data + 9);
    // Copies, so that AddressSanitizer sees the true end of each buffer.
    const QByteArray reply(bytes, static_cast<qsizetype>(replyLength));
    const QByteArray request(bytes + replyLength, static_cast<qsizetype>(size - 9 - replyLength));

    if (const auto partNumber = Commands::getPartNumber(reply)) {
        FUZZ_CHECK(reply.size() >= 17);
        FUZZ_CHECK(partNumber->size() == 8);
        FUZZ_CHECK(partNumber->trimmed().toLower().startsWith(QStringLiteral("qk")));
    }
    if (const auto version = Commands::getFWVersion(reply)) {
        static const QRegularExpression form(
            QStringLiteral("^V\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
        FUZZ_CHECK(reply.size() >= 48);
        FUZZ_CHECK(form.match(*version).hasMatch());
    }
    if (Commands::checkPackChecksum(reply, request)) {
        FUZZ_CHECK(reply.size() >= 2);
    }
    if (USBHidManager::checkPackNo(packNo, reply)) {
        FUZZ_CHECK(reply.size() >= 7);
        FUZZ_CHECK(packNo >= 0 && packNo <= 0xFFFFFF);
    }

    if (const auto first = Commands::firstDataPacket(packNo, request)) {
        FUZZ_CHECK(first->size() == Commands::reportSize);
        FUZZ_CHECK(packNo >= 0 && packNo <= 0xFFFF);
    }
    if (const auto next = Commands::continuationDataPacket(packNo, request)) {
        FUZZ_CHECK(next->size() == Commands::reportSize);
        FUZZ_CHECK(request.size() <= Commands::continuationPayload);
    }
    return 0;
}
