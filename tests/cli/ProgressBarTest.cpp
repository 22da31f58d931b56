#include <QStringList>
#include <gtest/gtest.h>

#include "cli/ProgressBar.h"

// A log gets eleven lines a transfer; a terminal one line, redrawn in place once a percent and
// never as wide as the terminal, which would wrap it onto a new line at every redraw.
TEST(ProgressBar, SaysPercentPacketsSpeedAndTimeLeftRedrawnOnATerminalAndInTenthsElsewhere) {
    const std::tuple<ProgressBar::Progress, int, const char*> rows[] = {
        {{0, 660, 0, 36960, 0}, 80, "  0%  0/660 packets  --- B/s  -:-- left"},
        {{330, 660, 18480, 36960, 2.0}, 80, " 50%  330/660 packets  9.2 kB/s  0:02 left"},
        {{330, 660, 18480, 36960, 2.0}, 42, " 50%  9.2 kB/s  0:02 left"}, // 42 would wrap
        {{330, 660, 18480, 36960, 2.0}, 20, " 50%  0:02 left"},
        {{659, 660, 36904, 36960, 0.02}, 80, " 99%  659/660 packets  1.8 MB/s  0:00 left"},
        {{1, 1, 48, 48, 0.5}, 80, "100%  1/1 packets  96 B/s  0:00 left"},
        {{10, 32767, 560, 1834944, 1.0}, 80, "  0%  10/32767 packets  560 B/s  54:36 left"},
        {{10, 32767, 560, 1834944, 2.0}, 80, "  0%  10/32767 packets  280 B/s  1:49:11 left"},
    };
    for (const auto& [progress, columns, line] : rows)
        EXPECT_EQ(ProgressBar::describe(progress, columns), line);
    for (const auto& [terminal, columns] : {std::pair{false, 80}, {true, 80}, {true, 40}}) {
        ProgressBar bar(terminal, columns);
        QString written;
        for (int packet = 0; packet <= 660; ++packet)
            written += bar.advance({packet, 660, packet * 56, 660 * 56, packet * 0.002});
        written += bar.finish();
        EXPECT_EQ(written.count('\n'), terminal ? 1 : 11);
        EXPECT_EQ(written.count('\r'), terminal ? 101 : 0);
        for (const QString& line : written.split('\r', Qt::SkipEmptyParts))
            EXPECT_TRUE(!terminal || line.indexOf("\x1b[K") < columns) << line.toStdString();
        EXPECT_EQ(written.contains("[####"), terminal); // the bar itself, where there is room
    }
}
