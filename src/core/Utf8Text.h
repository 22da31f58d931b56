#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Release files and version lists must be UTF-8; anything else is treated as unreadable rather
// than shown with replacement characters.
class Utf8Text {
public:
    static std::optional<QString> decode(const QByteArray& bytes);
    static std::optional<QString> readFile(const QString& path);
};
