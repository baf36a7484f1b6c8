// Alarm levels, axis values and colours.
#include "analysis/severity.h"

#include <gtest/gtest.h>

using namespace qqc;

TEST(Severity, AbsoluteValueIsComparedWithGreaterOrEqualLimits)
{
    EXPECT_EQ(3, CalculateSeverity(-2.5f, 1, 2, 3, 4));
    EXPECT_EQ(3, CalculateSeverity(2.0f, 1, 2, 3, 4)) << "exactly Alert";
    EXPECT_EQ(2, CalculateSeverity(std::nextafter(2.0f, 0.0f), 1, 2, 3, 4)) << "just below Alert";
    EXPECT_EQ(1, CalculateSeverity(0.5f, 1, 2, 3, 4));
    EXPECT_EQ(5, CalculateSeverity(4.0f, 1, 2, 3, 4));
    EXPECT_EQ(0, CalculateSeverity(1e9f, 0, 0, 0, 0)) << "all limits 0: not evaluated";
    EXPECT_EQ(4, CalculateSeverity(4.9f, 0, 0, 0, 5)) << "a zero Alarm limit counts once any limit is set";
    EXPECT_EQ(5, CalculateSeverity(5.0f, 0, 0, 0, 5));
    EXPECT_EQ(5, CalculateSeverity(3.0f, 1, 8, 2, 3)) << "limits out of order resolve upward";
}

TEST(Severity, AxisValuesAndLevelsMapBothWays)
{
    const float axis[] = {-1, 0, 10, 30, 55, 85};
    for (int level = 0; level <= 5; ++level) {
        EXPECT_EQ(axis[level], LevelToAxisValue(level));
        EXPECT_EQ(level, AxisValueToLevel(axis[level])) << "round trip of level " << level;
    }
    EXPECT_EQ(-1, LevelToAxisValue(-1));
    EXPECT_EQ(0, LevelToAxisValue(6));
    EXPECT_EQ(2, AxisValueToLevel(20));
    EXPECT_EQ(3, AxisValueToLevel(21));
    EXPECT_EQ(0, AxisValueToLevel(20.5f));
    EXPECT_EQ(0, AxisValueToLevel(101));
    EXPECT_EQ(0, AxisValueToLevel(0.5f));
    EXPECT_EQ(5, AxisValueToLevel(100));
}

// Levels 0..5 are checked through the grid's cells; here only the edges.
TEST(Severity, ColoursOutsideTheLevelTableAreBlack)
{
    EXPECT_EQ(qRgb(255, 0, 0), GetSeverityColors(5));
    EXPECT_EQ(qRgb(0, 0, 0), GetSeverityColors(6));
    EXPECT_EQ(qRgb(0, 0, 0), GetSeverityColors(-1));
}
