#include <QEnterEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

#include "ui/BottomView.h"
#include "ui/FlatButton.h"
#include "ui/WindowController.h"

static void sendEnter(FlatButton& button) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
}

static void sendLeave(FlatButton& button) {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
}

TEST(FlatButton, CreatedInCodeStaysPlainUntilItsTitleIsAssigned) {
    FlatButton button(QRect(0, 0, 150, 44), nullptr);
    EXPECT_FALSE(button.isStyled());
    EXPECT_NE(button.cursor().shape(), Qt::PointingHandCursor);
    sendEnter(button);
    EXPECT_EQ(button.titleColor(), QColor(Qt::white)); // no hover without the style

    button.setTitle("START");
    ASSERT_TRUE(button.isStyled());
    EXPECT_EQ(button.title(), "START");
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(button.titleFont().bold());
    EXPECT_EQ(button.titleFont().pointSizeF(), 18.0);
    const QGradientStops stops = button.gradient()->stops();
    ASSERT_EQ(stops.size(), 2);
    EXPECT_EQ(stops[0].second, QColor(219, 112, 147));
    EXPECT_EQ(stops[1].second, QColor(255, 0, 0));
    EXPECT_EQ(button.gradient()->start(), QPointF(0.5, 0.0));
    EXPECT_EQ(button.gradient()->finalStop(), QPointF(0.5, 1.0));
}

TEST(FlatButton, HoverSwitchesTheTitleColourAndANewTitleIsShownInTheNormalColour) {
    FlatButton button(nullptr);
    ASSERT_TRUE(button.isStyled()); // created as the window description creates it
    EXPECT_EQ(button.titleColor(), QColor(Qt::white));
    sendEnter(button);
    EXPECT_EQ(button.titleColor(), QColor(255, 255, 0));
    button.setTitle("Confirm"); // assigned while the pointer is over it
    EXPECT_EQ(button.titleColor(), QColor(Qt::white));
    sendLeave(button);
    EXPECT_EQ(button.titleColor(), QColor(Qt::white));

    button.setHoverColor(QColor(0, 200, 255));
    EXPECT_EQ(button.titleColor(), QColor(Qt::white)); // nothing visible changes yet
    sendEnter(button);
    EXPECT_EQ(button.titleColor(), QColor(0, 200, 255));
}

TEST(BottomView, IsADarkTranslucentPanelWhenStyled) {
    BottomView plain(QRect(0, 0, 100, 40), nullptr);
    EXPECT_FALSE(plain.isStyled());
    BottomView styled(nullptr);
    ASSERT_TRUE(styled.backgroundColor().has_value());
    EXPECT_EQ(styled.backgroundColor()->rgb(), QColor(13, 26, 38).rgb());
    EXPECT_NEAR(styled.backgroundColor()->alphaF(), 0.8, 1e-6);
}

TEST(WindowController, WindowHasEveryOutletAndIsCentredAndFixedInSize) {
    WindowController controller;
    QMainWindow& window = controller.window();
    for (const char* name :
         {"MainTitle", "DeviceName", "ModeStatckView", "SelectVersion", "PopButtonView",
          "CurrentVersion", "PromptText", "CommonButton", "DeviceImage", "StandardButton",
          "TournamentButton", "PopUpFwVerItems"})
        EXPECT_NE(window.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_NE(controller.outlets().DeviceImageLeading, nullptr);
    EXPECT_EQ(window.findChild<QWidget*>("CommonButton")->metaObject()->className(),
              QByteArray("FlatButton"));
    EXPECT_EQ(controller.outlets().TournamentButton->property("tag").toInt(), 1);
    EXPECT_NE(controller.outlets().StandardButton->property("tag").toInt(), 1);

    controller.windowDidLoad();
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window.geometry().center() - available.center()).manhattanLength(), 1);
}

TEST(WindowController, ReportsTheUserClosingTheWindow) {
    WindowController controller;
    int closed = 0;
    controller.setWindowDidClose([&] { ++closed; });
    controller.window().show();
    controller.window().hide(); // hiding alone is not closing
    QCoreApplication::processEvents();
    EXPECT_EQ(closed, 0);
    controller.window().show();
    controller.window().close();
    QCoreApplication::processEvents();
    EXPECT_EQ(closed, 1);
}
