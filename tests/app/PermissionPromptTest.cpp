// A converter the user may not open: the prompt says so and names the fix while the search goes
// on, and gives way to the configured prompt once the converter opens or is gone.
#include <gtest/gtest.h>

#include <cerrno>

#include "WindowHarness.h"
#include "app/PermissionPrompt.h"

using namespace std::chrono_literals;

class PermissionPromptTest : public ::testing::Test {
protected:
    void SetUp() override {
        resources.writeConfig(TestConfig{});
        resources.copySampleReleases();
    }

    static SimulatedDeviceFaults refusingToOpen() {
        SimulatedDeviceFaults faults;
        faults.openError = -EACCES;
        return faults;
    }

    TestResources resources;
};

TEST_F(PermissionPromptTest, NamesTheUdevRuleUntilTheConverterOpens) {
    WindowHarness window(resources);
    window.start();
    const QString configured = window.outlets().PromptText->text();
    ASSERT_FALSE(configured.isEmpty());

    const HidDeviceRef device = window.plugIn();
    window.hidService.setDeviceFaults(device, refusingToOpen());
    ASSERT_TRUE(window.runUntil(
        [&] { return window.outlets().PromptText->text() == PermissionPrompt::text; }));
    EXPECT_TRUE(PermissionPrompt::text.contains("70-velmar-converter.rules"));
    EXPECT_TRUE(PermissionPrompt::text.contains("udevadm control --reload"));
    EXPECT_EQ(window.status(), UIStatus::NORMAL);

    // The search goes on, and the prompt stays while access is refused.
    const int ticks = window.searchTicks();
    ASSERT_TRUE(window.runUntil([&] { return window.searchTicks() >= ticks + 2; }));
    EXPECT_EQ(window.outlets().PromptText->text(), PermissionPrompt::text);

    // The rule is in place: the converter opens, is identified, and the prompt is the usual one.
    window.hidService.setDeviceFaults(device, {});
    ASSERT_TRUE(window.waitForStatus(UIStatus::DEVICE_PLUG));
    EXPECT_EQ(window.outlets().PromptText->text(), configured);
}

TEST_F(PermissionPromptTest, GivesWayToTheConfiguredPromptWhenTheConverterIsGone) {
    WindowHarness window(resources);
    window.start();
    const QString configured = window.outlets().PromptText->text();
    const HidDeviceRef device = window.plugIn();
    window.hidService.setDeviceFaults(device, refusingToOpen());
    ASSERT_TRUE(window.runUntil(
        [&] { return window.outlets().PromptText->text() == PermissionPrompt::text; }));

    window.hidService.unplug(device);
    ASSERT_TRUE(window.runUntil([&] { return window.outlets().PromptText->text() == configured; }));
    EXPECT_EQ(window.status(), UIStatus::NORMAL);
}

TEST_F(PermissionPromptTest, AConverterThatOpensButIsSilentKeepsTheConfiguredPrompt) {
    WindowHarness window(resources);
    window.start();
    const QString configured = window.outlets().PromptText->text();
    VirtualConverter::Faults silent;
    silent.neverReply = true;
    window.plugIn("QK100201", 0x01000005, silent);
    const int ticks = window.searchTicks();
    ASSERT_TRUE(window.runUntil([&] { return window.searchTicks() >= ticks + 2; }));
    EXPECT_EQ(window.outlets().PromptText->text(), configured);
    EXPECT_EQ(window.status(), UIStatus::NORMAL);
}
