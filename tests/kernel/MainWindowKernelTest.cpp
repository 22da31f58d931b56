// The whole program, window and all, on the hidraw backend against converters the kernel
// presents as USB devices (gadgets on dummy_hcd), with the resources the program ships. Skips
// where there is no USB device controller, so it does its work only in the test guest.
#include "ConverterDeviceProcess.h"

#include "app/MainApplication.h"
#include "app/RemovalToFailureWatch.h"
#include "device/HidrawHidService.h"
#include "firmware/HexImageDecoder.h"
#include "ui/AlertPresenter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

using Transport = ConverterDeviceProcess::Transport;

// Alerts are recorded, never shown: a modal box would stop the test.
class RecordedAlerts : public AlertPresenter {
public:
    void runModal(const Alert& alert) override { alerts.push_back(alert); }
    std::vector<Alert> alerts;
};

class MainWindowKernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ConverterDeviceProcess::available(Transport::Gadget))
            GTEST_SKIP() << "no USB device controller here; scripts/test-kernel runs this in the "
                            "test guest";
    }

    ConverterDeviceProcess* attach(QStringList arguments, Transport transport = Transport::Gadget) {
        converters_.push_back(
            std::make_unique<ConverterDeviceProcess>(transport, std::move(arguments)));
        if (converters_.back()->plugIn())
            return converters_.back().get();
        ADD_FAILURE() << "converter-device did not come up: "
                      << converters_.back()->error().toStdString();
        return nullptr;
    }

    void startProgram() {
        MainApplication::Options options;
        options.resourceDirectory = qEnvironmentVariable("UPDATER_RESOURCE_DIR");
        options.executablePath =
            QCoreApplication::applicationDirPath() + QStringLiteral("/velmar-converter-update");
        options.alerts = &alerts_;
        options.terminate = [] {};
        program_ = std::make_unique<MainApplication>(hidService_, options);
        program_->start();
    }

    UIStatus status() { return program_->viewController().mainVM.CurrentUIStatus.value(); }

    // Generous: each search tick costs a synchronisation and an identification under emulation.
    bool waitForStatus(UIStatus wanted) {
        return QTest::qWaitFor([&] { return status() == wanted; }, 30000);
    }

    HidrawHidService hidService_;
    RecordedAlerts alerts_;
    std::vector<std::unique_ptr<ConverterDeviceProcess>> converters_;
    std::unique_ptr<MainApplication> program_;
};

TEST_F(MainWindowKernelTest, IdentifiesOneOfTwoConvertersAndSearchesAgainOnceTheyAreUnplugged) {
    ConverterDeviceProcess* first = attach({"--serial", "window-a", "--version", "1.0.0.5"});
    ConverterDeviceProcess* second = attach({"--serial", "window-b", "--version", "1.0.0.5"});
    ASSERT_TRUE(first && second);

    startProgram();
    ASSERT_TRUE(waitForStatus(UIStatus::DEVICE_PLUG));
    EXPECT_EQ(program_->viewController().outlets.CurrentVersion->text(),
              QStringLiteral("Current version: V1.0.0.5"));
    EXPECT_TRUE(alerts_.alerts.empty());

    const std::optional<DeviceSideSummary> a = first->unplug();
    const std::optional<DeviceSideSummary> b = second->unplug();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(std::min(a->outputReports, b->outputReports), 0);
    EXPECT_EQ(std::max(a->outputReports, b->outputReports), 2)
        << "one synchronisation and one identification, then no more polling";
    EXPECT_TRUE(waitForStatus(UIStatus::NORMAL));
}

