#pragma once

#include <QString>
#include <QtGlobal>

// The transfer's progress as text: percent, packets, bytes per second and the time left. On a
// terminal one line is redrawn in place (a carriage return and the line again); elsewhere, a log
// or a pipe, a plain line is written at every tenth of the way, so a log is not flooded.
class ProgressBar {
public:
    struct Progress {
        qint64 packets = 0;
        qint64 totalPackets = 0;
        qint64 bytes = 0;
        qint64 totalBytes = 0;
        double elapsedSeconds = 0;
    };

    explicit ProgressBar(bool redrawInPlace) : inPlace_(redrawInPlace) {}

    // What to write for this step: empty when nothing visible changed since the last one.
    QString advance(const Progress& progress);
    // What ends the bar: the newline a line redrawn in place still lacks.
    QString finish();

    // The line itself, without the bar: "45%  297/660 packets  12.3 kB/s  0:05 left".
    static QString describe(const Progress& progress);
    static int percent(const Progress& progress);

private:
    static constexpr int barWidth = 24;
    const bool inPlace_;
    int shownPercent_ = -1;
    bool lineOpen_ = false;
};
