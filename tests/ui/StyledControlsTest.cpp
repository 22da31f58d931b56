#include <QEnterEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

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
    sendEnter(button);
    EXPECT_EQ(button.titleColor(), QColor(Qt::white)); // no hover without the style
    button.setTitle("START");
    EXPECT_TRUE(button.isStyled());
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
}

TEST(FlatButton, HoverSwitchesTheTitleColourAndANewTitleIsShownInTheNormalColour) {
    FlatButton button(nullptr); // created as the window description creates it
    sendEnter(button);
    EXPECT_EQ(button.titleColor(), QColor(255, 255, 0));
    button.setTitle("Confirm"); // assigned while the pointer is over it
    EXPECT_EQ(button.titleColor(), QColor(Qt::white));
    sendLeave(button);
    button.setHoverColor(QColor(0, 200, 255));
    EXPECT_EQ(button.titleColor(), QColor(Qt::white)); // nothing visible changes yet
    sendEnter(button);
    EXPECT_EQ(button.titleColor(), QColor(0, 200, 255));
}

// A missing outlet does not compile; the mode buttons' tag and the geometry are checked here.
TEST(WindowController, WindowIsCentredAndFixedInSizeAndTheTournamentButtonIsTagged) {
    WindowController controller;
    QMainWindow& window = controller.window();
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
