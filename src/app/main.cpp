#include <QApplication>

#include "app/MainApplication.h"
#include "device/HidrawHidService.h"

// The updater on the converters attached to this computer (hidraw).
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // closing the window is handled explicitly
    HidrawHidService hidService;
    MainApplication program(hidService, MainApplication::Options::forThisExecutable());
    program.start();
    return QApplication::exec();
}
