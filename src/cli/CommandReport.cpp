#include "cli/CommandReport.h"

void CommandReport::write(FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
    // A script reading the other end acts on each line as it comes, not when the program ends.
    std::fflush(stream);
}
