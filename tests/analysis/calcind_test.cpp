// Index recalculation from raw readings: hand-worked records, error handling
// through the reporter, a property run over many random records, and the
// simulator's unit model as an oracle.

#include "analysis/calcind.h"
#include "analysis/calibration.h"
#include "core/record.h"
#include "sim/unit_model.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "util/std_error.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <vector>

namespace qqc {
namespace {

constexpr qint32 kUntouched = -77;

// A record with every reading at `level`, calibration 5000/4000/220/300 and
// a dielectric count of 4500; the lists hold a marker so that untouched
// entries can be seen.
TestRecord flatRecord(qint32 level = 1000)
{
    TestRecord r;
    r.raw8700.fill(level);
    r.CalData = {5000, 4000, 220, 300};
    r.Rslt8700[Rslt::Short] = 4500;
    r.PCCalc.fill(kUntouched);
    r.PCRslt.fill(kUntouched);
    return r;
}

// Channel differences reach -131070; a low sentinel value must not win.
TEST(Median5, TakesTheThirdLargestEvenFarBelowMinus32768)
{
    const std::vector<qint32> low{-100000, -100000, -100000, -100000, -50000};
    EXPECT_EQ(Median5(low, 0), -100000);
}

TEST(Calcind, FlatRecordGivesNoDropsNoSpikesAndClassZero)
{
    TestRecord r = flatRecord();
    ASSERT_TRUE(calcind(r, nullptr));

    // bgp1..5, the five medians, bns1..3, four spike counts, bspikemag
    // (untouched), slope, three spares (untouched), CRITICAL.
    constexpr qint32 u = kUntouched;
    EXPECT_EQ(r.PCCalc, (std::array<qint32, 23>{0, 0, 0, 0, 0, 1000, 1000, 1000, 1000, 1000, 0, 0, 0, 0, 0, 0, 0, u, 0,
                                                u, u, u, 0}));
    // Short (untouched), diel 220 + 500 * 80 / 1000, iron, water (-13 / 5
    // clamps to 0), class, two spares (untouched), cont10.
    EXPECT_EQ(r.PCRslt, (std::array<qint32, 8>{u, 260, 0, 0, 0, u, u, 0}));
}

TEST(Calcind, LowSignalBlockForcesTheFailureResults)
{
    TestRecord r = flatRecord();
    for (int i = 40; i <= 44; ++i)
        r.raw8700[i] = 400;  // Base block median M2 = 400
    ASSERT_TRUE(calcind(r, nullptr));

    EXPECT_EQ(r.PCCalc[Calc::CRITICAL], 1);
    EXPECT_EQ(r.PCCalc[Calc::bgp2], 600);      // M1 - M2; M2 - M3 is a rise and counts 0
    EXPECT_EQ(r.PCCalc[Calc::bgp3], 0);
    EXPECT_EQ(r.PCCalc[Calc::slope], 1200);    // |1000 - 2 * 400 + 1000|
    EXPECT_EQ(r.PCRslt[Rslt::cont10], 1174);   // s = (600 - 13) / 5 = 117.4
    EXPECT_EQ(r.PCRslt[Rslt::water], 999);
    EXPECT_EQ(r.PCRslt[Rslt::iron], 999);
    EXPECT_EQ(r.PCRslt[Rslt::lcont], 7);
}

TEST(Calcind, OneLoweredBaseReadingIsOneLargeSpike)
{
    TestRecord r = flatRecord();
    r.raw8700[50] = 980;  // e = 1000 - 980 - 4 = 16
    ASSERT_TRUE(calcind(r, nullptr));
    EXPECT_EQ(r.PCCalc[Calc::bigbspike], 1);
    EXPECT_EQ(r.PCCalc[Calc::smallbspike], 0);
    EXPECT_EQ(r.PCCalc[Calc::slope], 0);
    EXPECT_EQ(r.PCRslt[Rslt::lcont], 4);  // code 4

    r.raw8700[50] = 995;  // e = 1: the smallest small spike (996 would be none)
    ASSERT_TRUE(calcind(r, nullptr));
    EXPECT_EQ(r.PCCalc[Calc::bigbspike], 0);
    EXPECT_EQ(r.PCCalc[Calc::smallbspike], 1);
}

TEST(Calcind, DescendingBaseChannelGivesSlopeAndIronIndex)
{
    TestRecord r = flatRecord();
    for (int j = 0; j < 100; ++j)
        r.raw8700[j] = 2000 - 10 * j;
    ASSERT_TRUE(calcind(r, nullptr));
    // Medians 1980, 1780, 1580, 1380, 1180 and 1030 at 95.
    EXPECT_EQ(r.PCCalc[Calc::bgp1], 200);
    EXPECT_EQ(r.PCCalc[Calc::bgp5], 150);
    // s = (200 / 3 + 750 - 13) / 5 = 160.733...
    EXPECT_EQ(r.PCRslt[Rslt::water], 161);
    EXPECT_EQ(r.PCRslt[Rslt::cont10], 1607);
    // Z[i] = 2 * (1120 - 10 i) - 2000 = 240 - 20 i: medians Z[2], Z[4], Z[6].
    EXPECT_EQ(r.PCCalc[Calc::bns1], 200);
    EXPECT_EQ(r.PCCalc[Calc::bns2], 160);
    EXPECT_EQ(r.PCCalc[Calc::bns3], 120);
    EXPECT_EQ(r.PCRslt[Rslt::iron], 200);
    EXPECT_EQ(r.PCCalc[Calc::slope], 0);  // a straight line has no curvature
    EXPECT_EQ(r.PCRslt[Rslt::lcont], 0);  // code 1 (s above 3.8) has class 0
}

// Equal calibration counts divide by zero: the reporter shows the routine
// (it logs what it shows, tests/util), the lists keep their values, Retry
// computes again and Abort asks the program to stop.
TEST(CalcindErrors, EqualCountsAreReportedAndTheListsKeepTheirValues)
{
    test::TempHome home;
    test::ScriptedPrompter prompter;
    StdError errors{home.file(QStringLiteral("quorvelqc.log"))};
    TestRecord r = flatRecord();
    const TestRecord before = r;
    r.CalData = {4600, 4600, 220, 300};  // (4600 - 4500) * 80 / 0
    prompter.answers = {Answer::Ignore};

    EXPECT_FALSE(calcind(r, &errors));
    EXPECT_EQ(r.PCCalc, before.PCCalc);
    EXPECT_EQ(r.PCRslt, before.PCRslt);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text,
              QStringLiteral("Module: A8700\r\nProcedure: calcind\r\nError: Division by zero\r\nCode: 11\r\n"));
    EXPECT_EQ(errors.code(), 11);

