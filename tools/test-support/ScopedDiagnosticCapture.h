#pragma once

#include <QLoggingCategory>
#include <QStringList>
#include <functional>

// Collects every diagnostic line written while it lives: it turns the diagnostics category on and
// takes its messages from Qt's message handler, handing the others on. Captures nest; every one
// in force sees each line, and `observer` (when given) hears of it as it is written.
class ScopedDiagnosticCapture {
public:
    using Observer = std::function<void(const QString& line)>;

    explicit ScopedDiagnosticCapture(Observer observer = {});
    ~ScopedDiagnosticCapture();
    ScopedDiagnosticCapture(const ScopedDiagnosticCapture&) = delete;
    ScopedDiagnosticCapture& operator=(const ScopedDiagnosticCapture&) = delete;

    const QStringList& lines() const { return lines_; }
    bool contains(const QString& line) const { return lines_.contains(line); }
    void clear() { lines_.clear(); }

private:
    static void handleMessage(QtMsgType type, const QMessageLogContext& context,
                              const QString& message);
    static void filterCategory(QLoggingCategory* category);

    QStringList lines_;
    Observer observer_;
    ScopedDiagnosticCapture* outer_;
};
