#pragma once

#include <QStringList>

#include "support/DiagnosticLog.h"

// Collects every diagnostic line written while it lives, then puts the previous sink back.
class ScopedDiagnosticCapture {
public:
    ScopedDiagnosticCapture();
    ~ScopedDiagnosticCapture();
    ScopedDiagnosticCapture(const ScopedDiagnosticCapture&) = delete;
    ScopedDiagnosticCapture& operator=(const ScopedDiagnosticCapture&) = delete;

    const QStringList& lines() const { return lines_; }
    bool contains(const QString& line) const { return lines_.contains(line); }
    void clear() { lines_.clear(); }

private:
    QStringList lines_;
    DiagnosticLog::Sink previous_;
};
