// The updater (update-driver) killed at a random data packet through the USB gadget: a fresh one
// must find the converter in loader mode and complete the next update with the exact image.
#include "ConverterDeviceProcess.h"
#include "SoakFaultPlan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using Transport = ConverterDeviceProcess::Transport;

namespace {

// One update-driver: the program as a process of its own, killed when it is destroyed.
class UpdaterProcess : public QProcess {
public:
    explicit UpdaterProcess(const QString& resourceDirectory) {
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
        start(QCoreApplication::applicationDirPath() + QStringLiteral("/update-driver"),
              {resourceDirectory, soakVersion});
    }
    ~UpdaterProcess() override {
        kill();
        waitForFinished();
    }
    // The next line it prints, empty when none came within `limitMs`.
    QByteArray nextLine(int limitMs) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!canReadLine() && elapsed.elapsed() < limitMs && state() != QProcess::NotRunning)
            waitForReadyRead(100);
        return canReadLine() ? readLine().trimmed() : QByteArray();
    }
};

} // namespace

TEST(UpdaterRecoveryKernelTest, AFreshUpdaterFinishesWhatAKilledOneLeftTenTimesOver) {
    if (!ConverterDeviceProcess::available(Transport::Gadget))
        GTEST_SKIP() << "no USB device controller here; scripts/test-kernel runs this in the "
                        "test guest";
    SoakReleaseResources resources;
    std::mt19937 random(20261207);
    QByteArray image(6000, Qt::Uninitialized);
    for (char& byte : image)
        byte = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
    writeSoakRelease(resources, image);
    QTemporaryDir folder;
    const QString received = folder.filePath(QStringLiteral("received.bin"));
    ConverterDeviceProcess converter(Transport::Gadget,
                                     {QStringLiteral("--received-image"), received});
    ASSERT_TRUE(converter.plugIn()) << converter.error().toStdString();
    const int packets = SoakFaultPlan::dataPacketsFor(image.size());

    std::printf("updater killed at a data packet of %d, then a fresh updater:\n%4s %7s %24s %9s\n",
                packets, "run", "killed", "identified again (ms)", "result");
    // Each fresh updater, once it has finished, is the one killed in the next run.
    auto updater = std::make_unique<UpdaterProcess>(resources.path());
    ASSERT_TRUE(updater->nextLine(60000).startsWith("identified "));
    for (int run = 0; run < 10 && !::testing::Test::HasFailure(); ++run) {
        const int packet = std::uniform_int_distribution<int>(1, packets)(random);
        SCOPED_TRACE(testing::Message() << "run " << run << ": killed at data packet " << packet);
        ASSERT_TRUE(
            converter.arm({QStringLiteral("--kill-at-data-packet"), QString::number(packet),
                           QStringLiteral("--kill-pid"), QString::number(updater->processId())}))
            << converter.error().toStdString();
        updater->write("start\n");
        ASSERT_TRUE(updater->waitForFinished(600000));
        EXPECT_EQ(updater->exitStatus(), QProcess::CrashExit);
        std::optional<DeviceSideSummary> seen = converter.report();
        ASSERT_TRUE(seen.has_value());
        EXPECT_EQ(seen->dataPackets, packet);
        EXPECT_FALSE(seen->endUpgradeReceived);
        ASSERT_TRUE(converter.arm({})) << converter.error().toStdString();

        QElapsedTimer sinceStart;
        sinceStart.start();
        updater = std::make_unique<UpdaterProcess>(resources.path());
        const QByteArray identified = updater->nextLine(60000);
        const qint64 identifiedMs = sinceStart.elapsed();
        ASSERT_TRUE(identified.startsWith("identified ")) << identified.toStdString();
        updater->write("start\n");
        const QByteArray result = updater->nextLine(600000);
        EXPECT_EQ(result, "finished");
        seen = converter.report();
        ASSERT_TRUE(seen.has_value());
        EXPECT_TRUE(seen->imageComplete && seen->endUpgradeReceived);
        EXPECT_TRUE(readWholeFile(received) == image) << "the device does not hold the image";
        std::printf("%4d %7d %24lld %9s\n", run, packet, static_cast<long long>(identifiedMs),
                    result.constData());
        std::fflush(stdout);
        ASSERT_TRUE(converter.arm({})) << converter.error().toStdString();
        ASSERT_TRUE(updater->nextLine(60000).startsWith("identified ")); // after "Confirm"
    }
}
