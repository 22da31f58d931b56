#include <gtest/gtest.h>

#include "support/DiagnosticLog.h"
#include "support/ScopedDiagnosticCapture.h"

TEST(DiagnosticLog, ComposesTheLineLayoutAndReachesOnlyAnInstalledSink) {
    EXPECT_EQ(
        DiagnosticLog::compose(u"ParseConfig", 156, u"parseXML(from:)", u" XML parsing failed"),
        QStringLiteral("[ParseConfig][156][parseXML(from:)] XML parsing failed"));

    DiagnosticLog::write(u"Nobody", 1, u"f()", u" dropped");
    {
        ScopedDiagnosticCapture outer;
        {
            ScopedDiagnosticCapture inner;
            DiagnosticLog::write(u"A", 2, u"g()");
            EXPECT_EQ(inner.lines(), QStringList{QStringLiteral("[A][2][g()]")});
        }
        DiagnosticLog::write(QStringLiteral("back to the outer sink"));
        EXPECT_EQ(outer.lines(), QStringList{QStringLiteral("back to the outer sink")});
    }
}
