#pragma once

#include <QString>

// The core words its reasons for the window, whose next step is pressing Confirm. At a terminal
// the next step is running the command again; this puts the window's advice into those words.
class TerminalAdvice {
public:
    static QString adapt(QString reason);
};
