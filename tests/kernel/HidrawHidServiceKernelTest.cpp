// The hidraw backend against the kernel's HID stack, a converter-device served through uhid and
// as a USB gadget on dummy_hcd.
#include "TransportTest.h"

#include "device/HidrawHidService.h"
#include "device/USBHidManager.h"
#include "protocol/Commands.h"
#include "protocol/FirmwareTransfer.h"
#include "sim/VirtualConverter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using Transport = ConverterDeviceProcess::Transport;

static constexpr int64_t loaderVendorId = 4617;
static constexpr int64_t loaderProductId = 2;

class RemovalRecorder : public HIDManagerDelegate {
public:
    void hidDeviceRemoved(const HidDeviceRef& device) override { removed.push_back(device); }
    std::vector<HidDeviceRef> removed;
};

class HidrawKernelTest : public TransportTest {
protected:
    // Attached for the rest of the test; null (and a failure recorded) when it did not come up.
    ConverterDeviceProcess* attach(QStringList arguments) {
        devices_.push_back(
            std::make_unique<ConverterDeviceProcess>(GetParam(), std::move(arguments)));
        if (devices_.back()->plugIn())
            return devices_.back().get();
        ADD_FAILURE() << "converter-device did not come up: "
                      << devices_.back()->error().toStdString();
        return nullptr;
    }

    std::vector<HidDeviceRef> loaderDevices() {
        service_.setDeviceMatching({{loaderVendorId, loaderProductId}});
        return service_.copyDevices();
    }

    HidrawHidService service_;
    std::shared_ptr<RemovalRecorder> delegate_ = std::make_shared<RemovalRecorder>();
    USBHidManager manager_{service_, {{loaderVendorId, loaderProductId}}, delegate_};
    std::vector<std::unique_ptr<ConverterDeviceProcess>> devices_;
};

TEST_P(HidrawKernelTest, FindsAndIdentifiesTheConverterBesideAnUnrelatedHidDevice) {
    ConverterDeviceProcess* unrelated =
        attach({"--vid", "0x046d", "--pid", "0xc077", "--never-reply", "--serial", "unrelated"});
    ConverterDeviceProcess* converter =
        attach({"--serial", "converter", "--part-number", "QK100301", "--version", "2.5.0.17"});
    ASSERT_TRUE(unrelated && converter);

    service_.setDeviceMatching({{0x046d, 0xc077}});
    const std::vector<HidDeviceRef> others = service_.copyDevices();
    const std::vector<HidDeviceRef> found = loaderDevices();
    ASSERT_TRUE(found.size() == 1u && others.size() == 1u);
    EXPECT_NE(found.front(), others.front());

    int64_t packNo = 0;
    ASSERT_TRUE(Commands::syncPackNo(manager_, found.front(), packNo));
    const std::optional<QByteArray> info = Commands::getFWInfo(manager_, found.front(), packNo);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(
        std::tuple(info->size(), Commands::getPartNumber(*info), Commands::getFWVersion(*info)),
        std::tuple(64, "QK100301", "V2.5.0.17"));
    manager_.closeUsbDevice(found.front());

    const std::optional<DeviceSideSummary> converterSide = converter->unplug();
    const std::optional<DeviceSideSummary> unrelatedSide = unrelated->unplug();
    ASSERT_TRUE(converterSide && unrelatedSide);
    EXPECT_EQ(converterSide->outputReports, 2) << "one synchronisation, one identification";
    EXPECT_EQ(unrelatedSide->outputReports, 0)
        << "nothing may be written to a device of another identity";
}

TEST_P(HidrawKernelTest, ReportsTheRemovalOfAnOpenConverterWithinOneSecondOfTheUnplug) {
    ConverterDeviceProcess* converter = attach({});
    ASSERT_TRUE(converter);
    const std::vector<HidDeviceRef> found = loaderDevices();
    ASSERT_EQ(found.size(), 1u);
    ASSERT_EQ(service_.openDevice(found.front()), 0);
    manager_.setupReportCallback(found.front());

    QElapsedTimer sinceUnplug;
    sinceUnplug.start();
    converter->beginUnplug();
    // The bound is the requirement itself: the device screen must go promptly.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !delegate_->removed.empty(); }, 1000))
        << "no removal " << sinceUnplug.elapsed() << " ms after the unplug";
    ASSERT_EQ(delegate_->removed.size(), 1u);
    EXPECT_EQ(delegate_->removed.front(), found.front());
    ASSERT_TRUE(converter->finishUnplug().has_value());

    EXPECT_EQ(service_.setOutputReport(found.front(), QByteArray(64, '\0')), -ENODEV);
    EXPECT_TRUE(loaderDevices().empty());
}

