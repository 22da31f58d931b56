#pragma once

#include <QString>
#include <QtGlobal>
#include <utility>

// The transfer's progress as text. A terminal gets one line redrawn in place, narrower than the
// terminal so that it never wraps; a log or a pipe a plain line every tenth of the way.
class ProgressBar {
public:
    struct Progress {
        qint64 packets = 0;
        qint64 totalPackets = 0;
        qint64 bytes = 0;
        qint64 totalBytes = 0;
        double elapsedSeconds = 0;
    };

    // `columns`: the terminal's width, for a bar redrawn in place.
    explicit ProgressBar(bool redrawInPlace, int columns = 80)
        : inPlace_(redrawInPlace), columns_(columns) {}

    // What to write for this step: empty when nothing visible changed since the last one.
    QString advance(const Progress& progress);
    // What ends the bar: the newline a line redrawn in place still lacks.
    QString finish() { return std::exchange(lineOpen_, false) ? QString("\n") : QString(); }

    // The line itself, without the bar: "45%  297/660 packets  12.3 kB/s  0:05 left", with
    // the parts that fit into `columns` - 1 (the packets go first, then the speed).
    static QString describe(const Progress& progress, int columns = 1000);
    static int percent(const Progress& progress);

private:
    static constexpr int barWidth = 24;
    const bool inPlace_;
    const int columns_;
    int shownPercent_ = -1;
    bool lineOpen_ = false;
};
