// The judging rules: levels from the four limits, the values parameters
// store, flags, Trifold axes, and the mappings and colours of levels.
#include "analysis/severity.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qqc;

// Each limit holds "at or above": a value exactly at a limit reaches its
// level, the nearest value below it stays one level lower; the sign of the
// value does not count.
TEST(Severity, EachLimitIsReachedExactlyAtItAndNotJustBelow)
{
    const float limits[4] = {1.5f, 2.5f, 3.5f, 4.5f};
    for (int k = 0; k < 4; ++k) {
        const short level = short(k + 2);
        const float below = std::nextafter(limits[k], 0.0f);
        for (float sign : {1.0f, -1.0f}) {
            EXPECT_EQ(level, CalculateSeverity(sign * limits[k], 1.5f, 2.5f, 3.5f, 4.5f)) << "at limit " << k << " sign " << sign;
            EXPECT_EQ(level - 1, CalculateSeverity(sign * below, 1.5f, 2.5f, 3.5f, 4.5f)) << "below limit " << k << " sign " << sign;
        }
    }
    EXPECT_EQ(1, CalculateSeverity(0.0f, 1.5f, 2.5f, 3.5f, 4.5f));
}

TEST(Severity, ZeroLimitsAndLimitsOutOfOrder)
{
    EXPECT_EQ(0, CalculateSeverity(1e9f, 0, 0, 0, 0)) << "all limits 0: not evaluated";
    EXPECT_EQ(4, CalculateSeverity(4.9f, 0, 0, 0, 5)) << "a zero Alarm limit counts once any limit is set";
    EXPECT_EQ(5, CalculateSeverity(5.0f, 0, 0, 0, 5));
    EXPECT_EQ(5, CalculateSeverity(3.0f, 1, 8, 2, 3)) << "limits out of order resolve upward";
}

TEST(Severity, ChangeParametersDropNoValueOthersStoreNoNegative)
{
    for (int change : {56, 73}) {
        EXPECT_FALSE(valueToStore(change, NoValue)) << change;
        EXPECT_EQ(-5.0f, valueToStore(change, -5.0f)) << "a negative change is kept";
        EXPECT_EQ(std::nextafter(NoValue, 0.0f), valueToStore(change, std::nextafter(NoValue, 0.0f)));
    }
    EXPECT_EQ(0.0f, valueToStore(58, -0.01f));
    EXPECT_EQ(0.0f, valueToStore(65, NoValue)) << "-999 means nothing special to other parameters";
    EXPECT_EQ(2.5f, valueToStore(60, 2.5f));
}

TEST(Severity, FlagsAreJudgedByValueOthersByTheirAlarmSet)
{
    int asked = 0;
    const auto alarmSet = [&] { ++asked; return short(3); };
    EXPECT_EQ(1, storedLevel(65, 0.0f, alarmSet));
    EXPECT_EQ(4, storedLevel(67, 0.5f, alarmSet));
    EXPECT_EQ(0, asked) << "a flag never asks the alarm set";
    EXPECT_EQ(3, storedLevel(64, 0.0f, alarmSet));
    EXPECT_EQ(3, storedLevel(68, 0.0f, alarmSet));

    ParameterJudging j;
    j.known = true;
    j.limits = AlarmLimits{1, 2, 3, 4};
    EXPECT_EQ(0, alarmLevel(3.0f, j)) << "limits of a parameter that is not alarmed do not count";
    j.alarmed = true;
    EXPECT_EQ(4, alarmLevel(3.0f, j));
    j.limits.reset();
    EXPECT_EQ(0, alarmLevel(3.0f, j)) << "no limits row: not evaluated";
}

TEST(Severity, TriFoldTakesTheWorstCountedLevelPerAxis)
{
    ParameterJudging plain, alarmed;
    plain.known = alarmed.known = alarmed.alarmed = true;
    EXPECT_FALSE(countsOnTriFold(58, plain));
    EXPECT_TRUE(countsOnTriFold(58, alarmed));
    EXPECT_TRUE(countsOnTriFold(66, plain)) << "flags always count";
    EXPECT_FALSE(countsOnTriFold(66, ParameterJudging{})) << "unless the parameter is unknown";

    TriFoldLevels t;
    EXPECT_TRUE(t.add(Axis::Contamination, 1));
    EXPECT_TRUE(t.add(Axis::Chemistry, 5));
    EXPECT_TRUE(t.add(Axis::Chemistry, 2));
    EXPECT_TRUE(t.add(Axis::None, 5));
    EXPECT_FALSE(t.add(4, 5));
    EXPECT_FALSE(t.add(-1, 5));
    EXPECT_EQ(-1.0f, t.axisValue(Axis::Wear)) << "nothing counted";
    EXPECT_EQ(0.0f, t.axisValue(Axis::Contamination));
    EXPECT_EQ(85.0f, t.axisValue(Axis::Chemistry));
}

// Axis values and levels both ways, the bands' edges and the gaps between
// them; colours outside the level table are black (levels 0..5 are painted
// in the grid's tests).
TEST(Severity, AxisValuesAndLevelsMapBothWaysAndOddLevelsAreBlack)
{
    const float axis[] = {-1, 0, 10, 30, 55, 85};
    for (int level = 0; level <= 5; ++level) {
        EXPECT_EQ(axis[level], LevelToAxisValue(level));
        EXPECT_EQ(level, AxisValueToLevel(axis[level])) << "round trip of level " << level;
    }
    EXPECT_EQ(-1, LevelToAxisValue(-1));
    EXPECT_EQ(0, LevelToAxisValue(6));
    const std::pair<float, short> bands[] = {{1, 2},    {20, 2},    {21, 3},    {40, 3},    {41, 4},   {70, 4},
                                             {71, 5},   {100, 5},   {0.5f, 0},  {20.5f, 0}, {40.5f, 0}, {70.5f, 0},
                                             {101, 0},  {-2, 0}};
    for (const auto& [value, level] : bands)
        EXPECT_EQ(level, AxisValueToLevel(value)) << value;

    EXPECT_EQ(qRgb(0, 0, 0), GetSeverityColors(6));
    EXPECT_EQ(qRgb(0, 0, 0), GetSeverityColors(-1));
}
