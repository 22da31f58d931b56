#include <gtest/gtest.h>

#include <QStringList>

#include "firmware/LineSplitter.h"

static QStringList strings(const QList<QStringView>& views) {
    QStringList list;
    for (QStringView view : views)
        list.append(view.toString());
    return list;
}

TEST(LineSplitter, ImageLinesEndAtEveryLineBreakAndDropEmptyLines) {
    const QString text = QStringLiteral("a\nb\rc\r\nd\ve\ff") + QChar(0x85) + u'g' + QChar(0x2028) +
                         u'h' + QChar(0x2029) + QStringLiteral("i\n\n\r\n\r\r j \t\n");
    EXPECT_EQ(strings(LineSplitter::imageLines(text)),
              (QStringList{"a", "b", "c", "d", "e", "f", "g", "h", "i", " j \t"}));
    EXPECT_TRUE(LineSplitter::imageLines(u"\r\n\n").isEmpty());
}

TEST(LineSplitter, DescriptionLinesEndOnlyAtCrLfAndKeepLoneBreaks) {
    EXPECT_EQ(strings(LineSplitter::descriptionLines(u"a\r\nb\nc\rd\r\n\r\n e \r\n")),
              (QStringList{"a", "b\nc\rd", " e "}));
    EXPECT_EQ(strings(LineSplitter::descriptionLines(u"x\r\r\ny\n")), (QStringList{"x\r", "y\n"}));
    EXPECT_EQ(strings(LineSplitter::descriptionLines(u"// notes\nV1,0x1\n")),
              QStringList{"// notes\nV1,0x1\n"});
}
