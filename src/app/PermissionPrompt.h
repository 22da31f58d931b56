#pragma once

#include <QLabel>
#include <QString>

// Tells the user, in the window's prompt, that a converter is attached but this user may not open
// it, and how to fix that, instead of leaving the search to go on in silence. The device search
// reports what each tick found; the configured prompt comes back once the converter opens or is
// gone.
class PermissionPrompt {
public:
    static const QString text;

    explicit PermissionPrompt(QLabel& prompt) : prompt_(prompt) {}

    // `denied`: this tick found a converter it may not open. `configuredPrompt`: what the prompt
    // says otherwise. Call only while searching, when the prompt is the search's own.
    void update(bool denied, const QString& configuredPrompt);

private:
    QLabel& prompt_;
};
