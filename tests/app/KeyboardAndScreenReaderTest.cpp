#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QTest>
#include <QTimer>

#include "WindowHarness.h"
#include "ui/PictureResources.h"

// The window used without a mouse: from the keyboard, and as a screen reader sees it.
class KeyboardAndScreenReader : public SampleWindowTest {
protected:
    void SetUp() override {
        startWindow();
        QMainWindow& main = window->program->windowController().window();
        main.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
        window->plugIn();
        ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    }

    static QAccessibleInterface* readerView(QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget);
    }
};

TEST_F(KeyboardAndScreenReader, TabRunsThroughTheControlsAndTheKeysPickAndPress) {
    // The action button has the focus as the converter is identified; Tab goes on from there.
    EXPECT_EQ(QApplication::focusWidget(), outlets().CommonButton);
    const QWidget* order[] = {outlets().StandardButton, outlets().TournamentButton,
                              outlets().PopUpFwVerItems, outlets().CommonButton};
    for (const QWidget* expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
    }

    // Arrow keys pick the mode as a click does.
    QTest::keyClick(outlets().StandardButton, Qt::Key_Right);
    EXPECT_TRUE(window->controller().mainVM.IsTE.value());
    EXPECT_EQ(QApplication::focusWidget(), outlets().TournamentButton);
    QTest::keyClick(outlets().TournamentButton, Qt::Key_Left);
    EXPECT_TRUE(window->controller().mainVM.IsStandard.value());

    // Enter presses START, Space presses Confirm.
    QTest::keyClick(outlets().CommonButton, Qt::Key_Return);
    ASSERT_TRUE(window->waitForStatus(UIStatus::UPGRADE_FW_FINISH));
    EXPECT_EQ(QApplication::focusWidget(), outlets().CommonButton);
    QTest::keyClick(outlets().CommonButton, Qt::Key_Space);
    EXPECT_NE(window->status(), UIStatus::UPGRADE_FW_FINISH);
}

TEST_F(KeyboardAndScreenReader, ControlsHaveNamesAndTheProgressIsReported) {
    struct Named {
        QWidget* widget;
        const char* name;
    };
    const Named named[] = {{outlets().StandardButton, "Standard mode"},
                           {outlets().TournamentButton, "Tournament mode"},
                           {outlets().CommonButton, "START"},
                           {outlets().DeviceImage, "Converter"}};
    for (const Named& expected : named) {
        SCOPED_TRACE(expected.name);
        QAccessibleInterface* reader = readerView(expected.widget);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->text(QAccessible::Name), expected.name);
        if (expected.widget != outlets().DeviceImage) {
            EXPECT_FALSE(reader->text(QAccessible::Description).isEmpty());
        }
    }
    EXPECT_FALSE(readerView(outlets().PromptText)->text(QAccessible::Description).isEmpty());
    // Qt names a pop-up on Linux after its current item; what it is for is in its description.
    EXPECT_TRUE(readerView(outlets().PopUpFwVerItems)
                    ->text(QAccessible::Description)
                    .startsWith("Firmware version"));

    // While the update runs, the picture is a progress bar whose value, name and numbered picture
    // follow the transfer. Read as a reader would, by a timer that fires inside the transfer's
    // waits.
    QAccessibleInterface* picture = readerView(outlets().DeviceImage);
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
                                .arg(itsPicture ? "" : ", another picture");
        if (heard.isEmpty() || heard.back() != now)
            heard.append(now);
    });
    listener.start(1);
    SimulatedDeviceFaults unhurried; // a packet a millisecond, so the listener hears every step
    unhurried.replyDelay = std::chrono::milliseconds{1};
    window->hidService.setDeviceFaults(window->controller().identity.device, unhurried);
    outlets().CommonButton->click();
    ASSERT_TRUE(window->waitForStatus(UIStatus::UPGRADE_FW_FINISH));
    listener.stop();
    QStringList expected;
    // 100 % comes with the converter's final answer and gives way to the result at once.
    for (int percent = 0; percent < 100; percent += 5)
        expected.append(QString("%1 Updating firmware: %1 %").arg(percent));
    EXPECT_EQ(heard.join(" | ").toStdString(), expected.join(" | ").toStdString());
    EXPECT_EQ(picture->role(), QAccessible::Graphic);
    EXPECT_EQ(picture->text(QAccessible::Name), "Update complete");
    EXPECT_EQ(readerView(outlets().CommonButton)->text(QAccessible::Name), "Confirm");
}
