#pragma once

#include <QTimer>
#include <chrono>

// Lets the GUI thread's event loop run while a caller waits for something it delivers (a reply,
// a removal): one call handles the first event source that becomes ready, or returns at the
// limit, and the caller loops on its own condition. QCoreApplication::processEvents(flags, ms)
// would poll without sleeping and keep a core busy; here the dispatcher blocks in poll().
class MainLoopWait {
public:
    MainLoopWait();
    MainLoopWait(const MainLoopWait&) = delete;
    MainLoopWait& operator=(const MainLoopWait&) = delete;

    void runOnce(std::chrono::milliseconds limit);

private:
    QTimer limitTimer_;
};
