#include "app/PermissionPrompt.h"

#include "core/ConverterSearch.h"

const QString PermissionPrompt::text = ConverterSearch::accessDeniedAdvice();

void PermissionPrompt::update(bool denied, const QString& configuredPrompt) {
    // The label itself says whether the permission text is up: every status rendering replaces
    // it, so a separate flag could only fall out of step.
    if (denied) {
        prompt_.setText(text);
    } else if (prompt_.text() == text) {
        prompt_.setText(configuredPrompt);
    }
}
