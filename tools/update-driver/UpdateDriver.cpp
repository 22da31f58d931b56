// update-driver: the whole program on the hidraw backend, driven as a user would, as a process of
// its own so that a test can kill it in the middle of an update. Usage:
//   update-driver RESOURCE_DIRECTORY VERSION
// Prints "identified <current version text>" once a converter is on the device screen, then
// waits for a line "start" on standard input, starts the update of VERSION, prints "finished" or
// "failed" when it ends, presses "Confirm" and begins again. Ends with exit status 0 when its
// input ends, 3 when no converter is identified within a minute.
#include "app/MainApplication.h"
#include "device/HidrawHidService.h"
#include "ui/AlertPresenter.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

class PrintedAlerts : public AlertPresenter {
public:
    void runModal(const Alert& alert) override {
        std::printf("alert %s\n", qPrintable(alert.informativeText.simplified()));
        std::fflush(stdout);
    }
};

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (app.arguments().size() != 3) {
        std::fprintf(stderr, "usage: update-driver RESOURCE_DIRECTORY VERSION\n");
        return 2;
    }
    HidrawHidService service;
    PrintedAlerts alerts;
    MainApplication::Options options;
    options.resourceDirectory = app.arguments().at(1);
    options.executablePath = QApplication::applicationDirPath() + "/velmar-converter-update";
    options.alerts = &alerts;
    options.terminate = [] {};
    MainApplication program(service, options);
    program.start();
    ViewController& controller = program.viewController();
    const auto status = [&] { return controller.mainVM.CurrentUIStatus.value(); };

    // One update after another: "Confirm" after each, and the converter is identified again.
    for (;;) {
        if (!QTest::qWaitFor([&] { return status() == UIStatus::DEVICE_PLUG; }, 60000)) {
            say(QStringLiteral("not-identified"));
            return 3;
        }
        say(QStringLiteral("identified ") + controller.outlets.CurrentVersion->text());
        std::string line;
        if (!std::getline(std::cin, line) || line != "start")
            return 0;
        const int item = controller.outlets.PopUpFwVerItems->findText(app.arguments().at(2));
        if (item < 0) {
            say(QStringLiteral("no-such-version"));
            return 2;
        }
        controller.outlets.PopUpFwVerItems->setCurrentIndex(item);
        controller.outlets.CommonButton->click();
        const bool ended = QTest::qWaitFor(
            [&] {
                return status() == UIStatus::UPGRADE_FW_FINISH ||
                       status() == UIStatus::UPGRADE_FW_FAILED;
            },
            600000);
        if (!ended) {
            say(QStringLiteral("no-result"));
            return 1;
        }
        say(status() == UIStatus::UPGRADE_FW_FINISH ? QStringLiteral("finished")
                                                    : QStringLiteral("failed"));
        controller.outlets.CommonButton->click();
    }
}
