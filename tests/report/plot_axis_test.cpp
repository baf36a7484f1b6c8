#include "report/plot_axis.h"

#include <gtest/gtest.h>

using namespace qqc;

TEST(PlotAxis, ValuesMapOntoPixelsInEitherDirection)
{
    EXPECT_DOUBLE_EQ(valueToPixel(100.0, {90.0, 110.0}, 300.0, 100.0), 200.0);
    EXPECT_DOUBLE_EQ(valueToPixel(0.0, {0.0, 10.0}, 20.0, 120.0), 20.0);
    EXPECT_DOUBLE_EQ(valueToPixel(5.0, {3.0, 3.0}, 20.0, 120.0), 20.0);  // no span, no division by zero
}

TEST(PlotAxis, TicksAreRoundMultiplesInsideTheRange)
{
    EXPECT_EQ(niceTicks({98.2, 102.3}, 6), (QList<double>{99.0, 100.0, 101.0, 102.0}));
    EXPECT_EQ(niceTicks({-0.3, 0.3}, 4), (QList<double>{-0.2, 0.0, 0.2}));
    EXPECT_TRUE(niceTicks({1.0, 1.0}, 5).isEmpty());
}

TEST(PlotAxis, LabelsAreThinnedUntilTheyNoLongerOverlap)
{
    EXPECT_EQ(labelStride(30.0, 20.0, 4.0), 1);
    EXPECT_EQ(labelStride(10.0, 20.0, 4.0), 3);
    EXPECT_EQ(labelStride(0.5, 20.0, 4.0), 48);  // decades of months: every fourth January
    EXPECT_EQ(thinLabels({0.0, 10.0, 25.0, 30.0, 60.0}, {10.0, 10.0, 10.0, 10.0, 30.0}, 2.0),
              (QList<int>{0, 2, 4}));
}
