#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// A release's version as converters report theirs: "V1.2.3.4" is 0x01020304.
class ReleaseVersion {
public:
    // Absent for a text in any other form, or with a part over 255.
    static std::optional<uint32_t> number(const QString& version);
};
