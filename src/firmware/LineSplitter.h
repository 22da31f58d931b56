#pragma once

#include <QList>
#include <QStringTokenizer>
#include <QStringView>

// The two ways release text is cut into lines. Image files come from every kind of editor and tool,
// so any line break ends an image line. Description files and version lists are written with CR LF
// and only CR LF ends a line there: a lone CR or LF stays part of the line. Under both rules empty
// lines are dropped and nothing is trimmed. The views point into the text they were cut from.
class LineSplitter {
public:
    // LF, VT, FF, CR, NEL, LS and PS each end a line (CR LF is one break: the empty line between
    // them is dropped like any other).
    static bool isImageLineBreak(QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
    }

    // Calls visit(QStringView line) for each non-empty image line, in order, without allocating.
    template <typename Visit> static void forEachImageLine(QStringView text, Visit&& visit) {
        const QChar* const begin = text.data();
        const qsizetype size = text.size();
        qsizetype lineStart = 0;
        for (qsizetype i = 0; i < size; ++i) {
            if (!isImageLineBreak(begin[i]))
                continue;
            if (i > lineStart)
                visit(QStringView(begin + lineStart, i - lineStart));
            lineStart = i + 1;
        }
        if (size > lineStart)
            visit(QStringView(begin + lineStart, size - lineStart));
    }

    static QList<QStringView> descriptionLines(QStringView text) {
        return text.tokenize(u"\r\n", Qt::SkipEmptyParts).toContainer();
    }
};
