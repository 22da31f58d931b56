#pragma once

// SIGINT, SIGTERM and SIGHUP end the program at once (128 + the signal's number) until the transfer
// starts; ending half-way would leave the converter without firmware, so from then on they only
// say once that the update goes on.
class TerminationSignals {
public:
    static void endAtOnce();
    // For the rest of the program's run.
    static void deferDuringTransfer();
};
