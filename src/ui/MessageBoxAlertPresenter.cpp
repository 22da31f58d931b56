#include "ui/MessageBoxAlertPresenter.h"

#include <QMessageBox>

void MessageBoxAlertPresenter::runModal(const Alert& alert) {
    QMessageBox box(QMessageBox::Warning, alert.messageText, alert.messageText,
                    QMessageBox::NoButton, parent_);
    box.setInformativeText(alert.informativeText);
    box.addButton(alert.buttonTitle, QMessageBox::AcceptRole);
    if (parent_) {
        // A dialog is a window of its own and inherits nothing: give it the main window's colours
        // and stand it in the middle of that window, wherever the window manager would put it.
        // The box settles its size only as it is shown, so it is placed once it is up.
        QWidget* window = parent_->window();
        box.setPalette(window->palette());
        QMetaObject::invokeMethod(
            &box,
            [&box, window] {
                QRect frame = box.frameGeometry();
                frame.moveCenter(window->frameGeometry().center());
                box.move(frame.topLeft());
            },
            Qt::QueuedConnection);
    }
    box.exec();
}
