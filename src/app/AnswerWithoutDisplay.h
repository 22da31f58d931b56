#pragma once

#include <QCommandLineParser>

// Answers --help and --version before the window system is touched: a QApplication aborts
// without a display, and both are often asked for on a terminal that has none (over ssh, in a
// build log). Every other option, the toolkit's own among them, is left for the real parse once
// the application exists.
class AnswerWithoutDisplay {
public:
    // Adds both options to `parser`; prints and exits when the command line asks for either.
    static void answer(QCommandLineParser& parser, int& argc, char** argv);
};
