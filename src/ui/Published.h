#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "ui/Cancellable.h"

// A value whose subscribers hear of every assignment, synchronously and before the new value is
// stored: a subscriber that reads the property while it runs still sees the old value. Equal
// values are delivered too. A new subscriber gets the current value at once. No subscriber is
// ever handed a value older than one it already has: once a subscriber assigns anew, the
// delivery of the assignment it interrupted stops.
template <typename T> class Published {
public:
    using Subscriber = std::function<void(const T&)>;

    explicit Published(T initial = T{}) : value_(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& value() const { return value_; }

    Published& operator=(T newValue) {
        // A subscriber may itself assign (the status shown for a plugged-in device can turn into
        // a download failure while it is being shown). That later assignment is the one that
        // stands: handing this one to the subscribers after it, or storing it, would leave them
        // with a value that is no longer true.
        const uint64_t assignment = ++assignments_;
        // A subscriber may subscribe or cancel while we deliver; walk a snapshot of the ids and
        // skip those cancelled on the way.
        std::vector<uint64_t> ids;
        ids.reserve(subscribers_->size());
        for (const auto& entry : *subscribers_)
            ids.push_back(entry.first);
        for (uint64_t id : ids) {
            if (assignments_ != assignment)
                return *this;
            const auto found = subscribers_->find(id);
            if (found != subscribers_->end())
                Subscriber(found->second)(newValue); // a copy: it may cancel itself
        }
        if (assignments_ == assignment)
            value_ = std::move(newValue);
        return *this;
    }

    [[nodiscard]] Cancellable subscribe(Subscriber subscriber) {
        const uint64_t id = nextId_++;
        (*subscribers_)[id] = subscriber;
        subscriber(value_);
        std::weak_ptr<Subscribers> weak = subscribers_;
        return Cancellable([weak, id] {
            if (auto subscribers = weak.lock())
                subscribers->erase(id);
        });
    }

private:
    using Subscribers = std::map<uint64_t, Subscriber>;
    T value_;
    std::shared_ptr<Subscribers> subscribers_ = std::make_shared<Subscribers>();
    uint64_t nextId_ = 0;
    uint64_t assignments_ = 0;
};
