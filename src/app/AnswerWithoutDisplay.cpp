#include "app/AnswerWithoutDisplay.h"

#include <QCoreApplication>

void AnswerWithoutDisplay::answer(QCommandLineParser& parser, int& argc, char** argv) {
    QCoreApplication::setApplicationVersion(QStringLiteral(UPDATER_VERSION));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCoreApplication bare(argc, argv);
    // Unknown options (the toolkit's -platform, -style, ...) are no error here.
    (void)parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(); // exits
    if (parser.isSet(QStringLiteral("help-all")))
        parser.process(QCoreApplication::arguments()); // prints the toolkit's options too, exits
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion(); // exits
}
