#pragma once

#include <functional>

// Keeps a subscription alive: destroying (or resetting) the handle unsubscribes.
class Cancellable {
public:
    Cancellable() = default;
    explicit Cancellable(std::function<void()> cancel);
    ~Cancellable();
    Cancellable(Cancellable&& other) noexcept;
    Cancellable& operator=(Cancellable&& other) noexcept;
    Cancellable(const Cancellable&) = delete;
    Cancellable& operator=(const Cancellable&) = delete;

    void cancel();

private:
    std::function<void()> cancel_;
};
