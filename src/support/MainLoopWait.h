#pragma once

#include <QTimer>
#include <chrono>

// Lets the GUI thread's event loop run while a caller waits for something that the loop
// delivers (a reply report, a removal). One call handles whatever event source becomes ready
// first and returns, or returns when the limit passes with nothing to handle; the caller loops
// on its own condition.
//
// QCoreApplication::processEvents(flags, ms) looks like the obvious tool, but it never sleeps:
// it polls without waiting until the time is up and keeps a core busy. Here the dispatcher
// blocks in poll() instead, woken by a precise single-shot timer at the limit.
class MainLoopWait {
public:
    MainLoopWait();
    MainLoopWait(const MainLoopWait&) = delete;
    MainLoopWait& operator=(const MainLoopWait&) = delete;

    void runOnce(std::chrono::milliseconds limit);

private:
    QTimer limitTimer_;
};
