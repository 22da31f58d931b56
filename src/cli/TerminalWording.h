#pragma once

#include "cli/CommandReport.h"
#include "core/FailureWords.h"

// A failure in terminal words: what happened on one line, and on the next what to do, which at a
// terminal is running a command again rather than pressing a button.
class TerminalWording {
public:
    static CommandReport::Failure lines(const FailureWords::Words& words);

    template <typename Failure> static CommandReport::Failure lines(const Failure& failure) {
        return lines(FailureWords::of(failure));
    }
};
