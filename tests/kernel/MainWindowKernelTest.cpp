// The whole program on the hidraw backend against converters the kernel presents.
#include "ConverterDeviceProcess.h"
#include "KernelWindowSession.h"
#include "TransportTest.h"

#include "app/RemovalToFailureWatch.h"

#include <QComboBox>
#include <QLabel>
#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Transport = ConverterDeviceProcess::Transport;

class MainWindowKernelTest : public TransportTest {
protected:
    std::unique_ptr<ConverterDeviceProcess> attach(QStringList arguments) {
        auto converter = std::make_unique<ConverterDeviceProcess>(GetParam(), std::move(arguments));
        EXPECT_TRUE(converter->plugIn())
            << "converter-device did not come up: " << converter->error().toStdString();
        return converter;
    }

    HidrawHidService service_;
};

TEST_P(MainWindowKernelTest, IdentifiesOneOfTwoConvertersAndSearchesAgainOnceTheyAreUnplugged) {
    const auto first = attach({"--serial", "window-a", "--version", "1.0.0.5"});
    const auto second = attach({"--serial", "window-b", "--version", "1.0.0.5"});
    KernelWindowSession window(service_, 5s);
    ASSERT_TRUE(window.identify());
    EXPECT_EQ(window.controller().outlets.CurrentVersion->text(),
              QStringLiteral("Current version: V1.0.0.5"));
    EXPECT_TRUE(window.alerts.alerts.empty());

    const std::optional<DeviceSideSummary> a = first->unplug();
    const std::optional<DeviceSideSummary> b = second->unplug();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(std::min(a->outputReports, b->outputReports), 0);
    EXPECT_EQ(std::max(a->outputReports, b->outputReports), 2)
        << "one synchronisation and one identification, then no more polling";
    EXPECT_TRUE(window.waitForStatus(UIStatus::NORMAL, 30s));
}

// Pulled out at a random packet: the failed screen shows in the turn that brings the removal,
// and no end-of-upgrade command goes to the converter that is gone.
TEST_P(MainWindowKernelTest, UnpluggedMidUpdateTheFailureShowsAtOnce) {
    const QByteArray image(20000, '\x5A');
    const int packets = 1 + (image.size() - 48 + 55) / 56;
    const int answered = QRandomGenerator::global()->bounded(1, packets);
    SCOPED_TRACE(testing::Message()
                 << "unplugged after " << answered << " of " << packets << " data packets");
    const auto converter = attach({"--unplug-after-data-packets", QString::number(answered)});
    KernelWindowSession window(service_, 5s);
    window.writeRelease(image);
    ASSERT_TRUE(window.identify());

    const RemovalToFailureWatch watch(window.controller());
    ASSERT_TRUE(window.start());
    EXPECT_EQ(window.waitForResult(120s), UIStatus::UPGRADE_FW_FAILED);
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.removalHeard(); }, 30000));
    // Over uhid the next write fails at once, before the removal is heard; over the gadget the
    // write goes out and the removal ends the wait for its reply.
    const std::optional<int> turns = watch.turnsFromRemovalToFailure();
    EXPECT_EQ(turns.value_or(0), 0) << "turns of the event loop from the removal to the failure";
    std::printf("%s, unplugged after %d of %d packets: removal to UPGRADE_FW_FAILED %+.3f ms "
                "(%s)\n",
                qPrintable(ConverterDeviceProcess::transportName(GetParam())), answered, packets,
                watch.millisecondsFromRemovalToFailure().value_or(NAN),
                turns ? "same turn of the event loop" : "the failed write came first");

    const std::optional<DeviceSideSummary> deviceSide = converter->finishUnplug();
    ASSERT_TRUE(deviceSide.has_value());
    EXPECT_EQ(deviceSide->dataPackets, answered);
    EXPECT_FALSE(deviceSide->endUpgradeReceived);
}

INSTANTIATE_TEST_SUITE_P(Kernel, MainWindowKernelTest,
                         ::testing::Values(Transport::Uhid, Transport::Gadget),
                         TransportTest::runName);
