#include "firmware/LineSplitter.h"

QList<QStringView> LineSplitter::descriptionLines(QStringView text) {
    static constexpr QStringView breakPair = u"\r\n";
    QList<QStringView> lines;
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        qsizetype end = text.indexOf(breakPair, lineStart);
        if (end < 0)
            end = text.size();
        if (end > lineStart)
            lines.append(text.sliced(lineStart, end - lineStart));
        lineStart = end + breakPair.size();
    }
    return lines;
}
