#include "support/DiagnosticLog.h"

Q_LOGGING_CATEGORY(velmarDiagnostics, DiagnosticLog::categoryName, QtInfoMsg)

void DiagnosticLog::write(const QString& line) {
    qCDebug(velmarDiagnostics).noquote() << line;
}

void DiagnosticLog::write(QStringView cls, int line, QStringView function, QStringView message) {
    // Composing costs an allocation or two; skip it when nobody listens.
    if (velmarDiagnostics().isDebugEnabled())
        write(QStringLiteral("[%1][%2][%3]%4").arg(cls, QString::number(line), function, message));
}

void DiagnosticLog::enable() {
    QLoggingCategory::setFilterRules(QStringLiteral("velmar.diagnostics.debug=true"));
}
