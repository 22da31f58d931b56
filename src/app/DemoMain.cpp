#include <QApplication>
#include <QTimer>
#include <memory>

#include "app/MainApplication.h"
#include "sim/SimulatedHidService.h"
#include "sim/VirtualConverter.h"

// The updater's window on a virtual converter instead of hardware: a converter in loader mode,
// part number and firmware of the shipped sample releases, is plugged in a second after start.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // closing the window is handled explicitly
    SimulatedHidService hidService;
    MainApplication program(hidService, MainApplication::Options::forThisExecutable());
    program.start();

    VirtualConverter::Identity identity;
    identity.partNumber = "QK100201";
    identity.firmwareVersion = 0x01000005; // V1.0.0.5, the older of the sample releases
    QTimer::singleShot(1000, &app, [&hidService, identity] {
        hidService.plugIn(std::make_shared<VirtualConverter>(identity));
    });
    return QApplication::exec();
}
