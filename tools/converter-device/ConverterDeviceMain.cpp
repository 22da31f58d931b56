#include "ConverterDeviceOptions.h"
#include "ConverterDeviceServer.h"

#include <QCoreApplication>
#include <cstdio>

// converter-device: a Velmar converter in loader mode, played through the kernel's uhid or USB
// gadget interface, for the tests and benchmarks that run the hidraw backend against a real
// kernel (see tests/kernel/guest/).
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString error;
    const std::optional<ConverterDeviceOptions> options =
        ConverterDeviceOptions::parse(app.arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 2;
    }
    return ConverterDeviceServer(*options).run();
}
