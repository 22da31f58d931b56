#include <gtest/gtest.h>

#include "cli/ProgressBar.h"

// A log gets eleven lines a transfer; a terminal one line, redrawn in place once a percent.
TEST(ProgressBar, SaysPercentPacketsSpeedAndTimeLeftRedrawnOnATerminalAndInTenthsElsewhere) {
    const std::pair<ProgressBar::Progress, const char*> rows[] = {
        {{0, 660, 0, 36960, 0}, "  0%  0/660 packets  --- B/s  -:-- left"},
        {{330, 660, 18480, 36960, 2.0}, " 50%  330/660 packets  9.2 kB/s  0:02 left"},
        {{659, 660, 36904, 36960, 0.5}, " 99%  659/660 packets  73.8 kB/s  0:00 left"},
        {{10, 32767, 560, 1834944, 1.0}, "  0%  10/32767 packets  560 B/s  54:36 left"},
    };
    for (const auto& [progress, line] : rows)
        EXPECT_EQ(ProgressBar::describe(progress), line);
    for (const bool terminal : {false, true}) {
        ProgressBar bar(terminal);
        QString written;
        for (int packet = 0; packet <= 660; ++packet)
            written += bar.advance({packet, 660, packet * 56, 660 * 56, packet * 0.002});
        written += bar.finish();
        EXPECT_EQ(written.count('\n'), terminal ? 1 : 11);
        EXPECT_EQ(written.count('\r'), terminal ? 101 : 0);
    }
}
