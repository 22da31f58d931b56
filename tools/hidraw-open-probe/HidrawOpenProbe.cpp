// hidraw-open-probe VID PID: looks for the device through the hidraw backend and tries to open
// it, printing what the backend answered. The kernel tests run it as an unprivileged user to see
// the permission failure a user meets when the node belongs to root.
#include "device/HidrawHidService.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: hidraw-open-probe VID PID\n");
        return 2;
    }
    HidrawHidService service;
    std::printf("manager-open %d\n", service.open());
    service.setDeviceMatching(
        {{arguments[1].toLongLong(nullptr, 0), arguments[2].toLongLong(nullptr, 0)}});
    const std::vector<HidDeviceRef> devices = service.copyDevices();
    std::printf("devices %zu\n", devices.size());
    if (devices.empty())
        return 1;
    std::printf("device-open %d\n", service.openDevice(devices.front()));
    std::printf("reason %s\n", service.lastErrorReason(devices.front()).toLocal8Bit().constData());
    return 0;
}
