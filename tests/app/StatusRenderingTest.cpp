#include <gtest/gtest.h>

#include "WindowHarness.h"
#include "ui/PictureResources.h"

// What each status shows, on the window the program builds, before any device is known.
class StatusRendering : public ::testing::Test {
protected:
    void SetUp() override {
        resources.writeConfig(TestConfig{});
        window = std::make_unique<WindowHarness>(resources);
        window->start();
        // A configured converter's: an unknown one has a device screen of its own.
        window->controller().identity.partNumber = QStringLiteral("QK100201");
    }

    void show(UIStatus status) { window->controller().mainVM.CurrentUIStatus = status; }
    Ui::MainWindow& outlets() { return window->outlets(); }
    double offset() { return window->controller().DeviceImageLeading.constant(); }
    double savedOffset() { return window->controller().deviceImageLeading; }
    // How many of the five device details are shown: all or none, never some.
    int detailsShown() {
        int shown = 0;
        for (const QWidget* detail : std::initializer_list<const QWidget*>{
                 outlets().DeviceName, outlets().ModeStatckView, outlets().SelectVersion,
                 outlets().PopButtonView, outlets().CurrentVersion})
            shown += detail->isVisible() ? 1 : 0;
        return shown;
    }

    TestResources resources;
    std::unique_ptr<WindowHarness> window;
};

TEST_F(StatusRendering, EveryStatusHasItsPicturePromptAndButton) {
    const QString configured = "Plug the converter in.";
    struct Expected {
        UIStatus status;
        const char* picture; // nullptr: the configured device picture
        QString prompt;
        bool titleAndDetails;
        bool buttonShown;
        const char* title; // after the device screen's "START"
    };
    const Expected table[] = {
        {UIStatus::NORMAL, nullptr, configured, true, false, "START"},
        {UIStatus::DEVICE_PLUG, nullptr, configured, true, true, "START"},
        {UIStatus::UPGRADE_FW, "0", "Don't remove the device", false, false, "START"},
        {UIStatus::UPGRADE_FW_FINISH, "complete", "The firmware has been updated successfully.",
         false, true, "Confirm"},
        {UIStatus::UPGRADE_FW_FAILED, "failed", "The firmware update failed.", false, true,
         "Confirm"},
        {UIStatus::FTP_DOWNLOAD, "download", "Wait a moment, firmware downloading...", false, false,
         "START"},
        {UIStatus::DOWNLOAD_FAILED, "failed", "Download file failed.", false, true, "Confirm"},
    };
    // The bottom panel, the prompt and the action button stand still on every status, read after
    // the layout has settled, in the window's coordinates.
    auto frameOf = [this](const QWidget* widget) {
        outlets().MainView->layout()->activate();
        return QRect(widget->mapTo(outlets().MainView, QPoint(0, 0)), widget->size());
    };
    show(UIStatus::DEVICE_PLUG);
    const QRect panel = frameOf(outlets().BottomBar);
    const QRect button = frameOf(outlets().CommonButton);
    const QRect prompt = frameOf(outlets().PromptText);
    for (const Expected& expected : table) {
        SCOPED_TRACE(static_cast<int>(expected.status));
        show(UIStatus::DEVICE_PLUG);          // every element shown, title START
        if (isFailureStatus(expected.status)) // the reason line must fit in the panel too
            window->controller().mainVM.FailureReason =
                "A reason long enough to take two lines of the bottom panel, so that nothing may "
                "grow with it: plug the converter in again and start again.";
        show(expected.status);
        EXPECT_EQ(frameOf(outlets().BottomBar), panel);
        EXPECT_EQ(frameOf(outlets().PromptText).topLeft(), prompt.topLeft());
        if (expected.buttonShown) {
            EXPECT_EQ(frameOf(outlets().CommonButton), button);
        }
        EXPECT_EQ(outlets().MainTitle->isVisible(), expected.titleAndDetails);
        EXPECT_EQ(detailsShown(), expected.status == UIStatus::DEVICE_PLUG ? 5 : 0);
        EXPECT_TRUE(outlets().DeviceImage->isVisible());
        ASSERT_TRUE(outlets().DeviceImage->image().has_value());
        if (expected.picture) {
            EXPECT_EQ(*outlets().DeviceImage->image(), *PictureResources::named(expected.picture));
        } else {
            EXPECT_EQ(outlets().DeviceImage->image()->size(), QSize(64, 40));
        }
        // The picture stands a hundred points further on the device screen only.
        EXPECT_EQ(offset(), savedOffset() + (expected.status == UIStatus::DEVICE_PLUG ? 100 : 0));
        EXPECT_TRUE(outlets().PromptText->isVisible());
        EXPECT_EQ(outlets().PromptText->text(), expected.prompt);
        EXPECT_EQ(outlets().CommonButton->isVisible(), expected.buttonShown);
        EXPECT_EQ(outlets().CommonButton->title(), expected.title);
    }

    // Shown twice, the device screen moves the picture once, and the layout follows on screen.
    show(UIStatus::NORMAL);
    outlets().MainView->layout()->activate();
    const int normalX = outlets().DeviceImage->geometry().x();
    show(UIStatus::DEVICE_PLUG);
    show(UIStatus::DEVICE_PLUG);
    outlets().MainView->layout()->activate();
    EXPECT_EQ(outlets().DeviceImage->geometry().x(), normalX + 100);
}

// A record that does not know one of its modes leaves the mode choice as it is.
TEST_F(StatusRendering, AOneModeRecordHidesTheModeChoiceAnUnknownModeLeavesIt) {
    show(UIStatus::DEVICE_PLUG);
    auto record = std::make_shared<FwInfoModel>();
    record->Standard = true;
    MainVM& vm = window->controller().mainVM;
    vm.FwInfoVM = record;
    EXPECT_TRUE(outlets().ModeStatckView->isVisible());
    record->Tournament = false;
    vm.FwInfoVM = record;
    EXPECT_FALSE(outlets().ModeStatckView->isVisible());
    record->Tournament = std::nullopt;
    vm.FwInfoVM = record;
    EXPECT_FALSE(outlets().ModeStatckView->isVisible());
}
