// The replay's alignment on the monitor's commands, on a clock the test
// moves (the end-to-end replay is in tests/app/capture_replay_test.cpp).
#include "sim/replay_plan.h"

#include <gtest/gtest.h>

namespace qqc::sim {
namespace {

TEST(ReplayPlan, DropsStrayBytesGivesUpOnAMissingCommandAndFollowsCommandsWithTheirGap)
{
    const QDateTime t0(QDate(2026, 12, 6), QTime(18, 0), Qt::UTC);
    const auto at = [&t0](int ms) { return t0.addMSecs(ms); };
    // A reset answered with "J" (acknowledged "T"), then "S" (acknowledged "]").
    ReplayPlan plan({{CaptureEntry::Note, at(0), {}, "OPEN /dev/ttyUSB0", 1}, {CaptureEntry::Rx, at(2000), "<reset>", {}, 2},
                     {CaptureEntry::Tx, at(2400), "J", {}, 3}, {CaptureEntry::Rx, at(2420), "T", {}, 4},
                     {CaptureEntry::Tx, at(3000), "S", {}, 5}, {CaptureEntry::Rx, at(3100), "]", {}, 6}},
                    10, 3000);
    EXPECT_EQ(plan.advance(0).send, "");
    EXPECT_EQ(plan.advance(1999).send, "");  // the lead-in is kept whatever the speed
    EXPECT_EQ(plan.advance(2000).send, "<reset>");
    plan.received('x');
    EXPECT_EQ(plan.advance(2100).send, "");
    // "J" was due at 2040; given up 3 s later, and its answer follows as recorded.
    EXPECT_EQ(plan.advance(5039).send, "");
    EXPECT_EQ(plan.advance(5040).send, "");
    EXPECT_EQ(plan.advance(5042).send, "T");
    // "S" comes late; its answer follows it by the recorded gap, a tenth of 100 ms.
    plan.received('S');
    EXPECT_EQ(plan.advance(9000).send, "");
    EXPECT_EQ(plan.advance(9010).send, "]");
    EXPECT_EQ(plan.advance(9010).waitMs, -1);
    EXPECT_EQ(plan.takeMessages(), (QStringList{"line 3: the monitor sent 78 where 4A was recorded; dropped",
                                                "line 3: the monitor did not send 4A within 3 s; going on"}));
    EXPECT_EQ(plan.matchedBytes(), 1);
}

} // namespace
} // namespace qqc::sim
