// The simulator's unit model against the monitor's recalculation: whatever
// the simulated oil, calcind on the simulated test record reproduces the unit's
// own dielectric, medians, spikes, slope, iron index and class.

#include "analysis/calcind.h"
#include "core/record.h"
#include "sim/unit_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace qqc {
namespace {

// The entries calcind computes, with the unit's name for each.
const int kCalcEntries[] = {Calc::bgp1, Calc::bgp2, Calc::bgp3, Calc::bgp4, Calc::bgp5, Calc::en, Calc::es,
                            Calc::sn, Calc::ss, Calc::sb, Calc::bns1, Calc::bns2, Calc::bns3, Calc::bigbspike,
                            Calc::smallbspike, Calc::numnspike, Calc::numsspike, Calc::slope, Calc::CRITICAL};
const int kRsltEntries[] = {Rslt::diel, Rslt::iron, Rslt::water, Rslt::lcont, Rslt::cont10};

void expectRecalculationMatchesUnit(const sim::OilSample& oil, const sim::Calibration& cal, std::uint32_t seed)
{
    // The decoder gives exactly what the simulator encodes (link tests).
    TestRecord r = sim::simulateTest(oil, cal, seed);
    ASSERT_TRUE(calcind(r, nullptr));
    const auto where = [&] {
        return testing::Message() << "diel " << oil.dielectric << " ferrous " << oil.ferrous << " water " << oil.water
                                  << " lcont " << oil.lcont << " signal " << oil.signal << " seed " << seed;
    };
    for (int k : kCalcEntries)
        ASSERT_EQ(r.PCCalc[k], r.Calc8700[k]) << "Calc " << k << ' ' << where();
    for (int k : kRsltEntries)
        ASSERT_EQ(r.PCRslt[k], r.Rslt8700[k]) << "Rslt " << k << ' ' << where();
}

TEST(UnitModel, RecalculationReproducesTheUnitForManyOils)
{
    std::mt19937 rng(8700);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int n = 0; n < 400; ++n) {
        sim::OilSample oil;
        oil.dielectric = pick(150, 450);
        oil.ferrous = pick(0, 400);
        oil.water = pick(0, 60);
        oil.lcont = pick(0, 7);
        oil.temperature = pick(20, 59);
        oil.signal = n % 10 == 0 ? pick(300, 700) : pick(1000, 30000);
        sim::Calibration cal;
        cal.freq220 = pick(4500, 6000);
        cal.freq300 = cal.freq220 - pick(300, 1500);
        cal.diel220 = pick(210, 230);
        cal.diel300 = pick(290, 310);
        expectRecalculationMatchesUnit(oil, cal, std::uint32_t(n + 1));
    }
}

TEST(UnitModel, RequestedParticlesComeOutAsTheClass)
{
    for (int water : {0, 2, 7, 20}) {
        for (int lcont = 0; lcont < 8; ++lcont) {
            sim::OilSample oil;
            oil.water = water;
            oil.lcont = lcont;
            const TestRecord r = sim::simulateTest(oil, {}, 5);
            // Non-ferrous particles alone in wet oil are code 5, class 6.
            const bool wet = water > 3 || (lcont & 1);
            const int expected = lcont == 4 && wet ? 6 : lcont;
            EXPECT_EQ(r.Rslt8700[Rslt::lcont], expected) << "water " << water << " lcont " << lcont;
            EXPECT_EQ(r.Calc8700[Calc::CRITICAL], 0);
            EXPECT_NEAR(r.Rslt8700[Rslt::water], std::max(water, lcont & 1 ? 5 : 0), 1);
            EXPECT_NEAR(r.Rslt8700[Rslt::iron], oil.ferrous, 2);
        }
    }
    sim::OilSample weak;
    weak.signal = 450;  // a failed test: every Base block below 500
    EXPECT_EQ(sim::simulateTest(weak, {}, 1).Rslt8700[Rslt::lcont], 7);
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
        expectRecalculationMatchesUnit(oil, {}, seed);
    }
    EXPECT_GT(nudged, 0);
}

} // namespace
} // namespace qqc
