#include "device/MainLoopWait.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {
using std::chrono::milliseconds;

TEST(MainLoopWaitTest, ReturnsOnceAnEventWasHandledOrAtTheLimitWhenNothingHappens) {
    MainLoopWait wait;
    QObject context;
    bool soon = false;
    bool late = false;
    QTimer::singleShot(milliseconds{10}, &context, [&] { soon = true; });
    QTimer::singleShot(std::chrono::hours{1}, &context, [&] { late = true; });
    // Other sources may wake a turn first; the caller loops on its own condition. A wait that
    // ran to its limit would hang here for an hour (and ctest would stop it).
    for (int turn = 0; turn < 100 && !soon; ++turn)
        wait.runOnce(std::chrono::hours{1});
    EXPECT_TRUE(soon);
    wait.runOnce(milliseconds{20});
    wait.runOnce(milliseconds{0});
    EXPECT_FALSE(late);
}
} // namespace
