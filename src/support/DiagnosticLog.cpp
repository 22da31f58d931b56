#include "support/DiagnosticLog.h"

namespace {
DiagnosticLog::Sink& currentSink() {
    static DiagnosticLog::Sink sink;
    return sink;
}
} // namespace

QString DiagnosticLog::compose(QStringView cls, int line, QStringView function,
                               QStringView message) {
    QString text;
    text.reserve(cls.size() + function.size() + message.size() + 16);
    text.append(u'[').append(cls).append(u"][").append(QString::number(line)).append(u"][");
    text.append(function).append(u']').append(message);
    return text;
}

void DiagnosticLog::write(const QString& line) {
    if (const Sink& sink = currentSink())
        sink(line);
}

void DiagnosticLog::write(QStringView cls, int line, QStringView function, QStringView message) {
    // Composing costs an allocation or two; skip it when nobody listens.
    if (currentSink())
        write(compose(cls, line, function, message));
}

DiagnosticLog::Sink DiagnosticLog::setSink(Sink sink) {
    Sink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}
