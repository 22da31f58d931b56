#include <QEnterEvent>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

#include "ui/FlatButton.h"
#include "ui/WindowController.h"

static void hover(FlatButton& button, bool over) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, over ? static_cast<QEvent*>(&enter) : &leave);
}

TEST(FlatButton, HoverColoursTheTitleAndANewTitleStartsInTheNormalColour) {
    FlatButton button(nullptr);
    hover(button, true);
    EXPECT_EQ(button.titleColor(), QColor(255, 255, 0));
    button.setTitle("Confirm");
    EXPECT_EQ(button.titleColor(), QColor(Qt::white));
    hover(button, false);
    button.setHoverColor(QColor(0, 200, 255));
    EXPECT_EQ(button.titleColor(), QColor(Qt::white));
    hover(button, true);
    EXPECT_EQ(button.titleColor(), QColor(0, 200, 255));
}

TEST(WindowController, WindowIsCentredAndFixedAndReportsOnlyAClose) {
    WindowController controller;
    QMainWindow& window = controller.window();
    controller.windowDidLoad();
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window.geometry().center() - available.center()).manhattanLength(), 1);
    int closed = 0;
    controller.setWindowDidClose([&] { ++closed; });
    window.show();
    window.hide(); // hiding alone is not closing
    window.show();
    window.close();
    QCoreApplication::processEvents();
    EXPECT_EQ(closed, 1);
}
