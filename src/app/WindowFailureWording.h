#pragma once

#include <QString>
#include <optional>

#include "core/FailureWords.h"

// The window's reason line under the prompt: what happened, then the next step in the window's
// terms, where Confirm leads back to the search.
class WindowFailureWording {
public:
    static QString line(const FailureWords::Words& words);

    // Empty when there is no failure.
    template <typename Failure> static QString reason(const std::optional<Failure>& failure) {
        return failure ? line(FailureWords::of(*failure)) : QString();
    }
};
