#include "app/WindowFailureWording.h"

QString WindowFailureWording::line(const FailureWords::Words& words) {
    // In the order of FailureWords::NextStep.
    static const char* const next[] = {
        "Plug the converter in again in loader mode, press Confirm and start again.",
        "Unplug the converter, plug it in again in loader mode, press Confirm and start again.",
        "Press Confirm and choose another version.",
        "Press Confirm and choose the other mode.",
        "Check the connection to the server, press Confirm and try again.",
        "Press Confirm and choose another version.", // the window sends no files of the user's
    };
    return words.what + u' ' + QString::fromUtf8(next[static_cast<int>(words.next)]);
}
