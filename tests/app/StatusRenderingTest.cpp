#include "WindowHarness.h"
#include "ui/PictureResources.h"

using StatusRendering = WindowTest;
TEST_F(StatusRendering, EveryStatusHasItsPicturePromptAndButton) {
    resources.writeConfig(TestConfig{});
    startWindow();
    controller().identity.partNumber = QStringLiteral("QK100201");
    Ui::MainWindow& ui = outlets();
    const auto show = [&](UIStatus status) { controller().mainVM.CurrentUIStatus = status; };
    const auto frameOf = [&](const QWidget* widget) {
        ui.MainView->layout()->activate();
        return QRect(widget->mapTo(ui.MainView, QPoint(0, 0)), widget->size());
    };
    const QString configured = "Plug the converter in.";
    const struct {
        UIStatus status;
        const char* picture; // nullptr: the configured device picture
        QString prompt;
        bool titleShown, buttonShown;
        const char* title; // after the device screen's "START"
    } rows[] = {
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
    show(UIStatus::DEVICE_PLUG);
    const QRect panel = frameOf(ui.BottomBar), button = frameOf(ui.CommonButton),
                prompt = frameOf(ui.PromptText);
    const double leading = controller().deviceImageLeading;
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.status));
        show(UIStatus::DEVICE_PLUG);    // every element shown, title START
        if (isResultStatus(row.status)) // a long reason must not move the panel either
            controller().mainVM.FailureReason = QString("a long reason ").repeated(12);
        show(row.status);
        const bool device = row.status == UIStatus::DEVICE_PLUG;
        EXPECT_EQ(frameOf(ui.BottomBar), panel);
        EXPECT_EQ(frameOf(ui.PromptText).topLeft(), prompt.topLeft());
        EXPECT_TRUE(!row.buttonShown || frameOf(ui.CommonButton) == button);
        EXPECT_EQ(ui.MainTitle->isVisible(), row.titleShown);
        for (const QWidget* detail : std::initializer_list<const QWidget*>{
                 ui.DeviceName, ui.ModeStatckView, ui.SelectVersion, ui.PopButtonView,
                 ui.CurrentVersion})
            EXPECT_EQ(detail->isVisible(), device) << detail->objectName().toStdString();
        ASSERT_TRUE(ui.DeviceImage->isVisible() && ui.DeviceImage->image());
        EXPECT_TRUE(row.picture ? *ui.DeviceImage->image() == *PictureResources::named(row.picture)
                                : ui.DeviceImage->image()->size() == QSize(64, 40));
        // Shown twice, the device screen still moves the picture a hundred points only once.
        EXPECT_EQ(controller().DeviceImageLeading.constant(), leading + (device ? 100 : 0));
        EXPECT_EQ(ui.PromptText->text(), row.prompt);
        EXPECT_TRUE(ui.PromptText->isVisible());
        EXPECT_EQ(ui.CommonButton->isVisible(), row.buttonShown);
        EXPECT_EQ(ui.CommonButton->title(), row.title);
    }
    show(UIStatus::NORMAL);
    const int normalX = frameOf(ui.DeviceImage).x();
    show(UIStatus::DEVICE_PLUG);
    EXPECT_EQ(frameOf(ui.DeviceImage).x(), normalX + 100);

    // A record without one of the modes hides the choice; one that does not say leaves it.
    auto record = std::make_shared<FwInfoModel>();
    record->Standard = true;
    const std::pair<std::optional<bool>, bool> steps[] = {
        {std::nullopt, true}, {false, false}, {std::nullopt, false}};
    for (const auto& [tournament, shown] : steps) {
        record->Tournament = tournament;
        controller().mainVM.FwInfoVM = record;
        EXPECT_EQ(ui.ModeStatckView->isVisible(), shown);
    }
}
