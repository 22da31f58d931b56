#pragma once

#include <QString>
#include <optional>

#include "config/ConfigModel.h"

// Reads the file "config" (Base64 of the XML document, one unbroken run) from the resource
// directory and parses it. Absent when the file is missing, unreadable (with a diagnostic line),
// not strict Base64, or not a well-formed document.
std::optional<ConfigModel> loadConfig(const QString& resourceDirectory);
