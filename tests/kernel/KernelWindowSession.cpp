#include "KernelWindowSession.h"

#include "ConverterDeviceProcess.h"
#include "SoakFaultPlan.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QTest>

KernelWindowSession::KernelWindowSession(HidrawHidService& service,
                                         std::chrono::milliseconds exchangeDeadline) {
    resources.writeConfig(TestConfig{});
    writeSoakRelease(resources, QByteArray(1, '\0')); // on offer when a converter comes
    MainApplication::Options options;
    options.resourceDirectory = resources.path();
    options.executablePath =
        QCoreApplication::applicationDirPath() + QStringLiteral("/velmar-converter-update");
    options.alerts = &alerts;
    options.terminate = [] {};
    options.exchangeTiming.deadline = exchangeDeadline;
    program_ = std::make_unique<MainApplication>(service, options);
    statusSubscription_ =
        controller().mainVM.CurrentUIStatus.subscribe([this](const UIStatus& status) {
            statuses.push_back(status);
            shownAtUs[status] = monotonicMicroseconds();
        });
    program_->start();
}

KernelWindowSession::~KernelWindowSession() = default;

bool KernelWindowSession::waitForStatus(UIStatus wanted, std::chrono::milliseconds limit) {
    return QTest::qWaitFor([&] { return status() == wanted; }, static_cast<int>(limit.count()));
}

bool KernelWindowSession::identify() {
    if (status() == UIStatus::NORMAL)
        controller().onSearchTimerTick();
    // Generous: under emulation a gadget may still be on its way through udev.
    return waitForStatus(UIStatus::DEVICE_PLUG, std::chrono::seconds{30});
}

bool KernelWindowSession::start() {
    Ui::MainWindow& outlets = controller().outlets;
    const int item = outlets.PopUpFwVerItems->findText(soakVersion);
    if (item < 0 || outlets.CommonButton->title() != QStringLiteral("START"))
        return false;
    outlets.PopUpFwVerItems->setCurrentIndex(item);
    statuses.clear();
    alerts.alerts.clear();
    outlets.CommonButton->click();
    return true;
}

std::optional<UIStatus> KernelWindowSession::waitForResult(std::chrono::milliseconds limit) {
    // Ended once the news that came during the update (a removal) has had its turn too.
    const bool ended =
        QTest::qWaitFor([&] { return statuses.size() > 1 && controller().entryQueue.isIdle(); },
                        static_cast<int>(limit.count()));
    return ended ? std::optional<UIStatus>(status()) : std::nullopt;
}
