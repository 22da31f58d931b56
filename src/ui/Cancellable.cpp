#include "ui/Cancellable.h"

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
