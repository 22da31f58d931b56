// A soak of whole updates in the program's window against virtual converters that misbehave at
// random points. Every run: a release is written, a converter plugged in and identified, the
// fault armed, START pressed; then the outcome must be the one the fault calls for, success only
// when the converter holds exactly the image and confirmed the expected checksum, the window must
// end in UPGRADE_FW_FINISH or UPGRADE_FW_FAILED, the end-of-upgrade command must follow every
// transfer to a converter still attached and never reach one pulled out, and no search tick may
// run inside the transfer. Under the asan preset this also shows the runs free of memory errors
// and leaks. UPDATER_SOAK_RUNS and UPDATER_SOAK_SEED override the run count and the seed; the
// counts per fault are printed at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "SoakFaultPlan.h"
#include "app/WindowHarness.h"

using namespace std::chrono_literals;

namespace {

// Short enough that 1000 runs finish in minutes, long enough that a reply delivered on the next
// turn of the event loop is never late, even on a loaded machine under the sanitizers.
constexpr std::chrono::milliseconds soakDeadline{200};
// The release every run rewrites before its converter is plugged in.
const QString soakVersion = QStringLiteral("V9.9.9.9");

unsigned environmentNumber(const char* name, unsigned fallback) {
    bool ok = false;
    const unsigned number = qgetenv(name).toUInt(&ok);
    return ok ? number : fallback;
}

int linesStartingWith(const QStringList& lines, const QString& start) {
    int count = 0;
    for (const QString& line : lines) {
        count += line.startsWith(start) ? 1 : 0;
    }
    return count;
}

struct FaultTally {
    int runs = 0;
    int finished = 0;
    int failed = 0;
};

void printTally(const std::array<FaultTally, soakFaultCount>& tally, unsigned seed) {
    std::printf("update soak, seed %u:\n%-22s %6s %18s %18s\n", seed, "fault", "runs",
                "UPGRADE_FW_FINISH", "UPGRADE_FW_FAILED");
    FaultTally total;
    for (int i = 0; i < soakFaultCount; ++i) {
        const FaultTally& t = tally[static_cast<size_t>(i)];
        if (t.runs == 0) {
            continue; // a fault this soak does not draw
        }
        std::printf("%-22s %6d %18d %18d\n", qPrintable(soakFaultName(static_cast<SoakFault>(i))),
                    t.runs, t.finished, t.failed);
        total.runs += t.runs;
        total.finished += t.finished;
        total.failed += t.failed;
    }
    std::printf("%-22s %6d %18d %18d\n", "all", total.runs, total.finished, total.failed);
}

} // namespace

