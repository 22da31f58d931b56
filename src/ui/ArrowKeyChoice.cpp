#include "ui/ArrowKeyChoice.h"

#include <QKeyEvent>

ArrowKeyChoice::ArrowKeyChoice(QAbstractButton& first, QAbstractButton& second)
    : first_(&first), second_(&second) {
    first.installEventFilter(this);
    second.installEventFilter(this);
}

bool ArrowKeyChoice::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || (watched != first_ && watched != second_))
        return QObject::eventFilter(watched, event);
    QAbstractButton* target = nullptr;
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        target = first_;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        target = second_;
        break;
    default:
        return QObject::eventFilter(watched, event);
    }
    if (target && target->isVisible() && target->isEnabled()) {
        target->setFocus(Qt::OtherFocusReason);
        if (!target->isChecked())
            target->click();
    }
    return true;
}
