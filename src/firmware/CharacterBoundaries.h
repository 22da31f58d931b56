#pragma once

#include <QList>
#include <QStringView>

// Release files are counted in user-perceived characters (grapheme clusters), not UTF-16 units:
// "position 7", "the last two characters" and "the first two characters" all mean characters. For
// ASCII text (all real release files) a unit is a character and nothing is computed; other text is
// segmented once, so a stray accent or emoji shifts positions the same way it does for a reader,
// and never reads past the end.
class CharacterBoundaries {
public:
    explicit CharacterBoundaries(QStringView text);

    qsizetype count() const;
    // The unit offset where character `index` starts; count() gives the text's size.
    qsizetype offsetOf(qsizetype index) const;
    QStringView character(qsizetype index) const;
    // Characters [from, to); empty when to <= from.
    QStringView characters(qsizetype from, qsizetype to) const;

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
