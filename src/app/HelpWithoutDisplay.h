#pragma once

#include <QCommandLineParser>

// Answers --help before the window system is touched: a QApplication aborts without a display,
// and help is often asked for on a terminal that has none (over ssh, in a build log). Every
// other option, the toolkit's own among them, is left for the real parse once the application
// exists.
class HelpWithoutDisplay {
public:
    // Prints the help of `parser` (which has its help option added) and ends the program when
    // the command line asks for it; returns otherwise.
    static void answer(QCommandLineParser& parser, int& argc, char** argv);
};
