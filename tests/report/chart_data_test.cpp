#include "report/chart_data.h"

#include <gtest/gtest.h>

using namespace qqc;

namespace {
// Calibration 10000 / 9000 counts at 2.20 / 3.00: 1000 counts per 0.80.
TestRecord calibrated()
{
    TestRecord r;
    r.CalData = {10000, 9000, 220, 300};
    return r;
}
} // namespace

TEST(ChartRange, PercentFrequencyStepFollowsTheDropToTheLastSouthReading)
{
    // base 10000: top (10020 / 10000 * 100 = 100.2) is raised to 100.3.
    const struct { double last, bottom; } cases[] = {
        {9800, 98.3}, {9500, 95.3}, {9000, 90.3}, {5000, 50.3}, {2000, 0.3}};
    for (const auto& c : cases) {
        const AxisRange r = percentFrequencyRange(10000, c.last);
        EXPECT_DOUBLE_EQ(r.max, 100.3);
        EXPECT_DOUBLE_EQ(r.min, c.bottom) << c.last;
    }
    // base 1600: top 101.25 is an exact half and goes to the even 101.2.
    EXPECT_DOUBLE_EQ(percentFrequencyRange(1600, 1600).max, 101.2);
    EXPECT_DOUBLE_EQ(percentFrequencyRange(1600, 1600).min, 99.2);
}

TEST(ChartRange, DielectricRangeMovesOutwardsAndRoundsHalvesToEven)
{
    // 2.0 - 0.15 = 1.85 -> 1.8; 2.1 + 0.15 = 2.25 -> 2.2.
    EXPECT_DOUBLE_EQ(dielectricRange(2.0, 2.1).min, 1.8);
    EXPECT_DOUBLE_EQ(dielectricRange(2.0, 2.1).max, 2.2);
    // 2.2 - 0.15 = 2.05 -> 2.0 (not 2.1 from the binary error); 3.15 -> 3.2.
    const AxisRange r = chartPlot([] { auto t = calibrated(); t.raw8700[0] = 10000; t.raw8700[299] = 9000; return t; }(),
                                  ChartMode::Dielectric).y;
    EXPECT_DOUBLE_EQ(r.min, 2.0);
    EXPECT_DOUBLE_EQ(r.max, 3.2);
}

TEST(ChartPlot, PercentSeriesAreRelativeToTheFirstBaseReadingAndZeroBaseIsOne)
{
    TestRecord r = calibrated();
    r.raw8700.fill(8000);
    r.raw8700[150] = 4000;
    ChartPlot p = chartPlot(r, ChartMode::PercentFrequency);
    EXPECT_EQ(p.yTitle, "% Frequency");
    ASSERT_EQ(p.series[1].size(), 100);
    EXPECT_EQ(p.series[1][50], QPointF(25.0, 50.0));
    EXPECT_EQ(p.series[0][99], QPointF(49.5, 100.0));

    r.raw8700[0] = 0;
    r.raw8700[1] = 5;
    p = chartPlot(r, ChartMode::PercentFrequency);
    EXPECT_DOUBLE_EQ(p.series[0][1].y(), 500.0);
    EXPECT_DOUBLE_EQ(p.y.max, 2100.0);
}

TEST(ChartPlot, DielectricUsesTheTestsOwnCalibrationAndCapsAt16)
{
    TestRecord r = calibrated();
    r.raw8700.fill(9500);
    r.raw8700[5] = -8000;   // (10000 + 8000) / 1000 * 80 + 220 = 1660 -> 16
    const ChartPlot p = chartPlot(r, ChartMode::Dielectric);
    EXPECT_EQ(p.yTitle, "Dielectric");
    EXPECT_DOUBLE_EQ(p.series[0][1].y(), 2.6);
    EXPECT_DOUBLE_EQ(p.series[0][5].y(), 16.0);
    EXPECT_EQ(rawRowTexts(r, 5, ChartMode::Dielectric)[1], "16");
}

TEST(ChartPlot, EqualCalibrationCountsGiveNoDielectricButPercentStillWorks)
{
    TestRecord r;   // the all-zero calibration of a unit that lost it
    r.raw8700.fill(9000);
    const ChartPlot p = chartPlot(r, ChartMode::Dielectric);
    EXPECT_EQ(p.notice, "No dielectric: the test's calibration counts are equal");
    for (const auto& s : p.series)
        EXPECT_TRUE(s.isEmpty());
    EXPECT_TRUE(std::isfinite(p.y.min) && std::isfinite(p.y.max));
    EXPECT_EQ(rawRowTexts(r, 0, ChartMode::Dielectric)[1], "");
    EXPECT_EQ(chartPlot(r, ChartMode::PercentFrequency).series[2].size(), 100);
}

TEST(ChartGrids, RowsCarryLabelsValuesAndUpperCaseHex)
{
    TestRecord r = calibrated();
    r.raw8700[3] = 0xBEEF;
    r.raw8700[103] = -1;
    r.raw8700[203] = 10;
    r.Temp[3] = -2;
    EXPECT_EQ(rawRowTexts(r, 3, ChartMode::PercentFrequency),
              (QStringList{"4", "48879", "-1", "10", "-2", "BEEF", "FFFFFFFF", "A", "FFFE"}));
    r.PCRslt[Rslt::Short] = 7;
    r.PCRslt[Rslt::diel] = 245;
    const auto results = resultRows(r);
    ASSERT_EQ(results.size(), 8);
    EXPECT_EQ(results[0], (QStringList{"Short", "0", ""}));
    EXPECT_EQ(results[1], (QStringList{"diel", "0", "245"}));
    EXPECT_EQ(calcRows(r).last()[0], "CRITICAL");
    EXPECT_EQ(calDataRows(r)[1], (QStringList{"freq B", "9000", "2328"}));
}
