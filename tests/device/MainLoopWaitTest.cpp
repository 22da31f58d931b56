#include "device/MainLoopWait.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {
using std::chrono::milliseconds;

TEST(MainLoopWaitTest, ReturnsOnceAnEventWasHandledLongBeforeTheLimit) {
    MainLoopWait wait;
    QObject context;
    bool handled = false;
    QTimer::singleShot(milliseconds{10}, &context, [&] { handled = true; });
    // Other sources may wake a turn first; the caller loops on its own condition. A wait that
    // ran to its limit would hang here for an hour (and ctest would stop it).
    for (int turn = 0; turn < 100 && !handled; ++turn)
        wait.runOnce(std::chrono::hours{1});
    EXPECT_TRUE(handled);
}

TEST(MainLoopWaitTest, ReturnsAtTheLimitWhenNothingHappens) {
    MainLoopWait wait;
    QObject context;
    bool handled = false;
    QTimer::singleShot(std::chrono::hours{1}, &context, [&] { handled = true; });
    wait.runOnce(milliseconds{20});
    wait.runOnce(milliseconds{0});
    EXPECT_FALSE(handled);
}
} // namespace