    // At the calibration count itself the division is 0 / 0, an overflow.
    r.CalData = {4500, 4500, 220, 300};
    prompter.answers = {Answer::Ignore};
    EXPECT_FALSE(calcind(r, &errors));
    EXPECT_EQ(errors.code(), 6);
    EXPECT_EQ(r.PCRslt, before.PCRslt);

    QSignalSpy stop(&errors, &StdError::stopRequested);
    prompter.messages.clear();
    prompter.answers = {Answer::Retry, Answer::Abort};
    EXPECT_FALSE(calcind(r, &errors));
    EXPECT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(stop.count(), 1);
}

TEST(Calcind, DielectricBeyondThirtyTwoBitsIsAnOverflowNotAWrappedValue)
{
    TestRecord r = flatRecord();
    // 65534 * 65535 counts beyond the line.
    const CalcindInput in{std::span<const qint32, 300>(r.raw8700), -32767, 32767, 32766, -32768, 32767};
    CalcindError error;
    EXPECT_FALSE(computeIndices(in, r.PCCalc, r.PCRslt, &error));
    EXPECT_EQ(error.code, 6);
    EXPECT_EQ(r.PCRslt[Rslt::diel], kUntouched);
}

// For many random records: no crash, no read outside the 300 readings (the
// readings sit in a heap block of exactly 300 entries, so a sanitizer build
// catches any stray read), and every output either its documented value or
// unchanged.
TEST(CalcindProperty, RandomRecordsGiveDocumentedValuesOrNoChange)
{
    std::mt19937 rng(20261206);
    auto pick = [&](qint32 lo, qint32 hi) { return std::uniform_int_distribution<qint32>(lo, hi)(rng); };
    int computed = 0;
    std::array<qint32, 23> calcBefore;
    std::array<qint32, 8> rsltBefore;
    calcBefore.fill(kUntouched);
    rsltBefore.fill(kUntouched);
    for (int n = 0; n < 3000; ++n) {
        auto raw = std::make_unique<qint32[]>(300);
        const int mode = n % 4;
        const qint32 base = pick(0, 65535);
        for (int i = 0; i < 300; ++i) {
            switch (mode) {
            case 0: raw[i] = pick(0, 65535); break;                                     // any 16-bit reading
            case 1: raw[i] = std::clamp(base + pick(-30, 30), 0, 65535); break;           // near a level
            case 2: raw[i] = pick(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()); break;
            default: raw[i] = pick(400, 600); break;                                    // around the low-signal limit
            }
        }
        const qint32 count = pick(-32767, 32767), f220 = pick(-32768, 32767);
        const CalcindInput in{std::span<const qint32, 300>(raw.get(), 300), count, f220,
                              n % 10 == 0 ? f220 : pick(-32768, 32767), pick(-32768, 32767), pick(-32768, 32767)};
        std::array<qint32, 23> calc = calcBefore;
        std::array<qint32, 8> rslt = rsltBefore;
        CalcindError error;
        if (!computeIndices(in, calc, rslt, &error)) {
            ASSERT_TRUE(error.code == 6 || error.code == 11);
            ASSERT_EQ(calc, calcBefore);
            ASSERT_EQ(rslt, rsltBefore);
            continue;
        }
        ++computed;
        const std::span<const qint32> R(raw.get(), 300);
        ASSERT_EQ(rslt[Rslt::diel],
                  *DielectricIndex(in.count, {in.Freq220, in.Freq300, in.Diel220, in.Diel300}));
        for (auto [k, at] :
             {std::pair{Calc::en, 195}, {Calc::es, 295}, {Calc::sn, 100}, {Calc::ss, 200}, {Calc::sb, 0}})
            ASSERT_EQ(calc[k], Median5(R, at)) << "median " << k;
        for (int k = Calc::bgp1; k <= Calc::bgp5; ++k)
            ASSERT_GE(calc[k], 0);
        ASSERT_TRUE(calc[Calc::CRITICAL] == 0 || calc[Calc::CRITICAL] == 1);
        ASSERT_GE(calc[Calc::bigbspike], 0);
        ASSERT_GE(calc[Calc::smallbspike], 0);
        ASSERT_LE(calc[Calc::bigbspike] + calc[Calc::smallbspike], 85);
        ASSERT_LE(calc[Calc::numnspike], 85);
        ASSERT_LE(calc[Calc::numsspike], 85);
        ASSERT_GE(calc[Calc::slope], 0);
        ASSERT_GE(rslt[Rslt::cont10], 0);
        const bool low = calc[Calc::CRITICAL] == 1;
        if (low) {
            ASSERT_EQ(rslt[Rslt::water], 999);
            ASSERT_EQ(rslt[Rslt::iron], 999);
            ASSERT_EQ(rslt[Rslt::lcont], 7);
        } else {
            ASSERT_GE(rslt[Rslt::water], 0);
            ASSERT_LE(std::abs(qint64(rslt[Rslt::cont10]) - 10 * qint64(rslt[Rslt::water])), 5);
            ASSERT_EQ(rslt[Rslt::iron], std::max({calc[Calc::bns1], calc[Calc::bns2], calc[Calc::bns3], 0}));
            ASSERT_TRUE(rslt[Rslt::lcont] >= 0 && rslt[Rslt::lcont] <= 7) << rslt[Rslt::lcont];
        }
        for (int k : {int(Calc::bspikemag), int(Calc::spare1), int(Calc::spare2), int(Calc::spare3)})
            ASSERT_EQ(calc[k], kUntouched);
        for (int k : {int(Rslt::Short), int(Rslt::spare4), int(Rslt::spare5)})
            ASSERT_EQ(rslt[k], kUntouched);
    }
    EXPECT_GT(computed, 1000);
}

// The simulator's unit model computes its results by its own implementation:
// whatever the simulated oil, calcind on the simulated test record must
// reproduce the unit's dielectric, medians, spikes, slope, iron index and
// class. The decoder gives exactly what the simulator encodes (link tests).
void expectRecalculationMatchesUnit(TestRecord r, const testing::Message& where)
{
    ASSERT_TRUE(calcind(r, nullptr)) << where;
    for (int k = Calc::bgp1; k <= Calc::CRITICAL; ++k) {
        if (k != Calc::bspikemag && (k < Calc::spare1 || k > Calc::spare3)) {
            ASSERT_EQ(r.PCCalc[k], r.Calc8700[k]) << "Calc " << k << ' ' << where;
        }
    }
    for (int k : {int(Rslt::diel), int(Rslt::iron), int(Rslt::water), int(Rslt::lcont), int(Rslt::cont10)})
        ASSERT_EQ(r.PCRslt[k], r.Rslt8700[k]) << "Rslt " << k << ' ' << where;
}

// The oils cover every class the unit gives, failed tests (7) included.
TEST(UnitModel, RecalculationReproducesTheUnitForManyOilsOfEveryClass)
{
    std::mt19937 rng(8700);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::set<int> classes;
    for (int n = 0; n < 400; ++n) {
        sim::OilSample oil;
        oil.dielectric = pick(150, 450);
        oil.ferrous = pick(0, 400);
        oil.water = pick(0, 60);
        oil.lcont = pick(0, 7);
        oil.temperature = pick(20, 59);
        oil.signal = n % 10 == 0 ? pick(300, 700) : pick(1000, 30000);
        const int freq220 = pick(4500, 6000);
        const sim::Calibration cal{freq220, freq220 - pick(300, 1500), pick(210, 230), pick(290, 310)};
        const TestRecord r = sim::simulateTest(oil, cal, std::uint32_t(n + 1));
        classes.insert(r.Rslt8700[Rslt::lcont]);
        expectRecalculationMatchesUnit(r, testing::Message() << "diel " << oil.dielectric << " ferrous " << oil.ferrous
                                              << " water " << oil.water << " lcont " << oil.lcont << " signal "
                                              << oil.signal << " seed " << n + 1);
    }
    EXPECT_EQ(classes, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(UnitModel, ReadingsThatWouldFormTheEndTagAreNudgedAndResultsFollow)
{
    // A temperature byte of 60 ("<") followed by a Base reading of 0x3E45
    // ("E>" little-endian) would end the frame early.
    sim::OilSample oil;
    oil.signal = 0x3E45;
    oil.temperature = 59;  // 59 or 60 with the ripple
    oil.water = 0;
    int nudged = 0;
    for (std::uint32_t seed = 1; seed < 20; ++seed) {
        const TestRecord r = sim::simulateTest(oil, {}, seed);
        nudged += r.raw8700[1] != 0x3E45 || r.raw8700[2] != 0x3E45 || r.raw8700[3] != 0x3E45;
        expectRecalculationMatchesUnit(r, testing::Message() << "seed " << seed);
    }
    EXPECT_GT(nudged, 0);
}

} // namespace
} // namespace qqc
