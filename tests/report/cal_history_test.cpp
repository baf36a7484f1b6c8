#include "report/cal_history.h"

#include "db/db_fixture.h"
#include "db/engine.h"

#include <gtest/gtest.h>

using namespace qqc;

namespace {
QDateTime at(int y, int m, int d, int h = 0, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min));
}
} // namespace

TEST(CalHistory, DatePositionsCountMonthsSince1972AndFebruaryHasItsTrueLength)
{
    EXPECT_FLOAT_EQ(float(calDatePosition(at(1972, 3, 1))), 2.0f);
    EXPECT_DOUBLE_EQ(calDatePosition(at(1972, 1, 16, 12)), 15.0 / 31 + 12.0 / 744);
    const double leapDay = calDatePosition(at(1976, 2, 29, 12));
    EXPECT_LT(leapDay, calDatePosition(at(1976, 3, 1)));
    EXPECT_GT(leapDay, calDatePosition(at(1976, 2, 28, 12)));
}

TEST(CalHistory, CentralValueAveragesTheMiddlePositions)
{
    EXPECT_EQ(centralValue({1000, 30, 10, 20}), 20);                // n 4: 0..2
    EXPECT_EQ(centralValue({50, 10, 40, 20, 30}), 30);              // n 5: 1..3
    EXPECT_EQ(centralValue({100, 1, 2, 3, 4, 5}), 3);               // n 6: 0..4
    EXPECT_EQ(centralValue({100, 1, 2, 3, 4, 5, 6}), 4);            // n 7: 1..5
    EXPECT_EQ(centralValue({8, 7, 6, 5, 4, 3, 2, 1}), 5);           // n 8: m 4, 2..6
    EXPECT_EQ(centralValue({9, 8, 7, 6, 5, 4, 3, 2, 1}), 5);        // n 9: m = 4.5 -> 4, 2..6
    QList<int> many;
    for (int i = 1; i <= 13; ++i)
        many.append(i * 10);
    EXPECT_EQ(centralValue(many), 70);                               // n 13: m = 6.5 -> 6, 4..8
}

TEST(CalHistory, VerticalRangeTakesTheNewestWhenFarOutAndSurvivesSwappedFluids)
{
    EXPECT_EQ(calVerticalRange(10000, 9000, 10100, 9000).max, 10200.0);
    EXPECT_EQ(calVerticalRange(10000, 9000, 10300, 9000).max, 10500.0);   // newest replaces H
    EXPECT_EQ(calVerticalRange(10000, 9000, 10000, 8700).min, 8500.0);    // newest replaces L
    const AxisRange swapped = calVerticalRange(10000, 10300, 10000, 10300);
    EXPECT_EQ(swapped.min, 9800.0);
    EXPECT_EQ(swapped.max, 10500.0);
}

TEST(CalHistory, PlotHasSixSeriesAndNeedsFourCalibrations)
{
    QList<CalHistoryRow> rows{{at(2020, 1, 5), 10000, 9000}, {at(2020, 6, 5), 10010, 9010},
                              {at(2021, 1, 5), 9990, 8990}};
    CalPlot p = calPlot(rows, CalAxis::Number);
    EXPECT_FALSE(p.drawn);
    EXPECT_EQ(p.numCal, 3);
    rows.append({at(2022, 1, 5), 10020, 9020});
    p = calPlot(rows, CalAxis::Number);
    ASSERT_TRUE(p.drawn);
    EXPECT_EQ(p.xTitle, "Calibration");
    EXPECT_EQ(p.series[0][3], QPointF(4.0, 10020));
    EXPECT_EQ(p.centre220, 10000);
    EXPECT_EQ(p.series[3][0].y(), 9925.0);
    EXPECT_EQ(p.series[4][2].y(), 9075.0);
    p = calPlot(rows, CalAxis::Date);
    EXPECT_EQ(p.xTitle, "Date");
    EXPECT_DOUBLE_EQ(p.series[1][0].x(), calDatePosition(at(2020, 1, 5)));
    ASSERT_FALSE(p.months.isEmpty());
    EXPECT_EQ(p.months.first().name, "Jan");
}

TEST(CalHistory, MonthNamesOfManyYearsNeverOverlap)
{
    QList<CalHistoryRow> rows;
    for (int y = 1990; y < 2025; ++y)
        rows.append({at(y, 5, 1), 10000, 9000});
    const CalPlot p = calPlot(rows, CalAxis::Date);
    const double width = 600.0, label = 24.0, gap = 4.0;
    const QList<int> shown = visibleMonthLabels(p, width, label, gap);
    ASSERT_GE(shown.size(), 5);
    for (int i = 1; i < shown.size(); ++i) {
        const double apart = (p.months[shown[i]].position - p.months[shown[i - 1]].position) / p.x.span() * width;
        EXPECT_GE(apart, label + gap);
    }
    EXPECT_EQ(p.months[shown[0]].name, "Jan");
}

class CalHistoryStore : public test::TemplateCopy {};

TEST_F(CalHistoryStore, ReadsTheStoredQueryOldestFirstAndSkipsIncompleteRows)
{
    auto store = openStore();
    db::Database& db = store->database();
    db.execute("INSERT INTO CalData (CalDate, Freq220, Freq300) VALUES ('2021-03-01T10:00:00', 10010, 9010)");
    db.execute("INSERT INTO CalData (CalDate, Freq220, Freq300) VALUES ('2020-03-01T10:00:00', 10000, 9000)");
    db.execute("INSERT INTO CalData (CalDate, Freq220, Freq300) VALUES (NULL, 10000, 9000)");
    db.execute("INSERT INTO CalData (CalDate, Freq220, Freq300) VALUES ('', 10000, 9000)");
    db.execute("INSERT INTO CalData (CalDate, Freq220, Freq300) VALUES ('2022-03-01T10:00:00', NULL, 9000)");
    const QList<CalHistoryRow> rows = readCalHistory(db);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].freq220, 10000);
    EXPECT_EQ(rows[1].date, QDateTime(QDate(2021, 3, 1), QTime(10, 0), Qt::UTC));
}
