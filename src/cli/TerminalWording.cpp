#include "cli/TerminalWording.h"

CommandReport::Failure TerminalWording::lines(const FailureWords::Words& words) {
    // In the order of FailureWords::NextStep.
    static const char* const next[] = {
        "Plug the converter in again in loader mode and run the update again.",
        "Unplug the converter, plug it in again in loader mode and run the update again.",
        "Choose another version; the releases command lists them.",
        "Choose the other mode with --mode.",
        "Check the connection to the server and run the command again.",
        "Check the file and run the update again.",
    };
    return {words.what, QString::fromUtf8(next[static_cast<int>(words.next)])};
}
