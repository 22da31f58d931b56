#include "app/HelpWithoutDisplay.h"

#include <QCoreApplication>

void HelpWithoutDisplay::answer(QCommandLineParser& parser, int& argc, char** argv) {
    const QCoreApplication bare(argc, argv);
    // Unknown options (the toolkit's -platform, -style, ...) are no error here.
    (void)parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(); // exits
    if (parser.isSet(QStringLiteral("help-all")))
        parser.process(QCoreApplication::arguments()); // prints the toolkit's options too, exits
}
