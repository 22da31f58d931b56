#include "ui/Cancellable.h"

#include <utility>

Cancellable::Cancellable(std::function<void()> cancel) : cancel_(std::move(cancel)) {}

Cancellable::~Cancellable() {
    cancel();
}

Cancellable::Cancellable(Cancellable&& other) noexcept
    : cancel_(std::exchange(other.cancel_, {})) {}

Cancellable& Cancellable::operator=(Cancellable&& other) noexcept {
    if (this != &other) {
        cancel();
        cancel_ = std::exchange(other.cancel_, {});
    }
    return *this;
}

void Cancellable::cancel() {
    if (auto cancel = std::exchange(cancel_, {}))
        cancel();
}
