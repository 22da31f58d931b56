#pragma once

#include "support/MainLoopWait.h"

#include <chrono>
#include <functional>

// Runs the event loop until `done` holds; the limit only keeps a broken test from hanging.
inline bool runEventLoopUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds limit = std::chrono::seconds{10}) {
    MainLoopWait wait;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        wait.runOnce(std::chrono::milliseconds{50});
    }
    return true;
}

inline void runEventLoopFor(std::chrono::milliseconds span = std::chrono::milliseconds{50}) {
    runEventLoopUntil([] { return false; }, span);
}
