#include "cli/ProgressBar.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

QString rate(double bytesPerSecond) {
    for (const auto& [unit, size] : {std::pair{"MB/s", 1e6}, {"kB/s", 1e3}})
        if (bytesPerSecond >= size)
            return QString("%1 %2").arg(bytesPerSecond / size, 0, 'f', 1).arg(unit);
    return QString("%1 B/s").arg(std::lround(bytesPerSecond));
}

// m:ss, or h:mm:ss from an hour.
QString clock(double seconds) {
    const long whole = std::lround(seconds);
    const auto twoDigits = [](long value) { return QString("%1").arg(value, 2, 10, QChar('0')); };
    if (whole < 3600)
        return QString("%1:%2").arg(whole / 60).arg(twoDigits(whole % 60));
    return QString("%1:%2:%3")
        .arg(whole / 3600)
        .arg(twoDigits(whole / 60 % 60), twoDigits(whole % 60));
}

} // namespace

int ProgressBar::percent(const Progress& progress) {
    if (progress.totalPackets <= 0)
        return 0;
    return static_cast<int>(100 * progress.packets / progress.totalPackets);
}

QString ProgressBar::describe(const Progress& progress, int columns) {
    QStringList parts{QString("%1%").arg(percent(progress), 3),
                      QString("%1/%2 packets").arg(progress.packets).arg(progress.totalPackets),
                      "--- B/s", "-:-- left"};
    // Speed and time left mean something only once some bytes have gone in measurable time.
    if (progress.bytes > 0 && progress.elapsedSeconds > 0) {
        const double bytesPerSecond = static_cast<double>(progress.bytes) / progress.elapsedSeconds;
        parts[2] = rate(bytesPerSecond);
        parts[3] =
            clock(static_cast<double>(progress.totalBytes - progress.bytes) / bytesPerSecond) +
            " left";
    }
    while (parts.size() > 2 && parts.join("  ").size() >= columns)
        parts.removeAt(1);
    return parts.join("  ").left(columns - 1);
}

QString ProgressBar::advance(const Progress& progress) {
    const int now = percent(progress);
    const int step = inPlace_ ? now : now / 10 * 10;
    if (std::exchange(shownPercent_, step) == step)
        return {};
    if (!inPlace_)
        return describe(progress) + "\n";
    lineOpen_ = true;
    // The bar takes what the words leave of the line, and goes before they have to.
    const QString words = describe(progress, columns_);
    const int width = std::min<int>(barWidth, static_cast<int>(columns_ - 4 - words.size()));
    const QString bar = width < 8 ? QString()
                                  : "[" + QString(width * now / 100, '#') +
                                        QString(width - width * now / 100, '.') + "] ";
    // "\x1b[K" clears what a longer earlier line left at the end.
    return "\r" + bar + words + "\x1b[K";
}
