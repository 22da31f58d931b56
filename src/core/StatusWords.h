#pragma once

#include <QString>

#include "core/UIStatus.h"

// The words of each status, the same in every front end: a short title (the terminal's label,
// the picture's name for screen readers) and the prompt shown with it.
struct StatusWords {
    QString title;
    QString text; // empty where the configuration's prompt stands (searching, identified)

    static StatusWords of(UIStatus status);
};
