#include "app/EntryQueue.h"

#include <QTimer>

void EntryQueue::arrive(Entry entry) {
    if (closed_)
        return;
    if (isIdle())
        run(entry);
    else
        pending_.push_back(std::move(entry));
}

void EntryQueue::post(Entry entry) {
    if (closed_)
        return;
    pending_.push_back(std::move(entry));
    scheduleNext();
}

void EntryQueue::close() {
    closed_ = true;
    pending_.clear();
}

void EntryQueue::run(const Entry& entry) {
    running_ = true;
    entry();
    running_ = false;
    scheduleNext();
}

void EntryQueue::scheduleNext() {
    // Never straight from the end of the entry before: whatever called that entry (a click's
    // signal, a removal callback) is still on the stack.
    if (running_ || scheduled_ || pending_.empty())
        return;
    scheduled_ = true;
    QTimer::singleShot(0, &context_, [this] {
        scheduled_ = false;
        // Taken inside a wait of a newer entry, this turn of the loop is too early; that entry's
        // end schedules the next one again.
        if (running_ || closed_ || pending_.empty())
            return;
        const Entry entry = std::move(pending_.front());
        pending_.pop_front();
        run(entry);
    });
}
