#pragma once

#include <QList>
#include <QStringView>

// Release files are counted in user-perceived characters (grapheme clusters), not UTF-16 units, so
// a stray accent or emoji shifts positions as it does for a reader. ASCII text (every real release
// file) needs no segmenting; other text is segmented once.
class CharacterBoundaries {
public:
    explicit CharacterBoundaries(QStringView text);

    qsizetype count() const { return starts_.isEmpty() ? text_.size() : starts_.size() - 1; }
    // The unit offset where character `index` starts; count() gives the text's size.
    qsizetype offsetOf(qsizetype index) const;
    QStringView character(qsizetype index) const { return characters(index, index + 1); }
    // Characters [from, to); empty when to <= from.
    QStringView characters(qsizetype from, qsizetype to) const;

    static bool isAscii(QChar c) { return c.unicode() < 0x80; }
    // True when every UTF-16 unit is a character on its own (ASCII without a CR LF pair).
    static bool eachUnitIsACharacter(QStringView text);
    // Whether a character boundary lies before unit `position`.
    static bool isBoundary(QStringView text, qsizetype position);
    // Prefix and substring tests that only match whole characters, so "v" does not match the start
    // of "v" followed by a combining accent.
    static bool startsWith(QStringView text, QStringView prefix);
    static bool contains(QStringView text, QStringView needle);

private:
    QStringView text_;
    QList<qsizetype> starts_; // empty when each unit is a character
};
