// A converter the user may not open: the prompt says so and names the fix while the search goes
// on, and gives way to the configured prompt once the converter opens or is gone.
#include <gtest/gtest.h>

#include <cerrno>

#include "WindowHarness.h"
#include "app/PermissionPrompt.h"

class PermissionPromptTest : public SampleWindowTest {
protected:
    void SetUp() override {
        startWindow();
        configured = outlets().PromptText->text();
        ASSERT_FALSE(configured.isEmpty());
    }
    static SimulatedDeviceFaults refusingToOpen() {
        SimulatedDeviceFaults faults;
        faults.openError = -EACCES;
        return faults;
    }
    bool promptBecomes(const QString& text) {
        return window->runUntil([&] { return outlets().PromptText->text() == text; });
    }
    QString configured;
};

TEST_F(PermissionPromptTest, NamesTheUdevRuleUntilTheConverterIsGoneOrOpens) {
    EXPECT_TRUE(PermissionPrompt::text.contains("70-velmar-converter.rules"));
    EXPECT_TRUE(PermissionPrompt::text.contains("udevadm control --reload"));
    const HidDeviceRef gone = window->plugIn();
    window->hidService.setDeviceFaults(gone, refusingToOpen());
    ASSERT_TRUE(promptBecomes(PermissionPrompt::text));
    window->hidService.unplug(gone);
    ASSERT_TRUE(promptBecomes(configured));

    const HidDeviceRef device = window->plugIn();
    window->hidService.setDeviceFaults(device, refusingToOpen());
    ASSERT_TRUE(promptBecomes(PermissionPrompt::text));
    // The search goes on, and the prompt stays while access is refused.
    const int ticks = window->searchTicks();
    ASSERT_TRUE(window->runUntil([&] { return window->searchTicks() >= ticks + 2; }));
    EXPECT_EQ(outlets().PromptText->text(), PermissionPrompt::text);
    EXPECT_EQ(window->status(), UIStatus::NORMAL);

    // The rule is in place: the converter opens, is identified, and the prompt is the usual one.
    window->hidService.setDeviceFaults(device, {});
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    EXPECT_EQ(outlets().PromptText->text(), configured);
}

// Converters that open but do not tell their firmware: not identified, asked again, and nothing
// about permissions.
TEST_F(PermissionPromptTest, AConverterThatOpensButDoesNotIdentifyItselfIsAskedAgain) {
    VirtualConverter::Faults silent, withoutFirmware;
    silent.neverReply = true;
    withoutFirmware.ignoreGetFWInfo = true;
    for (const VirtualConverter::Faults& faults : {silent, withoutFirmware}) {
        SCOPED_TRACE(faults.neverReply ? "silent" : "without firmware information");
        startWindow();
        const auto converter = window->hidService.converter(window->plugIn("QK100201", 1, faults));
        ASSERT_TRUE(window->runUntil([&] { return converter->requests().size() >= 2; }));
        const size_t asked = converter->requests().size();
        ASSERT_TRUE(window->runUntil([&] { return converter->requests().size() > asked; }));
        EXPECT_EQ(outlets().PromptText->text(), configured);
        EXPECT_EQ(window->status(), UIStatus::NORMAL);
        EXPECT_EQ(controller().identity.device, nullptr);
    }
}