TEST(UpdateSoak, WholeUpdatesEndRightUnderRandomConverterFaults) {
    const unsigned runs = environmentNumber("UPDATER_SOAK_RUNS", 1000);
    const unsigned seed = environmentNumber("UPDATER_SOAK_SEED", 20261206);
    // The search's synchronisation and firmware-information requests come before the fault.
    constexpr int identificationWrites = 2;
    SoakFaultPlan plan(seed, identificationWrites, soakDeadline);

    TestResources resources;
    resources.writeConfig(TestConfig{});
    const QString release = "data/QK100201/standard/" + soakVersion + "/";
    resources.addFile(release + "tmp.hex", hexText(QByteArray(1, '\0')));
    WindowHarness::Options options;
    options.exchangeDeadline = soakDeadline;
    WindowHarness window(resources, options);
    window.start();
    ViewController& controller = window.controller();
    Ui::MainWindow& outlets = window.outlets();

    std::vector<UIStatus> statuses;
    int ticksDuringTransfer = 0;
    const Cancellable statusSubscription =
        controller.mainVM.CurrentUIStatus.subscribe([&](const UIStatus& status) {
            statuses.push_back(status);
            if (status == UIStatus::UPGRADE_FW) {
                ticksDuringTransfer = -window.searchTicks();
            } else if (status == UIStatus::UPGRADE_FW_FINISH ||
                       status == UIStatus::UPGRADE_FW_FAILED) {
                ticksDuringTransfer += window.searchTicks();
            }
        });
    std::array<FaultTally, soakFaultCount> tally{};

    for (unsigned index = 0; index < runs && !::testing::Test::HasFailure(); ++index) {
        const SoakRun run = plan.next();
        SCOPED_TRACE(run.description(index, seed).toStdString());
        resources.addFile(release + "tmp.hex", hexText(run.image));
        resources.addFile(release + "tmp.txt",
                          "// soak release\r\n" + soakVersion.toLatin1() + "," +
                              checksumField(VirtualConverter::checksum16(run.image)) +
                              ",tmp.hex\r\n");

        // Plugged in and identified; the tick is run at once rather than waited for.
        const HidDeviceRef device = window.plugIn();
        const std::shared_ptr<VirtualConverter> converter = window.hidService.converter(device);
        controller.onSearchTimerTick();
        ASSERT_EQ(window.status(), UIStatus::DEVICE_PLUG);
        const int item = outlets.PopUpFwVerItems->findText(soakVersion);
        ASSERT_GE(item, 0);
        outlets.PopUpFwVerItems->setCurrentIndex(item);

        converter->clearHistory();
        converter->setFaults(run.converterFaults);
        window.hidService.setDeviceFaults(device, run.deviceFaults);
        window.alerts.alerts.clear();
        window.diagnostics.clear();
        statuses.clear();

        ASSERT_EQ(outlets.CommonButton->title(), "START");
        outlets.CommonButton->click();
        ASSERT_TRUE(window.runUntil(
            [&] {
                return window.status() == UIStatus::UPGRADE_FW_FINISH ||
                       window.status() == UIStatus::UPGRADE_FW_FAILED;
            },
            30s));
        // Whatever the fault left in flight (a removal, a late reply) arrives before the checks.
        window.runFor(1ms);

        const bool finished = window.status() == UIStatus::UPGRADE_FW_FINISH;
        EXPECT_EQ(statuses, (std::vector<UIStatus>{UIStatus::UPGRADE_FW, window.status()}));
        EXPECT_EQ(finished, run.expectSuccess);
        // Success only when the converter holds exactly this image and confirmed its sum.
        if (finished) {
            EXPECT_TRUE(converter->imageComplete());
            EXPECT_EQ(converter->receivedImage(), run.image);
            EXPECT_FALSE(run.converterFaults.wrongFinalChecksum);
        }
        QStringList alerts;
        for (const Alert& alert : window.alerts.alerts) {
            alerts << alert.informativeText;
        }
        EXPECT_TRUE(run.alertsAsExpected(alerts)) << alerts.join(u'|').toStdString();
        // The end-of-upgrade command follows the transfer, unless the converter has been pulled
        // out; a device that can still hear it gets it last, with the counter the transfer left.
        const std::vector<uint8_t> commands = converter->commandSequence();
        if (!window.hidService.isAttached(device)) {
            EXPECT_EQ(
                std::count(commands.begin(), commands.end(), VirtualConverter::endUpgradeFWCode),
                0);
        } else {
            EXPECT_EQ(linesStartingWith(window.diagnostics.lines(),
                                        QStringLiteral("[Commands][52][endUpgradeFW(_:_:_:)]")),
                      1);
        }
        if (window.hidService.isAttached(device) && !run.deviceFaults.writeError &&
            !run.deviceFaults.openError) {
            ASSERT_FALSE(commands.empty());
            EXPECT_EQ(commands.back(), VirtualConverter::endUpgradeFWCode);
            EXPECT_EQ(converter->endUpgradePackNo(), controller.identity.packNo);
        }
        EXPECT_EQ(ticksDuringTransfer, 0);

        FaultTally& t = tally[static_cast<size_t>(run.fault)];
        ++t.runs;
        ++(finished ? t.finished : t.failed);

        // "Confirm" returns to the search; the converter goes for the next run's.
        outlets.CommonButton->click();
        ASSERT_EQ(window.status(), UIStatus::NORMAL);
        window.hidService.unplug(device);
        window.runFor(1ms);
    }
    printTally(tally, seed);
}
