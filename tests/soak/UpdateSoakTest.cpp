// Whole updates in the window against virtual converters that misbehave at random points (also
// under ASan). UPDATER_SOAK_RUNS and UPDATER_SOAK_SEED override the run count and the seed.
#include <algorithm>

#include "SoakFaultPlan.h"

using namespace std::chrono_literals;

TEST(UpdateSoak, WholeUpdatesEndRightUnderRandomConverterFaults) {
    const unsigned runs = soakSetting("UPDATER_SOAK_RUNS", 1000);
    const unsigned seed = soakSetting("UPDATER_SOAK_SEED", 20261206);
    // Short enough for 1000 runs in minutes, long enough for a loaded machine under the sanitizers.
    constexpr std::chrono::milliseconds deadline{200};
    SoakFaultPlan plan(seed, deadline);
    SoakReleaseResources resources;
    WindowHarness window(resources, {.exchangeDeadline = deadline});
    window.start();
    SoakTally tally;

    for (unsigned index = 0; index < runs && !::testing::Test::HasFailure(); ++index) {
        const SoakRun run = plan.next();
        SCOPED_TRACE(run.description(index, seed).toStdString());
        writeSoakRelease(resources, run.image);
        const HidDeviceRef device = window.plugIn();
        const std::shared_ptr<VirtualConverter> converter = window.hidService.converter(device);
        ASSERT_TRUE(window.identify());
        converter->clearHistory();
        converter->setFaults(run.converterFaults);
        window.hidService.setDeviceFaults(device, run.deviceFaults);
        window.diagnostics.clear();
        const int ticksBefore = window.searchTicks();
        ASSERT_TRUE(window.pressStart(soakVersion));
        ASSERT_TRUE(window.waitForResult(30s));
        // Whatever the fault left in flight (a removal, a late reply) arrives before the checks.
        runEventLoopFor(1ms);
        const bool held = converter->imageComplete() && converter->receivedImage() == run.image;
        tally.count(run.fault, run.expectOutcome(window.statuses, held, window.alerts.alerts));
        // The end-of-upgrade command goes last, with the transfer's counter, only to a device
        // still attached.
        const std::vector<uint8_t> commands = converter->commandSequence();
        if (!window.hidService.isAttached(device)) {
            EXPECT_EQ(std::ranges::count(commands, VirtualConverter::endUpgradeFWCode), 0);
        } else {
            EXPECT_EQ(window.diagnostics.lines().count("[Commands][52][endUpgradeFW(_:_:_:)]"), 1);
            if (!run.deviceFaults.writeError && !run.deviceFaults.openError) {
                ASSERT_FALSE(commands.empty());
                EXPECT_EQ(commands.back(), VirtualConverter::endUpgradeFWCode);
                EXPECT_EQ(converter->endUpgradePackNo(), window.controller().identity.packNo);
            }
        }
        EXPECT_EQ(window.searchTicks(), ticksBefore) << "the search runs only until START";

        // "Confirm" returns to the search; the converter goes for the next run's.
        window.outlets().CommonButton->click();
        ASSERT_EQ(window.status(), UIStatus::NORMAL);
        window.hidService.unplug(device);
        runEventLoopFor(1ms);
    }
    tally.print(QStringLiteral("update soak, seed %1:").arg(seed));
}
