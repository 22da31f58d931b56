// The whole program on the hidraw backend against converters the kernel presents.
#include "KernelWindowSession.h"
#include "TransportTest.h"

#include <QLabel>

using namespace std::chrono_literals;
using Transport = ConverterDeviceProcess::Transport;

class MainWindowKernelTest : public TransportTest {};

TEST_P(MainWindowKernelTest, IdentifiesOneOfTwoConvertersAndSearchesAgainOnceTheyAreUnplugged) {
    ConverterDeviceProcess first(GetParam(), {"--serial", "window-a", "--version", "1.0.0.5"});
    ConverterDeviceProcess second(GetParam(), {"--serial", "window-b", "--version", "1.0.0.5"});
    ASSERT_TRUE(first.plugIn() && second.plugIn())
        << (first.error() + second.error()).toStdString();
    HidrawHidService service;
    KernelWindowSession window(service, 5s);
    ASSERT_TRUE(window.identify());
    EXPECT_EQ(window.controller().outlets.CurrentVersion->text(),
              QStringLiteral("Current version: V1.0.0.5"));
    EXPECT_TRUE(window.alerts.alerts.empty());

    const std::optional<DeviceSideSummary> a = first.unplug();
    const std::optional<DeviceSideSummary> b = second.unplug();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(std::min(a->outputReports, b->outputReports), 0);
    EXPECT_EQ(std::max(a->outputReports, b->outputReports), 2)
        << "one synchronisation and one identification, then no more polling";
    EXPECT_TRUE(window.waitForStatus(UIStatus::NORMAL, 30s));
}

INSTANTIATE_TEST_SUITE_P(Kernel, MainWindowKernelTest,
                         ::testing::Values(Transport::Uhid, Transport::Gadget),
                         TransportTest::runName);
