#pragma once

#include <functional>
#include <utility>

// Keeps a subscription alive: destroying (or resetting) the handle unsubscribes.
class Cancellable {
public:
    Cancellable() = default;
    explicit Cancellable(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    ~Cancellable() { cancel(); }
    Cancellable(Cancellable&& other) noexcept : cancel_(std::exchange(other.cancel_, {})) {}
    Cancellable& operator=(Cancellable&& other) noexcept;
    Cancellable(const Cancellable&) = delete;
    Cancellable& operator=(const Cancellable&) = delete;

    void cancel();

private:
    std::function<void()> cancel_;
};
