#include "ui/ArrowKeyChoice.h"

#include <QKeyEvent>

ArrowKeyChoice::ArrowKeyChoice(QAbstractButton& first, QAbstractButton& second)
    : first_(&first), second_(&second) {
    first.installEventFilter(this);
    second.installEventFilter(this);
}

bool ArrowKeyChoice::eventFilter(QObject* watched, QEvent* event) {
    const bool watchedKey =
        event->type() == QEvent::KeyPress && (watched == first_ || watched == second_);
    const int key = watchedKey ? static_cast<QKeyEvent*>(event)->key() : 0;
    QAbstractButton* const target = key == Qt::Key_Left || key == Qt::Key_Up      ? first_
                                    : key == Qt::Key_Right || key == Qt::Key_Down ? second_
                                                                                  : nullptr;
    if (!target)
        return QObject::eventFilter(watched, event);
    if (target->isVisible() && target->isEnabled()) {
        target->setFocus(Qt::OtherFocusReason);
        if (!target->isChecked())
            target->click();
    }
    return true;
}
