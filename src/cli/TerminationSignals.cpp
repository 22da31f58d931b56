#include "cli/TerminationSignals.h"

#include <csignal>
#include <initializer_list>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t deferring = 0;
volatile std::sig_atomic_t told = 0;

// Only async-signal-safe calls here: _exit and write.
void onTerminationSignal(int number) {
    if (!deferring)
        _exit(128 + number);
    if (told)
        return;
    told = 1;
    static const char text[] =
        "The update is in progress; the program ends when it has finished.\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, text, sizeof text - 1);
}

} // namespace

void TerminationSignals::endAtOnce() {
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        sigaction(number, &action, nullptr);
}

void TerminationSignals::deferDuringTransfer() {
    deferring = 1;
}
