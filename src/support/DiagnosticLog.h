#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringView>

// The category of the diagnostic lines. Its debug level is off unless turned on, for example
// with QT_LOGGING_RULES="velmar.diagnostics.debug=true"; Qt's message handler then writes the
// lines to standard error.
Q_DECLARE_LOGGING_CATEGORY(velmarDiagnostics)

// The program's debug log: lines composed the same way everywhere, written to that category.
class DiagnosticLog {
public:
    static constexpr const char* categoryName = "velmar.diagnostics";

    static void write(const QString& line);
    // "[" + cls + "][" + line + "][" + function + "]" + message
    static void write(QStringView cls, int line, QStringView function, QStringView message = {});

    // Turns the lines on for the rest of the run, as a command line option asks.
    static void enable();
};
