#include "ScopedDiagnosticCapture.h"

#include <cstring>

#include "support/DiagnosticLog.h"

namespace {
ScopedDiagnosticCapture* innermost = nullptr;
// What the outermost capture replaced, put back when it ends.
QtMessageHandler previousHandler = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;
} // namespace

ScopedDiagnosticCapture::ScopedDiagnosticCapture(Observer observer)
    : observer_(std::move(observer)), outer_(innermost) {
    innermost = this;
    if (outer_)
        return;
    previousHandler = qInstallMessageHandler(handleMessage);
    previousFilter = QLoggingCategory::installFilter(filterCategory);
}

ScopedDiagnosticCapture::~ScopedDiagnosticCapture() {
    innermost = outer_;
    if (outer_)
        return;
    QLoggingCategory::installFilter(previousFilter);
    qInstallMessageHandler(previousHandler);
}

void ScopedDiagnosticCapture::handleMessage(QtMsgType type, const QMessageLogContext& context,
                                            const QString& message) {
    if (!context.category || std::strcmp(context.category, DiagnosticLog::categoryName) != 0) {
        if (previousHandler)
            previousHandler(type, context, message);
        return;
    }
    for (ScopedDiagnosticCapture* capture = innermost; capture; capture = capture->outer_) {
        capture->lines_.append(message);
        if (capture->observer_)
            capture->observer_(message);
    }
}

void ScopedDiagnosticCapture::filterCategory(QLoggingCategory* category) {
    if (previousFilter)
        previousFilter(category);
    if (std::strcmp(category->categoryName(), DiagnosticLog::categoryName) == 0)
        category->setEnabled(QtDebugMsg, true);
}
