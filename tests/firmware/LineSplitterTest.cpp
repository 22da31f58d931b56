#include <gtest/gtest.h>

#include <QStringList>

#include "firmware/LineSplitter.h"

static QStringList strings(const QList<QStringView>& views) {
    QStringList list;
    for (QStringView view : views)
        list.append(view.toString());
    return list;
}

TEST(LineSplitter, ImageLinesDropEmptyLinesAndKeepTheirOwnWhiteSpace) {
    EXPECT_EQ(strings(LineSplitter::imageLines(u"a\n\n\r\n\r\r j \t\n")),
              (QStringList{"a", " j \t"}));
}

TEST(LineSplitter, DescriptionLinesEndOnlyAtCrLfSoAnLfOnlyFileIsOneLine) {
    EXPECT_EQ(strings(LineSplitter::descriptionLines(u"a\r\nb\nc\rd\r\n\r\n e \r\n")),
              (QStringList{"a", "b\nc\rd", " e "}));
    EXPECT_EQ(strings(LineSplitter::descriptionLines(u"x\r\r\ny\n")), (QStringList{"x\r", "y\n"}));
    EXPECT_EQ(strings(LineSplitter::descriptionLines(u"// notes\nV1,0x1\n")),
              QStringList{"// notes\nV1,0x1\n"});
}
