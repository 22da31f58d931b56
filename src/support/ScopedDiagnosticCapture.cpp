#include "support/ScopedDiagnosticCapture.h"

ScopedDiagnosticCapture::ScopedDiagnosticCapture()
    : previous_(DiagnosticLog::setSink([this](const QString& line) { lines_.append(line); })) {}

ScopedDiagnosticCapture::~ScopedDiagnosticCapture() {
    DiagnosticLog::setSink(std::move(previous_));
}
