#pragma once
// The calibration history's data, without a window: the stored calibrations
// read from the query CalDataQuery (oldest first, the last row the newest),
// the date position of a calibration (months since 1 January 1972), the
// central value of a series, the vertical range and the six series of the
// chart. frmCal (report/ui) only shows what these return.

#include "report/plot_axis.h"

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QString>

#include <array>

namespace qqc::db {
class Database;
}

namespace qqc {

struct CalHistoryRow {
    QDateTime date;   // the stored wall-clock time (read back in UTC)
    int freq220 = 0;
    int freq300 = 0;
};

// Every row of CalDataQuery with a date and both counts; a row missing one of
// them (possible in converted old files) is left out. Reads the query whole
// and keeps no record set open.
QList<CalHistoryRow> readCalHistory(db::Database& database);

// Months since 1 January 1972: the month boundaries passed, plus the day,
// hour and minute as fractions of the date's own month (a leap February has
// 29 days).
double calDatePosition(const QDateTime& date);

// The central value of `values`: the mean of the middle positions of the
// sorted values (n = 3 or 4: positions 0..2; 5: 1..3; 6: 0..4; 7: 1..5;
// above 7: m - 2 .. m + 2 with m = n / 2 rounded half to even; below 3 all
// of them), rounded half to even.
int centralValue(QList<int> values);

// The vertical range: top = H + 200, bottom = L - 200 with H the Freq220
// central value (the newest Freq220 when above it + 200) and L the Freq300
// central value (the newest Freq300 when below it - 200). When the Freq300
// centre is not below the Freq220 centre (the fluids swapped), or the range
// would not hold both centres +- 75, it runs from the lower centre - 200 to
// the higher + 200.
AxisRange calVerticalRange(int centre220, int centre300, int newest220, int newest300);

enum class CalAxis { Number, Date };

struct CalMonthTick {
    double position = 0.0;   // date position of the month's first day
    QString name;            // abbreviated month name ("%b")
};

struct CalPlot {
    static constexpr int SeriesCount = 6;
    // Freq220, Freq300, Freq220 + 75, Freq220 - 75, Freq300 + 75, Freq300 - 75.
    std::array<QList<QPointF>, SeriesCount> series;
    int numCal = 0;          // NumCal: the rows drawn
    bool drawn = false;      // false with fewer than 4 rows
    QString xTitle;          // "Calibration" or "Date"
    AxisRange x, y;
    int centre220 = 0, centre300 = 0;
    QList<CalMonthTick> months;   // the date axis's month boundaries inside x
};

const QStringList& calSeriesNames();

CalPlot calPlot(const QList<CalHistoryRow>& rows, CalAxis axis);

// The month names the date axis shows on a plot `plotWidth` pixels wide with
// labels at most `labelWidth` wide: every month, or every 2nd, 3rd, 4th, 6th
// or 12n-th, so that neighbouring names stay `gap` pixels apart. Indices into
// plot.months.
QList<int> visibleMonthLabels(const CalPlot& plot, double plotWidth, double labelWidth, double gap);

} // namespace qqc
