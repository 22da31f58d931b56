// A soak of whole updates against virtual converters that misbehave at random points: for every
// run the outcome must be the one its fault calls for, success only when the converter holds
// exactly the image and confirmed the expected checksum, and the end-of-upgrade command must
// follow every transfer that started. Under the asan preset this also proves the runs free of
// memory errors and leaks. UPDATER_SOAK_RUNS and UPDATER_SOAK_SEED override the run count and
// the seed; the counts per fault are printed at the end.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QStringList>
#include <array>
#include <cstdio>
#include <memory>

#include "SoakFaultPlan.h"
#include "device/USBHidManager.h"
#include "protocol/Commands.h"
#include "protocol/FirmwareTransfer.h"
#include "sim/SimulatedHidService.h"
#include "support/DiagnosticLog.h"

namespace {

// Short enough that 1000 runs finish in minutes, long enough that a reply delivered on the next
// turn of the event loop is never late, even on a loaded machine under the sanitizers.
constexpr ReportExchangeTiming soakTiming{std::chrono::milliseconds(200),
                                          std::chrono::milliseconds(10)};

unsigned environmentNumber(const char* name, unsigned fallback) {
    const QByteArray value = qgetenv(name);
    bool ok = false;
    const unsigned number = value.toUInt(&ok);
    return ok ? number : fallback;
}

// What one update showed and sent.
struct Observation {
    bool success = false;
    QStringList alerts; // informative texts, in order
    int endUpgradeCommands = 0;
    bool transferStarted = false;
    int64_t packNoAfterTransfer = 0;
};

// Counts the diagnostic lines that tell what the update did, without keeping them all.
class DiagnosticCounter {
public:
    DiagnosticCounter()
        : previous_(DiagnosticLog::setSink([this](const QString& line) {
              if (line.startsWith(QStringLiteral("[Commands][52][endUpgradeFW(_:_:_:)]"))) {
                  ++endUpgradeCommands;
              }
          })) {}
    ~DiagnosticCounter() { DiagnosticLog::setSink(std::move(previous_)); }
    int endUpgradeCommands = 0;

private:
    DiagnosticLog::Sink previous_;
};

// Tallies per fault for the closing table.
struct FaultTally {
    int runs = 0;
    int succeeded = 0;
    int failed = 0;
};

void printTally(const std::array<FaultTally, soakFaultCount>& tally, unsigned seed) {
    std::printf("update soak, seed %u:\n%-24s %6s %9s %7s\n", seed, "fault", "runs", "succeeded",
                "failed");
    FaultTally total;
    for (int i = 0; i < soakFaultCount; ++i) {
        const FaultTally& t = tally[static_cast<size_t>(i)];
        std::printf("%-24s %6d %9d %7d\n", qPrintable(soakFaultName(static_cast<SoakFault>(i))),
                    t.runs, t.succeeded, t.failed);
        total.runs += t.runs;
        total.succeeded += t.succeeded;
        total.failed += t.failed;
    }
    std::printf("%-24s %6d %9d %7d\n", "all", total.runs, total.succeeded, total.failed);
}

// The checks every run must pass, whatever drove it.
void checkRun(int index, const SoakRun& run, const Observation& seen,
              const VirtualConverter& converter, bool attachedAfterwards) {
    SCOPED_TRACE(QStringLiteral("run %1: %2 at packet %3 of %4, image %5 bytes")
                     .arg(index)
                     .arg(soakFaultName(run.fault))
                     .arg(run.packet)
                     .arg(run.dataPackets())
                     .arg(run.image.size())
                     .toStdString());

    // Success is shown only when the converter holds exactly the image and reported the sum
    // the release expects.
    if (seen.success) {
        EXPECT_TRUE(converter.imageComplete());
        EXPECT_EQ(converter.receivedImage(), run.image);
        EXPECT_FALSE(run.converterFaults.wrongFinalChecksum);
    }
    EXPECT_EQ(seen.success, run.expectSuccess);

    if (run.expectedAlert) {
        ASSERT_EQ(seen.alerts.size(), 1);
        EXPECT_TRUE(seen.alerts.front().startsWith(*run.expectedAlert))
            << seen.alerts.front().toStdString();
    } else {
        EXPECT_TRUE(seen.alerts.isEmpty()) << seen.alerts.join(u'|').toStdString();
    }

    // The end-of-upgrade command follows every transfer, and when the device can still hear
    // it, it arrives last, with the counter the transfer left.
    if (seen.transferStarted) {
        EXPECT_EQ(seen.endUpgradeCommands, 1);
        const bool writable = !run.deviceFaults.writeError && !run.deviceFaults.openError;
        if (attachedAfterwards && writable) {
            const auto commands = converter.commandSequence();
            ASSERT_FALSE(commands.empty());
            EXPECT_EQ(commands.back(), VirtualConverter::endUpgradeFWCode);
            EXPECT_EQ(converter.endUpgradePackNo(), seen.packNoAfterTransfer & 0xFFFF);
        }
    }
}

} // namespace

// The update's tail as the update run performs it once it has the image: the transfer, then the
// end-of-upgrade command whatever the transfer answered, against a converter that the device
// search has just identified.
TEST(UpdateSoak, TransferAndEndOfUpgradeSurviveRandomFaults) {
    const unsigned runs = environmentNumber("UPDATER_SOAK_RUNS", 1000);
    const unsigned seed = environmentNumber("UPDATER_SOAK_SEED", 20261206);
    // The search's synchronisation and firmware-information requests.
    constexpr int identificationWrites = 2;
    SoakFaultPlan plan(seed, identificationWrites, soakTiming.deadline);

    SimulatedHidService service;
    ASSERT_EQ(service.open(), 0);
    USBHidManager manager(service, {SimulatedHidService::loaderIdentity}, {}, soakTiming);
    std::array<FaultTally, soakFaultCount> tally{};

    for (unsigned index = 0; index < runs; ++index) {
        const SoakRun run = plan.next();
        auto converter = std::make_shared<VirtualConverter>();
        const HidDeviceRef device = service.plugIn(converter);

        // Identified as the search does it, before the fault is armed.
        int64_t packNo = 0;
        ASSERT_TRUE(Commands::syncPackNo(manager, device, packNo)) << "run " << index;
        ASSERT_TRUE(Commands::getFWInfo(manager, device, packNo)) << "run " << index;
        converter->setFaults(run.converterFaults);
        service.setDeviceFaults(device, run.deviceFaults);

        Observation seen;
        FirmwareTransfer transfer(
            {{}, [&](const QString&, const QString& informative, const QString&) {
                 seen.alerts.append(informative);
             }});
        const std::optional<int64_t> checkSum = VirtualConverter::checksum16(run.image);
        {
            DiagnosticCounter counter;
            seen.transferStarted = true;
            seen.success = transfer.upgradeFW(&manager, device, packNo, checkSum, run.image);
            seen.packNoAfterTransfer = packNo;
            Commands::endUpgradeFW(manager, device, packNo);
            seen.endUpgradeCommands = counter.endUpgradeCommands;
        }
        // Whatever the fault left in flight (a removal, a late reply) is delivered or dropped
        // before the device goes.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const bool attached = service.isAttached(device);
        checkRun(static_cast<int>(index), run, seen, *converter, attached);
        service.unplug(device);
        QCoreApplication::processEvents(QEventLoop::AllEvents);

        FaultTally& t = tally[static_cast<size_t>(run.fault)];
        ++t.runs;
        ++(seen.success ? t.succeeded : t.failed);
        if (::testing::Test::HasFatalFailure()) {
            break;
        }
    }
    printTally(tally, seed);
}
