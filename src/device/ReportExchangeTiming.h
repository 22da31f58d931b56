#pragma once

#include <chrono>

// How long sendAndReceiveReport waits for a reply, and how long one turn of the event loop may
// last inside that wait. The defaults are the program's; tests shorten them.
struct ReportExchangeTiming {
    std::chrono::milliseconds deadline{5000};
    std::chrono::milliseconds slice{100};
};
