#include "ui/WindowController.h"

#include <QCoreApplication>
#include <QPalette>
#include <QScreen>

// The window's own colours as a palette, so that what it opens (alerts, the pop-up's list)
// looks like part of it rather than a light box over a dark window.
static QPalette windowPalette() {
    const QColor background(0x1a, 0x2b, 0x3c);
    const QColor field(0x22, 0x36, 0x4a);
    const QColor edge(0x3d, 0x56, 0x70);
    const QColor quiet(0xa9, 0xb8, 0xc8);
    QPalette palette;
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                     QPalette::HighlightedText, QPalette::ToolTipText})
        palette.setColor(role, Qt::white);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, quiet);
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::ToolTipBase})
        palette.setColor(role, field);
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::AlternateBase, background);
    palette.setColor(QPalette::PlaceholderText, quiet);
    palette.setColor(QPalette::Light, edge.lighter(130));
    palette.setColor(QPalette::Midlight, edge);
    palette.setColor(QPalette::Mid, edge.darker(120));
    palette.setColor(QPalette::Dark, background.darker(130));
    palette.setColor(QPalette::Shadow, Qt::black);
    // A deeper shade of the action button's pink: dark enough for white text to read on it.
    palette.setColor(QPalette::Highlight, QColor(0xb8, 0x45, 0x6e));
    return palette;
}

WindowController::WindowController() : window_(std::make_unique<QMainWindow>()) {
    outlets_.setupUi(window_.get());
    window_->setPalette(windowPalette());
    deviceImageLeading_ =
        std::make_unique<LayoutConstraint>(*outlets_.DeviceImageLeading, *outlets_.deviceImageRow);
    // Hidden, the action button still holds its place: the prompt beside it keeps one width and
    // the button reappears exactly where it was.
    QSizePolicy buttonPolicy = outlets_.CommonButton->sizePolicy();
    buttonPolicy.setRetainSizeWhenHidden(true);
    outlets_.CommonButton->setSizePolicy(buttonPolicy);
    modeKeys_ =
        std::make_unique<ArrowKeyChoice>(*outlets_.StandardButton, *outlets_.TournamentButton);
    window_->installEventFilter(this);
}

WindowController::~WindowController() {
    window_->removeEventFilter(this);
}

void WindowController::windowDidLoad() {
    // The layout is drawn for one size; the user cannot change it.
    window_->setFixedSize(window_->size());
    if (QScreen* screen = window_->screen()) {
        QRect frame = window_->geometry();
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
}

void WindowController::holdControls(bool held) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{outlets_.StandardButton, outlets_.TournamentButton,
                                         outlets_.PopUpFwVerItems, outlets_.CommonButton})
        control->setEnabled(!held);
}

void WindowController::paintNow() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    window_->repaint();
}

bool WindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_.get() && event->type() == QEvent::Close) {
        if (windowShouldClose_ && !windowShouldClose_()) {
            event->ignore();
            return true;
        }
        // Report once the window has handled the close and is really gone from the screen.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!window_->isVisible() && windowDidClose_)
                    windowDidClose_();
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
