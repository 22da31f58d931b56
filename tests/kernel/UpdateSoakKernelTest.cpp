// The fault soak of tests/soak through the window on the hidraw backend against converter-device,
// through the USB gadget and uhid; it also times each unplug to the failed screen.
#include "KernelWindowSession.h"
#include "TransportTest.h"

#include "app/RemovalToFailureWatch.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

using namespace std::chrono_literals;
using Transport = ConverterDeviceProcess::Transport;

namespace {

// Long enough for a stall of the emulated machine, short enough for a hundred runs in CI.
constexpr std::chrono::milliseconds soakDeadline{1500};

const std::vector<SoakFault> kernelFaults{SoakFault::None,
                                          SoakFault::NoReply,
                                          SoakFault::WrongPackNo,
                                          SoakFault::WrongPacketChecksum,
                                          SoakFault::WrongFinalChecksum,
                                          SoakFault::Unplug,
                                          SoakFault::SlowReply};

// The run's fault as converter-device options.
QStringList faultArguments(const SoakRun& run) {
    QStringList arguments;
    const auto add = [&](const char* option, const std::optional<int64_t>& value) {
        if (value)
            arguments << QString::fromLatin1(option) << QString::number(*value);
    };
    add("--no-reply-from", run.converterFaults.noReplyFromPackNo);
    add("--wrong-packno-at", run.converterFaults.wrongPackNoAtPackNo);
    add("--wrong-checksum-at", run.converterFaults.wrongChecksumAtPackNo);
    if (run.converterFaults.wrongFinalChecksum)
        arguments << QStringLiteral("--wrong-final-checksum");
    if (run.deviceFaults.replyDelay.count() > 0)
        add("--reply-delay-ms", run.deviceFaults.replyDelay.count());
    add("--reply-delay-at", run.replyDelayAtPackNo);
    add("--unplug-after-data-packets", run.deviceFaults.unplugAfterDataPackets);
    add("--unplug-awaiting-data-packet", run.deviceFaults.unplugAwaitingDataPacket);
    return arguments;
}

} // namespace

class UpdateSoakKernelTest : public TransportTest {};

TEST_P(UpdateSoakKernelTest, WholeUpdatesEndRightUnderRandomConverterFaults) {
    const Transport transport = GetParam();
    const unsigned runs =
        soakSetting("UPDATER_KERNEL_SOAK_RUNS", transport == Transport::Gadget ? 100 : 20);
    const unsigned seed = soakSetting("UPDATER_KERNEL_SOAK_SEED", 20261207) +
                          (transport == Transport::Gadget ? 0 : 1);
    SoakFaultPlan plan(seed, soakDeadline, kernelFaults);
    HidrawHidService service;
    KernelWindowSession window(service, soakDeadline);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString received = folder.filePath(QStringLiteral("received.bin"));
    std::unique_ptr<ConverterDeviceProcess> converter;
    SoakTally tally;
    QElapsedTimer elapsed;
    elapsed.start();

    for (unsigned index = 0; index < runs && !::testing::Test::HasFailure(); ++index) {
        const SoakRun run = plan.next();
        SCOPED_TRACE(run.description(index, seed).toStdString());
        writeSoakRelease(window, run.image);
        if (!converter) {
            converter = std::make_unique<ConverterDeviceProcess>(
                transport, QStringList{QStringLiteral("--received-image"), received});
            ASSERT_TRUE(converter->plugIn()) << converter->error().toStdString();
        }
        ASSERT_TRUE(window.identify());
        ASSERT_TRUE(converter->arm(faultArguments(run))) << converter->error().toStdString();
        const RemovalToFailureWatch watch(window.controller());
        ASSERT_TRUE(window.pressStart(soakVersion));
        const std::optional<UIStatus> result = window.waitForResult(120s);
        ASSERT_TRUE(result.has_value());

        const bool unplugged = run.fault == SoakFault::Unplug;
        const std::optional<DeviceSideSummary> seen =
            unplugged ? converter->finishUnplug() : converter->report();
        ASSERT_TRUE(seen.has_value())
            << converter->error().toStdString() << "; the window showed " << int(*result) << ": "
            << window.controller().mainVM.FailureReason.value().toStdString();
        // Gone right after its last answer, the device may take that answer with it.
        const bool finished = run.expectOutcome(
            window.statuses, seen->imageComplete && readWholeFile(received) == run.image,
            window.alerts.alerts,
            unplugged && run.packet == plan.dataPacketsFor(run.image.size()) - 1);
        EXPECT_TRUE(unplugged || seen->endUpgradeReceived) << "the end of the upgrade";
        if (unplugged && !finished) {
            // A write may fail before the removal is heard; else the removal ends the wait.
            EXPECT_EQ(watch.turnsFromRemovalToFailure().value_or(0), 0) << "turns to the failure";
            const int64_t failedAtUs = window.shownAtUs[UIStatus::UPGRADE_FW_FAILED];
            if (seen->unplugStartedAtUs)
                tally.note(run.fault, (failedAtUs - *seen->unplugStartedAtUs) / 1000.0);
        }
        tally.count(run.fault, finished);

        window.controller().outlets.CommonButton->click(); // "Confirm"
        ASSERT_EQ(window.status(), UIStatus::NORMAL);
        if (unplugged)
            converter.reset(); // a fresh one for the next run
        else
            ASSERT_TRUE(converter->arm({})) << converter->error().toStdString();
    }
    tally.print(QStringLiteral("kernel update soak over %1, seed %2, %3 s; after a fault's runs, "
                               "each unplug to the failed screen (ms):")
                    .arg(ConverterDeviceProcess::transportName(transport))
                    .arg(seed)
                    .arg(elapsed.elapsed() / 1000));
}

INSTANTIATE_TEST_SUITE_P(Kernel, UpdateSoakKernelTest,
                         ::testing::Values(Transport::Gadget, Transport::Uhid),
                         TransportTest::runName);