// A user without the udev rule must learn why the converter cannot be opened (runs as `nobody`).
TEST_P(HidrawKernelTest, AUserWithoutAccessToTheNodeGetsThePermissionFailureAndItsReason) {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr)
        GTEST_SKIP() << "needs root and a user nobody";
    ConverterDeviceProcess* converter = attach({});
    ASSERT_TRUE(converter);
    const QByteArray node = QFile::encodeName(converter->node());
    ASSERT_EQ(::chown(node.constData(), 0, 0), 0);
    ASSERT_EQ(::chmod(node.constData(), 0600), 0);

    // A copy in a folder anyone can read, since the build tree may sit below a private folder.
    QTemporaryDir folder;
    const QString probe = folder.filePath(QStringLiteral("hidraw-open-probe"));
    ASSERT_TRUE(QFile::copy(
        QCoreApplication::applicationDirPath() + QStringLiteral("/hidraw-open-probe"), probe));
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(probe).constData(), 0755), 0);

    QProcess process;
    process.setChildProcessModifier([uid = nobody->pw_uid, gid = nobody->pw_gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(126);
    });
    process.start(probe, {QString::number(loaderVendorId), QString::number(loaderProductId)});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    SCOPED_TRACE(output.toStdString() + process.readAllStandardError().toStdString());
    ASSERT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(output.contains(QStringLiteral("devices 1\n")));
    EXPECT_TRUE(output.contains(QStringLiteral("device-open %1\n").arg(-EACCES)));
    const QString reason = output.section(QStringLiteral("reason "), 1).trimmed();
    EXPECT_TRUE(reason.contains(QStringLiteral("ermission")) && reason.contains(converter->node()));

    const std::optional<DeviceSideSummary> deviceSide = converter->unplug();
    ASSERT_TRUE(deviceSide.has_value());
    EXPECT_EQ(deviceSide->outputReports, 0);
}

INSTANTIATE_TEST_SUITE_P(Kernel, HidrawKernelTest,
                         ::testing::Values(Transport::Uhid, Transport::Gadget),
                         TransportTest::runName);

// 32 767 exchanges: long under emulation, so only through the gadget, the path of the hardware.
class HidrawGadgetKernelTest : public HidrawKernelTest {};

TEST_P(HidrawGadgetKernelTest, TransfersAMaximumSizeImageThatTheDeviceReceivesIntact) {
    QByteArray image(FirmwareTransfer::maximumImageLength, Qt::Uninitialized);
    QRandomGenerator generator(20261206);
    for (char& byte : image)
        byte = static_cast<char>(generator.bounded(256));
    QTemporaryDir folder;
    const QString received = folder.filePath(QStringLiteral("received.bin"));
    ConverterDeviceProcess* converter = attach({"--received-image", received});
    const std::vector<HidDeviceRef> found = loaderDevices();
    ASSERT_TRUE(converter && found.size() == 1u);
    QStringList alerts;
    FirmwareTransfer transfer(
        {[](const QString&) {},
         [&](const QString&, const QString& text, const QString&) { alerts.append(text); }});
    int64_t packNo = 0;
    EXPECT_TRUE(transfer.upgradeFW(&manager_, found.front(), packNo,
                                   VirtualConverter::checksum16(image), image));
    Commands::endUpgradeFW(manager_, found.front(), packNo);
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join(u'|').toStdString();

    const std::optional<DeviceSideSummary> deviceSide = converter->unplug();
    ASSERT_TRUE(deviceSide.has_value());
    EXPECT_EQ(deviceSide->dataPackets, 32767);
    EXPECT_EQ(deviceSide->unansweredDataPackets, 0);
    EXPECT_TRUE(readWholeFile(received) == image) << "the device received other bytes";
    // Even though the counter has outgrown the command's 16-bit field.
    EXPECT_TRUE(deviceSide->imageComplete && deviceSide->endUpgradeReceived);
}

INSTANTIATE_TEST_SUITE_P(Kernel, HidrawGadgetKernelTest, ::testing::Values(Transport::Gadget),
                         TransportTest::runName);
