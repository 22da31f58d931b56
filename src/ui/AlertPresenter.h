#pragma once

#include <QString>

// A modal warning with one button, as the program shows it for a broken configuration or a
// failed update.
struct Alert {
    QString messageText;
    QString informativeText;
    QString buttonTitle = QStringLiteral("OK");
    bool operator==(const Alert&) const = default;
};

// Shows alerts and returns once the user has dismissed them. The window gets one from whoever
// builds it, so tests can record the alerts instead of blocking on a dialog.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    virtual void runModal(const Alert& alert) = 0;
};
