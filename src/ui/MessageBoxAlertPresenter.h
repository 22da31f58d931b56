#pragma once

#include <QPointer>
#include <QWidget>

#include "ui/AlertPresenter.h"

// Alerts as warning message boxes over the main window.
class MessageBoxAlertPresenter : public AlertPresenter {
public:
    explicit MessageBoxAlertPresenter(QWidget* parent = nullptr) : parent_(parent) {}
    void runModal(const Alert& alert) override;

private:
    QPointer<QWidget> parent_;
};
