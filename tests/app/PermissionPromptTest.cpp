#include <cerrno>

#include "WindowHarness.h"
#include "core/ConverterSearch.h"

using PermissionPromptTest = SampleWindowTest;
TEST_F(PermissionPromptTest, NamesTheFixOnlyForARefusedConverterUntilItOpensOrIsGone) {
    startWindow();
    const QString configured = outlets().PromptText->text();
    const auto promptBecomes = [&](const QString& text) {
        return runEventLoopUntil([&] { return outlets().PromptText->text() == text; });
    };
    for (const bool staysAway : {true, false}) {
        const HidDeviceRef device = window->plugIn();
        window->hidService.setDeviceFaults(device, {.openError = -EACCES});
        ASSERT_TRUE(promptBecomes(ConverterSearch::accessDeniedAdvice()));
        if (staysAway) {
            window->hidService.unplug(device);
            ASSERT_TRUE(promptBecomes(configured));
            continue;
        }
        const int ticks = window->searchTicks();
        ASSERT_TRUE(runEventLoopUntil([&] { return window->searchTicks() >= ticks + 2; }));
        EXPECT_EQ(outlets().PromptText->text(), ConverterSearch::accessDeniedAdvice());
        window->hidService.setDeviceFaults(device, {});
        ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
        EXPECT_EQ(outlets().PromptText->text(), configured);
    }

    // Converters that open but do not tell their firmware: asked again, nothing about permissions.
    using Faults = VirtualConverter::Faults;
    for (const Faults faults : {Faults{.neverReply = true}, Faults{.ignoreGetFWInfo = true}}) {
        startWindow();
        const auto converter = window->hidService.converter(window->plugIn("QK100201", 1));
        converter->setFaults(faults); // before the plug's identification runs
        ASSERT_TRUE(runEventLoopUntil([&] { return converter->requests().size() >= 3; }));
        EXPECT_EQ(outlets().PromptText->text(), configured);
        EXPECT_EQ(controller().identity.device, nullptr);
    }
}