static QByteArray readWhole(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a user does: plug the converter in, pick the newer release, press START, wait for the
// result and press Confirm. The program ships the releases; the device side keeps what arrived.
TEST_F(MainWindowKernelTest, UpdatesAGadgetConverterFromStartToFinishAndFindsItAgainOnConfirm) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString received = folder.filePath(QStringLiteral("received.bin"));
    ConverterDeviceProcess* converter =
        attach({"--version", "1.0.0.5", "--received-image", received});
    ASSERT_TRUE(converter);

    startProgram();
    ASSERT_TRUE(waitForStatus(UIStatus::DEVICE_PLUG));
    Ui::MainWindow& outlets = program_->viewController().outlets;
    const int index = outlets.PopUpFwVerItems->findText(QStringLiteral("V1.1.0.2"));
    ASSERT_GE(index, 0);
    outlets.PopUpFwVerItems->setCurrentIndex(index);
    ASSERT_EQ(outlets.CommonButton->title(), QStringLiteral("START"));
    outlets.CommonButton->click();

    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return status() == UIStatus::UPGRADE_FW_FINISH ||
                   status() == UIStatus::UPGRADE_FW_FAILED;
        },
        120000));
    EXPECT_EQ(status(), UIStatus::UPGRADE_FW_FINISH);
    EXPECT_TRUE(alerts_.alerts.empty());

    ASSERT_EQ(outlets.CommonButton->title(), QStringLiteral("Confirm"));
    outlets.CommonButton->click();
    EXPECT_TRUE(waitForStatus(UIStatus::DEVICE_PLUG));

    const std::optional<DeviceSideSummary> deviceSide = converter->unplug();
    ASSERT_TRUE(deviceSide.has_value());
    EXPECT_TRUE(deviceSide->imageComplete);
    EXPECT_EQ(deviceSide->unansweredDataPackets, 0);
    EXPECT_TRUE(deviceSide->endUpgradeReceived);
    const QByteArray release =
        readWhole(qEnvironmentVariable("UPDATER_RESOURCE_DIR") +
                  QStringLiteral("/data/QK100201/standard/V1.1.0.2/tmp.hex"));
    EXPECT_TRUE(readWhole(received) ==
                HexImageDecoder::decodeHexImage(QString::fromLatin1(release)));
}

// Pulled out in the middle of an update, at a random packet: the failed screen shows no later
// than the turn of the event loop that brings the removal, and the end-of-upgrade command is not
// sent to the converter that is gone. Prints the delay from the removal to the failed screen.
class MainWindowUnplugKernelTest : public MainWindowKernelTest,
                                   public ::testing::WithParamInterface<Transport> {
protected:
    void SetUp() override {
        if (!ConverterDeviceProcess::available(GetParam()))
            GTEST_SKIP() << "no " << ConverterDeviceProcess::transportName(GetParam()).toStdString()
                         << " here; scripts/test-kernel runs this in the test guest";
    }
};

TEST_P(MainWindowUnplugKernelTest, UnpluggedMidUpdateTheFailureShowsAtOnce) {
    const QString release = QStringLiteral("V1.1.0.2");
    const qsizetype length =
        HexImageDecoder::decodeHexImage(
            QString::fromLatin1(readWhole(qEnvironmentVariable("UPDATER_RESOURCE_DIR") +
                                          "/data/QK100201/standard/" + release + "/tmp.hex")))
            .size();
    ASSERT_GT(length, 104);
    const int packets = 1 + static_cast<int>((length - 48 + 55) / 56);
    const int answered = QRandomGenerator::global()->bounded(1, packets);
    SCOPED_TRACE(testing::Message()
                 << "unplugged after " << answered << " of " << packets << " data packets");
    ConverterDeviceProcess* converter =
        attach({"--unplug-after-data-packets", QString::number(answered)}, GetParam());
    ASSERT_TRUE(converter);
    startProgram();
    ASSERT_TRUE(waitForStatus(UIStatus::DEVICE_PLUG));
    Ui::MainWindow& outlets = program_->viewController().outlets;
    outlets.PopUpFwVerItems->setCurrentIndex(outlets.PopUpFwVerItems->findText(release));

    const RemovalToFailureWatch watch(program_->viewController());
    outlets.CommonButton->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return status() != UIStatus::DEVICE_PLUG && status() != UIStatus::UPGRADE_FW; },
        120000));
    EXPECT_EQ(status(), UIStatus::UPGRADE_FW_FAILED);
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.removalHeard(); }, 30000));
    // Over uhid the next write fails at once, before the removal is heard; over the gadget the
    // write goes out and the removal ends the wait for its reply.
    const std::optional<int> turns = watch.turnsFromRemovalToFailure();
    const double delay = watch.millisecondsFromRemovalToFailure().value_or(NAN);
    EXPECT_EQ(turns.value_or(0), 0) << "turns of the event loop from the removal to the failure";
    std::printf("%s, unplugged after %d of %d packets: removal to UPGRADE_FW_FAILED %+.3f ms "
                "(%s)\n",
                qPrintable(ConverterDeviceProcess::transportName(GetParam())), answered, packets,
                delay, turns ? "same turn of the event loop" : "the failed write came first");

    const std::optional<DeviceSideSummary> deviceSide = converter->finishUnplug();
    ASSERT_TRUE(deviceSide.has_value());
    EXPECT_EQ(deviceSide->dataPackets, answered);
    EXPECT_FALSE(deviceSide->endUpgradeReceived);
}

INSTANTIATE_TEST_SUITE_P(Kernel, MainWindowUnplugKernelTest,
                         ::testing::Values(Transport::Uhid, Transport::Gadget),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                             return ConverterDeviceProcess::transportName(info.param).toStdString();
                         });
