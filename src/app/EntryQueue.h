#pragma once

#include <QObject>
#include <deque>
#include <functional>

// Keeps the window's work apart. Everything that reaches the controller from outside (search
// ticks, plug and removal news, clicks and keys, START's job) is an entry, and entries run one at
// a time. An entry's waits (device exchanges, downloads, modal alerts) run the event loop, so the
// next entry often arrives while one is still running: it then waits its turn, or, if it is a
// search tick, is dropped, since the timer ticks again. What waited runs in arrival order, from
// the event loop, once the running entry has returned; it checks for itself whether it still
// makes sense on the screen it then finds.
class EntryQueue {
public:
    using Entry = std::function<void()>;

    // Deferred entries are started from `context`'s thread and dropped with it.
    explicit EntryQueue(QObject& context) : context_(context) {}
    EntryQueue(const EntryQueue&) = delete;
    EntryQueue& operator=(const EntryQueue&) = delete;

    // Runs `entry` now when nothing runs or waits, otherwise after all of that.
    void arrive(Entry entry);
    // Runs `entry` from the event loop, after everything that runs or waits now: the work a
    // handler sets going starts once the handler has returned.
    void post(Entry entry);
    // For good: what waits is dropped and nothing that arrives runs. The entry running now, if
    // any, still returns through its waits.
    void close();

    bool isIdle() const { return !running_ && pending_.empty(); }
    bool isClosed() const { return closed_; }

private:
    void run(const Entry& entry);
    void scheduleNext();

    QObject& context_;
    std::deque<Entry> pending_;
    bool running_ = false;
    bool scheduled_ = false;
    bool closed_ = false;
};
