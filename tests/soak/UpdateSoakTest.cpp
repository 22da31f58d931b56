// Whole updates in the window against virtual converters that misbehave at random points (also
// under ASan). UPDATER_SOAK_RUNS and UPDATER_SOAK_SEED override the run count and the seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "SoakFaultPlan.h"
#include "app/WindowHarness.h"

using namespace std::chrono_literals;

TEST(UpdateSoak, WholeUpdatesEndRightUnderRandomConverterFaults) {
    const unsigned runs = soakSetting("UPDATER_SOAK_RUNS", 1000);
    const unsigned seed = soakSetting("UPDATER_SOAK_SEED", 20261206);
    // Short enough for 1000 runs in minutes, long enough for a loaded machine under the sanitizers.
    constexpr std::chrono::milliseconds deadline{200};
    // The search's synchronisation and firmware-information requests come before the fault.
    SoakFaultPlan plan(seed, 2, deadline);
    TestResources resources;
    resources.writeConfig(TestConfig{});
    writeSoakRelease(resources, QByteArray(1, '\0'));
    WindowHarness window(resources, {.exchangeDeadline = deadline});
    window.start();
    ViewController& controller = window.controller();
    Ui::MainWindow& outlets = window.outlets();

    std::vector<UIStatus>& statuses = window.statuses;
    SoakTally tally;

    for (unsigned index = 0; index < runs && !::testing::Test::HasFailure(); ++index) {
        const SoakRun run = plan.next();
        SCOPED_TRACE(run.description(index, seed).toStdString());
        writeSoakRelease(resources, run.image);
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
        const int ticksBefore = window.searchTicks();
        outlets.CommonButton->click();
        ASSERT_TRUE(window.runUntil([&] { return statuses.size() > 1; }, 30s));
        // Whatever the fault left in flight (a removal, a late reply) arrives before the checks.
        window.runFor(1ms);
        const bool held = converter->imageComplete() && converter->receivedImage() == run.image;
        tally.count(run.fault, run.expectOutcome(statuses, held, window.alerts.alerts));
        // The end-of-upgrade command goes last, with the transfer's counter, only to a device
        // still attached.
        const std::vector<uint8_t> commands = converter->commandSequence();
        if (!window.hidService.isAttached(device)) {
            EXPECT_EQ(
                std::count(commands.begin(), commands.end(), VirtualConverter::endUpgradeFWCode),
                0);
        } else {
            EXPECT_EQ(window.diagnostics.lines().count(
                          QStringLiteral("[Commands][52][endUpgradeFW(_:_:_:)]")),
                      1);
            if (!run.deviceFaults.writeError && !run.deviceFaults.openError) {
                ASSERT_FALSE(commands.empty());
                EXPECT_EQ(commands.back(), VirtualConverter::endUpgradeFWCode);
                EXPECT_EQ(converter->endUpgradePackNo(), controller.identity.packNo);
            }
        }
        EXPECT_EQ(window.searchTicks(), ticksBefore) << "the search runs only until START";

        // "Confirm" returns to the search; the converter goes for the next run's.
        outlets.CommonButton->click();
        ASSERT_EQ(window.status(), UIStatus::NORMAL);
        window.hidService.unplug(device);
        window.runFor(1ms);
    }
    tally.print(QStringLiteral("update soak, seed %1:").arg(seed));
}
