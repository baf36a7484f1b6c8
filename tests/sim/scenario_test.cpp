// The simulator's scenario is checked whole before anything runs.
#include "sim/scenario.h"

#include <gtest/gtest.h>

using namespace qqc::sim;
using Kind = ScenarioStep::Kind;

TEST(Scenario, StepsKeepTheirArgumentsAndLeaveOutTheRest)
{
    QString error;
    const auto steps = parseScenario(QStringLiteral(" Tests:3:0.5 ;; error:no:grid, grid:unplugged,grid:9000,firmware"), &error);
    ASSERT_TRUE(steps) << error.toStdString();
    ASSERT_EQ(steps->size(), 5);
    EXPECT_EQ((*steps)[0].kind, Kind::Tests);
    EXPECT_EQ((*steps)[0].numbers, (QList<double>{3, 0.5}));
    EXPECT_EQ((*steps)[1].text, QStringLiteral("no:grid"));
    EXPECT_EQ((*steps)[2].kind, Kind::NoGrid);
    EXPECT_EQ((*steps)[3].number(0), 9000);
    EXPECT_EQ((*steps)[3].number(1, 100), 100);
    EXPECT_TRUE((*steps)[4].text.isEmpty());
}

// A mistyped step must stop the program at start-up, not run as something else
// ("status:x" used to send status 0, "test:3" one test) or after a long run.
TEST(Scenario, MalformedStepIsRejectedByName)
{
    for (const char* bad : {"tests:2:30,tset", "status:x", "test:3", "cal:1:2:3:4:5", "grid:unplugged:1", "wait:"}) {
        QString error;
        EXPECT_FALSE(parseScenario(QString::fromLatin1(bad), &error)) << bad;
        EXPECT_TRUE(error.contains(QString::fromLatin1(bad).section(QLatin1Char(','), -1))) << error.toStdString();
    }
}
