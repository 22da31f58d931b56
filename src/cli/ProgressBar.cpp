#include "cli/ProgressBar.h"

#include <cmath>

namespace {

QString rate(double bytesPerSecond) {
    if (bytesPerSecond >= 1e6)
        return QString("%1 MB/s").arg(bytesPerSecond / 1e6, 0, 'f', 1);
    if (bytesPerSecond >= 1e3)
        return QString("%1 kB/s").arg(bytesPerSecond / 1e3, 0, 'f', 1);
    return QString("%1 B/s").arg(std::lround(bytesPerSecond));
}

QString minutesAndSeconds(double seconds) {
    const long whole = std::lround(seconds);
    return QString("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QChar('0'));
}

} // namespace

int ProgressBar::percent(const Progress& progress) {
    if (progress.totalPackets <= 0)
        return 0;
    return static_cast<int>(100 * progress.packets / progress.totalPackets);
}

QString ProgressBar::describe(const Progress& progress) {
    QString line = QString("%1%  %2/%3 packets")
                       .arg(percent(progress), 3)
                       .arg(progress.packets)
                       .arg(progress.totalPackets);
    // Speed and time left mean something only once some bytes have gone in measurable time.
    if (progress.bytes <= 0 || progress.elapsedSeconds <= 0)
        return line + "  --- B/s  -:-- left";
    const double bytesPerSecond = static_cast<double>(progress.bytes) / progress.elapsedSeconds;
    const double secondsLeft =
        static_cast<double>(progress.totalBytes - progress.bytes) / bytesPerSecond;
    return line + "  " + rate(bytesPerSecond) + "  " + minutesAndSeconds(secondsLeft) + " left";
}

QString ProgressBar::advance(const Progress& progress) {
    const int now = percent(progress);
    const int step = inPlace_ ? now : now / 10 * 10;
    if (step == shownPercent_)
        return {};
    shownPercent_ = step;
    if (!inPlace_)
        return describe(progress) + "\n";
    const int filled = barWidth * now / 100;
    lineOpen_ = true;
    // "\x1b[K" clears what a longer earlier line left at the end.
    return "\r[" + QString(filled, '#') + QString(barWidth - filled, '.') + "] " +
           describe(progress) + "\x1b[K";
}

QString ProgressBar::finish() {
    const bool wasOpen = lineOpen_;
    lineOpen_ = false;
    return wasOpen ? QString("\n") : QString();
}
