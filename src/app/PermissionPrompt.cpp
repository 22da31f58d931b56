#include "app/PermissionPrompt.h"

const QString PermissionPrompt::text = QStringLiteral(
    "The converter is connected, but you have no permission to open it. Install the udev rule "
    "70-velmar-converter.rules that comes with the updater, run \"sudo udevadm control --reload "
    "&& sudo udevadm trigger\" and plug the converter in again.");

void PermissionPrompt::update(bool denied, const QString& configuredPrompt) {
    // The label itself says whether the permission text is up: every status rendering replaces
    // it, so a separate flag could only fall out of step.
    if (denied) {
        prompt_.setText(text);
    } else if (prompt_.text() == text) {
        prompt_.setText(configuredPrompt);
    }
}
