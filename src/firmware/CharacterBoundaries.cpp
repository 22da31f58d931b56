#include "firmware/CharacterBoundaries.h"

#include <QTextBoundaryFinder>
#include <algorithm>

CharacterBoundaries::CharacterBoundaries(QStringView text) : text_(text) {
    if (eachUnitIsACharacter(text))
        return;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    starts_.append(0);
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary())
        starts_.append(at);
    if (starts_.constLast() != text.size())
        starts_.append(text.size());
}

qsizetype CharacterBoundaries::offsetOf(qsizetype index) const {
    return starts_.isEmpty() ? index : starts_.at(index);
}

QStringView CharacterBoundaries::characters(qsizetype from, qsizetype to) const {
    if (to <= from)
        return {};
    const qsizetype begin = offsetOf(from);
    return text_.sliced(begin, offsetOf(to) - begin);
}

bool CharacterBoundaries::eachUnitIsACharacter(QStringView text) {
    return std::ranges::all_of(text, isAscii) && !text.contains(u"\r\n");
}

bool CharacterBoundaries::isBoundary(QStringView text, qsizetype position) {
    if (position <= 0 || position >= text.size())
        return true;
    const QChar before = text[position - 1];
    const QChar after = text[position];
    // Between two ASCII units only CR LF stays together; anything else needs the full rules.
    if (isAscii(before) && isAscii(after))
        return !(before == u'\r' && after == u'\n');
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    finder.setPosition(position);
    return finder.isAtBoundary();
}

bool CharacterBoundaries::startsWith(QStringView text, QStringView prefix) {
    return text.startsWith(prefix) && isBoundary(text, prefix.size());
}

bool CharacterBoundaries::contains(QStringView text, QStringView needle) {
    for (qsizetype at = text.indexOf(needle); at >= 0; at = text.indexOf(needle, at + 1))
        if (isBoundary(text, at) && isBoundary(text, at + needle.size()))
            return true;
    return false;
}
