#pragma once

#include <QByteArray>
#include <optional>

#include "config/ConfigModel.h"

// Reads a configuration document with libxml2's event (SAX2) reader. Stateless: every call gets
// its own reader and its own XMLParseDelegate.
class ParseConfig {
public:
    // The model when the document is well-formed; otherwise absent (whatever had been collected
    // is dropped) and the " XML parsing failed" diagnostic line.
    static std::optional<ConfigModel> parseXML(const QByteArray& document);
};
