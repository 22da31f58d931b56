#include "support/DiagnosticLog.h"

Q_LOGGING_CATEGORY(velmarDiagnostics, DiagnosticLog::categoryName, QtInfoMsg)

QString DiagnosticLog::compose(QStringView cls, int line, QStringView function,
                               QStringView message) {
    QString text;
    text.reserve(cls.size() + function.size() + message.size() + 16);
    text.append(u'[').append(cls).append(u"][").append(QString::number(line)).append(u"][");
    text.append(function).append(u']').append(message);
    return text;
}

void DiagnosticLog::write(const QString& line) {
    qCDebug(velmarDiagnostics).noquote() << line;
}

void DiagnosticLog::write(QStringView cls, int line, QStringView function, QStringView message) {
    // Composing costs an allocation or two; skip it when nobody listens.
    if (velmarDiagnostics().isDebugEnabled())
        write(compose(cls, line, function, message));
}

void DiagnosticLog::enable() {
    QLoggingCategory::setFilterRules(QStringLiteral("velmar.diagnostics.debug=true"));
}
