#pragma once

#include <QByteArray>
#include <optional>

// Decodes the configuration file. Strict on purpose: the file is produced by the build as one
// unbroken run, so a line break, a space, a trailing newline or missing padding means the file
// is not the one we shipped, and nothing of it is used.
class StrictBase64 {
public:
    static std::optional<QByteArray> decode(const QByteArray& text);
};
