#include "cli/CommandReport.h"

void CommandReport::write(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    // A script reading the other end acts on each line as it comes, not when the program ends.
    std::fflush(stream);
}
