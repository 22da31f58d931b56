#include "cli/TerminalAdvice.h"

QString TerminalAdvice::adapt(QString reason) {
    static const std::pair<const char*, const char*> windowToTerminal[] = {
        {"press Confirm and start again.", "then run the update again."},
        {"Press Confirm and choose another version.",
         "Choose another version; the releases command lists them."},
        {"press Confirm and try again.", "then run the command again."},
    };
    for (const auto& [window, terminal] : windowToTerminal)
        reason.replace(QLatin1String(window), QLatin1String(terminal));
    return reason;
}
