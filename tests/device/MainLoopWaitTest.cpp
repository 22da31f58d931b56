#include "device/MainLoopWait.h"

#include <QTimer>
#include <gtest/gtest.h>

TEST(MainLoopWaitTest, ReturnsOnceAnEventWasHandledOrAtTheLimitWhenNothingHappens) {
    MainLoopWait wait;
    QObject context;
    bool soon = false;
    bool late = false;
    QTimer::singleShot(std::chrono::milliseconds{10}, &context, [&] { soon = true; });
    QTimer::singleShot(std::chrono::hours{1}, &context, [&] { late = true; });
    // Other sources may wake a turn first; a wait that ran to its limit would hang for an hour.
    for (int turn = 0; turn < 100 && !soon; ++turn)
        wait.runOnce(std::chrono::hours{1});
    EXPECT_TRUE(soon);
    wait.runOnce(std::chrono::milliseconds{20});
    EXPECT_FALSE(late);
}
