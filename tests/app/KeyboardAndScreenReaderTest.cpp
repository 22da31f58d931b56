#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QTest>
#include <QTimer>

#include "WindowHarness.h"
#include "ui/PictureResources.h"

static QAccessibleInterface* reader(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

using KeyboardAndScreenReader = SampleWindowTest;
TEST_F(KeyboardAndScreenReader, DriveAndFollowAnUpdate) {
    startWindow();
    QMainWindow& main = window->program->windowController().window();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    window->plugIn();
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    EXPECT_EQ(reader(outlets().CommonButton)->text(QAccessible::Name), "START");
    EXPECT_FALSE(reader(outlets().CommonButton)->text(QAccessible::Description).isEmpty());
    // On identification the version is chosen first: one Enter must not rewrite what it runs.
    EXPECT_EQ(QApplication::focusWidget(), outlets().PopUpFwVerItems);
    QTest::keyClick(outlets().StandardButton, Qt::Key_Right);
    EXPECT_TRUE(controller().mainVM.IsTE.value());
    EXPECT_EQ(QApplication::focusWidget(), outlets().TournamentButton);
    QTest::keyClick(outlets().TournamentButton, Qt::Key_Left);
    EXPECT_TRUE(controller().mainVM.IsStandard.value());

    // The picture is a progress bar during the update, read by a timer inside the transfer's waits.
    QAccessibleInterface* picture = reader(outlets().DeviceImage);
    EXPECT_EQ(picture->text(QAccessible::Name), "Converter");
    QStringList heard;
    QTimer listener;
    QObject::connect(&listener, &QTimer::timeout, [&] {
        if (picture->role() != QAccessible::ProgressBar)
            return;
        const int percent = picture->valueInterface()->currentValue().toInt();
        const bool itsPicture =
            outlets().DeviceImage->image() == PictureResources::named(QString::number(percent / 5));
        const QString now = QString("%1 %2%3")
                                .arg(percent)
                                .arg(picture->text(QAccessible::Name))
                                .arg(itsPicture ? "" : " (picture)");
        if (heard.isEmpty() || heard.back() != now)
            heard.append(now);
    });
    listener.start(1);
    // A packet a millisecond, so the listener hears every step.
    window->hidService.setDeviceFaults(controller().identity.device,
                                       {.replyDelay = std::chrono::milliseconds{1}});
    QTest::keyClick(outlets().CommonButton, Qt::Key_Return);
    ASSERT_TRUE(window->waitForStatus(UIStatus::UPGRADE_FW_FINISH));
    listener.stop();
    QStringList expected; // 100 % comes with the final answer and gives way to the result at once
    for (int percent = 0; percent < 100; percent += 5)
        expected.append(QString("%1 Updating firmware: %1 %").arg(percent));
    EXPECT_EQ(heard.join(" | ").toStdString(), expected.join(" | ").toStdString());
    EXPECT_EQ(picture->role(), QAccessible::Graphic);
    EXPECT_EQ(picture->text(QAccessible::Name), "Update complete");
    EXPECT_EQ(reader(outlets().CommonButton)->text(QAccessible::Name), "Confirm");
    EXPECT_EQ(QApplication::focusWidget(), outlets().CommonButton);
    QTest::keyClick(outlets().CommonButton, Qt::Key_Space);
    EXPECT_NE(window->status(), UIStatus::UPGRADE_FW_FINISH);
}
