#include <QApplication>
#include <QCommandLineParser>

#include "app/AnswerWithoutDisplay.h"
#include "app/MainApplication.h"
#include "device/HidrawHidService.h"

// The updater on the converters attached to this computer (hidraw).
int main(int argc, char** argv) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Updates the firmware of a Velmar game-controller converter plugged in over USB in its "
        "loader mode.");
    AnswerWithoutDisplay::answer(parser, argc, argv);

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // closing the window is handled explicitly
    parser.process(app);
    HidrawHidService hidService;
    MainApplication program(hidService, MainApplication::Options::forThisExecutable());
    program.start();
    return QApplication::exec();
}
