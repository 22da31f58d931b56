#pragma once

#include <QColor>
#include <QString>
#include <optional>

// "#db7093" (white space around it, any "#", an optional 0x) to a colour with the given alpha.
// Scanning stops at the first character that is no hexadecimal digit and only the lowest 24 bits
// count. Absent when there is no digit at all.
std::optional<QColor> colorFromHexString(const QString& text, double alpha = 1.0);
