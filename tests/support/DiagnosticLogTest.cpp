#include <gtest/gtest.h>

#include "support/DiagnosticLog.h"
#include "support/ScopedDiagnosticCapture.h"

TEST(DiagnosticLog, ReachesOnlyTheInnermostInstalledSinkAndNeedsNone) {
    DiagnosticLog::write(u"Nobody", 1, u"f()", u" dropped");
    ScopedDiagnosticCapture outer;
    {
        ScopedDiagnosticCapture inner;
        DiagnosticLog::write(u"A", 2, u"g()", u" x");
        EXPECT_EQ(inner.lines(), QStringList{QStringLiteral("[A][2][g()] x")});
    }
    DiagnosticLog::write(QStringLiteral("back to the outer sink"));
    EXPECT_EQ(outer.lines(), QStringList{QStringLiteral("back to the outer sink")});
}
