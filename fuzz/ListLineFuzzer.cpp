// One line of the online version list, as the user selects it: the checksum and image file it
// names, and the version shown for it.
#include <QString>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "firmware/DescriptionField.h"
#include "firmware/DescriptionLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString line =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const std::optional<qint64> earlier = 7;
    const auto result = DescriptionLine::applyListLine(line, earlier);
    if (result.imageFile) {
        // The image file is a field as written, so a part of the line.
        FUZZ_CHECK(line.contains(*result.imageFile));
        FUZZ_CHECK(DescriptionField::isImageFileField(*result.imageFile));
    }
    if (const auto version = DescriptionLine::firstVersionField(line)) {
        FUZZ_CHECK(line.contains(*version));
    }
    return 0;
}
