#include "support/MainLoopWait.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QThread>
#include <thread>

MainLoopWait::MainLoopWait() {
    limitTimer_.setSingleShot(true);
    // A coarse timer may fire up to 5% late; the caller's deadline arithmetic assumes it does not.
    limitTimer_.setTimerType(Qt::PreciseTimer);
}

void MainLoopWait::runOnce(std::chrono::milliseconds limit) {
    QAbstractEventDispatcher* dispatcher =
        QAbstractEventDispatcher::instance(QThread::currentThread());
    if (!dispatcher) {
        // No event loop on this thread: nothing can arrive, but the caller still must not spin.
        std::this_thread::sleep_for(limit);
        return;
    }
    // The timer's only job is to wake the dispatcher; nothing listens to its timeout.
    limitTimer_.start(std::max(limit, std::chrono::milliseconds{0}));
    dispatcher->processEvents(QEventLoop::WaitForMoreEvents);
    limitTimer_.stop();
}
