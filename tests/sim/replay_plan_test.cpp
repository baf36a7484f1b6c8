// The replay's timing and its alignment on the monitor's commands, on a
// clock the test moves.
#include "sim/replay_plan.h"

#include <gtest/gtest.h>

namespace qqc::sim {
namespace {

const QDateTime t0(QDate(2026, 12, 6), QTime(18, 0), Qt::UTC);

CaptureEntry rx(int ms, const QByteArray& bytes, int line = 0) { return {CaptureEntry::Rx, t0.addMSecs(ms), bytes, {}, line}; }
CaptureEntry tx(int ms, const QByteArray& bytes, int line = 0) { return {CaptureEntry::Tx, t0.addMSecs(ms), bytes, {}, line}; }
CaptureEntry note(int ms, const QString& text) { return {CaptureEntry::Note, t0.addMSecs(ms), {}, text, 0}; }

// A reset the monitor answered with "J" (acknowledged "T") 400 ms later,
// and a status 1000 ms after the acknowledgement.
const QList<CaptureEntry> resetAndDownload{note(0, "OPEN /dev/ttyUSB0"), rx(2000, "<reset>"), tx(2400, "J", 7),
                                           rx(2420, "T"), rx(3420, "<status>")};

TEST(ReplayPlan, KeepsTheLeadInAndWaitsForEachCommandBeforeItsAnswer)
{
    ReplayPlan plan(resetAndDownload, 10, 5000);
    // The monitor's start-up time is kept as recorded; later gaps shrink tenfold.
    EXPECT_EQ(plan.advance(0).send, "");
    EXPECT_EQ(plan.advance(1999).send, "");
    EXPECT_EQ(plan.advance(2000).send, "<reset>");
    // The answer waits for the command, however late it comes ...
    EXPECT_EQ(plan.advance(4000).send, "");
    plan.received('J');
    const ReplayPlan::Step step = plan.advance(4100);
    EXPECT_EQ(step.send, "");
    EXPECT_EQ(step.waitMs, 2);
    // ... and then follows it with the recorded gap.
    EXPECT_EQ(plan.advance(4102).send, "T");
    EXPECT_EQ(plan.advance(4201).send, "");
    EXPECT_EQ(plan.advance(4202).send, "<status>");
    EXPECT_TRUE(plan.finished());
    EXPECT_EQ(plan.advance(4300).waitMs, -1);
    EXPECT_EQ(plan.matchedBytes(), 1);
    EXPECT_EQ(plan.stalls(), 0);
}

TEST(ReplayPlan, DropsStrayBytesAndGoesOnWhenACommandNeverComes)
{
    ReplayPlan plan(resetAndDownload, 1, 3000);
    EXPECT_EQ(plan.advance(0).send, "");
    EXPECT_EQ(plan.advance(2000).send, "<reset>");
    plan.received('x');
    EXPECT_EQ(plan.advance(2100).send, "");
    EXPECT_EQ(plan.unexpectedBytes(), 1);
    // Due at 2400; given up 3 s later, and what followed it comes as recorded.
    EXPECT_EQ(plan.advance(5399).send, "");
    EXPECT_EQ(plan.advance(5400).send, "");
    EXPECT_EQ(plan.stalls(), 1);
    EXPECT_EQ(plan.advance(5420).send, "T");
    EXPECT_EQ(plan.takeMessages(), (QStringList{"line 7: the monitor sent 78 where 4A was recorded; dropped",
                                                "line 7: the monitor did not send 4A within 3 s; going on"}));
}

} // namespace
} // namespace qqc::sim
