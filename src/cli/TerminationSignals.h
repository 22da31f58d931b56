#pragma once

// How the program answers SIGINT, SIGTERM and SIGHUP (Ctrl-C, a closed terminal, a service
// stopping). Until the transfer starts nothing has been written, so they end the program at once
// with 128 + the signal's number. Once the converter is being written, ending half-way would leave
// it without firmware, so from then on they only say once that the update goes on.
class TerminationSignals {
public:
    static void endAtOnce();
    // For the rest of the program's run.
    static void deferDuringTransfer();
};
