#pragma once

#include <QString>
#include <QStringView>
#include <functional>

// The program's debug log. Lines are composed the same way everywhere and handed to one sink,
// which discards them unless somebody (a test, a developer) installs another.
class DiagnosticLog {
public:
    using Sink = std::function<void(const QString& line)>;

    // "[" + cls + "][" + line + "][" + function + "]" + message
    static QString compose(QStringView cls, int line, QStringView function,
                           QStringView message = {});

    static void write(const QString& line);
    static void write(QStringView cls, int line, QStringView function, QStringView message = {});

    // Installs a sink and returns the one it replaces. An empty sink discards.
    static Sink setSink(Sink sink);
};
