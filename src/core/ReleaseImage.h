#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

// A firmware image ready to send, and the checksum its release gives for it (absent when the
// release names none: the final check then fails).
struct ReleaseImage {
    QByteArray image;
    std::optional<int64_t> checkSum;
};
