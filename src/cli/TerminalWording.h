#pragma once

#include "cli/CommandReport.h"
#include "core/FailureWords.h"

// A failure in terminal words: what happened on one line, and on the next what to do, which at a
// terminal is running a command again rather than pressing a button.
class TerminalWording {
public:
    template <typename Failure> static CommandReport::Failure lines(const Failure& failure) {
        // In the order of FailureWords::NextStep.
        static const char* const next[] = {
            "Plug the converter in again in loader mode and run the update again.",
            "Unplug the converter, plug it in again in loader mode and run the update again.",
            "Choose another version; the releases command lists them.",
            "Choose the other mode with --mode.",
            "Check the connection to the server and run the command again.",
            "Check the file and run the update again.",
        };
        const FailureWords::Words words = FailureWords::of(failure);
        return {words.what, QString::fromUtf8(next[static_cast<int>(words.next)])};
    }
};
