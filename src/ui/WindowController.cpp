#include "ui/WindowController.h"

#include <QGuiApplication>
#include <QScreen>

WindowController::WindowController() : window_(std::make_unique<QMainWindow>()) {
    outlets_.setupUi(window_.get());
    deviceImageLeading_ =
        std::make_unique<LayoutConstraint>(*outlets_.DeviceImageLeading, *outlets_.deviceImageRow);
    window_->installEventFilter(this);
}

WindowController::~WindowController() {
    window_->removeEventFilter(this);
}

void WindowController::windowDidLoad() {
    // The layout is drawn for one size; the user cannot change it.
    window_->setFixedSize(window_->size());
    QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = window_->geometry();
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
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
