#include <gtest/gtest.h>

#include "ScopedDiagnosticCapture.h"
#include "support/DiagnosticLog.h"

TEST(DiagnosticLog, IsOffUnlessCapturedAndReachesEveryCaptureInForce) {
    EXPECT_FALSE(velmarDiagnostics().isDebugEnabled());
    DiagnosticLog::write(u"Nobody", 1, u"f()", u" dropped");
    ScopedDiagnosticCapture outer;
    {
        ScopedDiagnosticCapture inner;
        DiagnosticLog::write(u"A", 2, u"g()", u" x");
        EXPECT_EQ(inner.lines(), QStringList{QStringLiteral("[A][2][g()] x")});
    }
    DiagnosticLog::write(QStringLiteral("only the outer"));
    EXPECT_EQ(outer.lines(), (QStringList{"[A][2][g()] x", "only the outer"}));
}
