#include "ui/MessageBoxAlertPresenter.h"

#include <QMessageBox>

MessageBoxAlertPresenter::MessageBoxAlertPresenter(QWidget* parent) : parent_(parent) {}

void MessageBoxAlertPresenter::runModal(const Alert& alert) {
    QMessageBox box(QMessageBox::Warning, alert.messageText, alert.messageText,
                    QMessageBox::NoButton, parent_);
    box.setInformativeText(alert.informativeText);
    box.addButton(alert.buttonTitle, QMessageBox::AcceptRole);
    box.exec();
}
