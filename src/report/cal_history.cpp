#include "report/cal_history.h"

#include "db/engine.h"
#include "util/vb_format.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <cmath>

namespace qqc {

namespace {
// A stored calibration date as the wall-clock time it was written with, kept
// in UTC: no time-zone rule moves it (a local time inside a daylight-saving
// gap would move), and thousands of local times are slow to build. Text in
// the ISO form is split by hand; anything else goes through QVariant.
QDateTime wallClock(const QVariant& stored)
{
    if (stored.isNull())
        return {};
    if (stored.typeId() == QMetaType::QString) {
        const QString text = stored.toString();
        const QDate day = QDate::fromString(text.left(10), Qt::ISODate);
        const QTime time = text.size() > 11 ? QTime::fromString(text.mid(11), Qt::ISODate) : QTime(0, 0);
        if (day.isValid() && time.isValid())
            return QDateTime(day, time, Qt::UTC);
    }
    const QDateTime parsed = stored.toDateTime();
    return parsed.isValid() ? QDateTime(parsed.date(), parsed.time(), Qt::UTC) : QDateTime();
}
} // namespace

QList<CalHistoryRow> readCalHistory(db::Database& database)
{
    // The stored query's text run forward-only: a history of thousands of
    // calibrations is read in one pass, without a cursor's copy of each row.
    QSqlQuery q(database.connection());
    q.setForwardOnly(true);
    if (!q.exec(database.queryDef(QStringLiteral("CalDataQuery"))->sql()))
        throw db::DbError(db::DbErr::Generic, q.lastError().text());
    const QSqlRecord fields = q.record();
    const int dateAt = fields.indexOf(QStringLiteral("CalDate"));
    const int f220At = fields.indexOf(QStringLiteral("Freq220"));
    const int f300At = fields.indexOf(QStringLiteral("Freq300"));
    QList<CalHistoryRow> rows;
    while (q.next()) {
        const QVariant date = q.value(dateAt);
        const QVariant f220 = q.value(f220At);
        const QVariant f300 = q.value(f300At);
        bool ok220 = false, ok300 = false;
        const int freq220 = f220.toInt(&ok220), freq300 = f300.toInt(&ok300);
        const QDateTime when = wallClock(date);
        if (when.isValid() && ok220 && ok300 && !f220.isNull() && !f300.isNull())
            rows.append({when, freq220, freq300});
    }
    return rows;
}

double calDatePosition(const QDateTime& date)
{
    const QDate d = date.date();
    const QTime t = date.time();
    const double days = d.daysInMonth();
    const double months = (d.year() - 1972) * 12.0 + (d.month() - 1);
    return months + (d.day() - 1) / days + t.hour() / (days * 24.0) + t.minute() / (days * 24.0 * 60.0);
}

int centralValue(QList<int> values)
{
    const int n = int(values.size());
    if (n == 0)
        return 0;
    std::sort(values.begin(), values.end());
    int first = 0, last = n - 1;
    if (n == 3 || n == 4) {
        first = 0, last = 2;
    } else if (n == 5) {
        first = 1, last = 3;
    } else if (n == 6) {
        first = 0, last = 4;
    } else if (n == 7) {
        first = 1, last = 5;
    } else if (n > 7) {
        const int m = int(RoundHalfEven(n / 2.0));
        first = m - 2, last = m + 2;
    }
    double sum = 0.0;
    for (int i = first; i <= last; ++i)
        sum += values[i];
    return int(RoundHalfEven(sum / (last - first + 1)));
}

AxisRange calVerticalRange(int centre220, int centre300, int newest220, int newest300)
{
    const int high = newest220 > centre220 + 200 ? newest220 : centre220;
    const int low = newest300 < centre300 - 200 ? newest300 : centre300;
    AxisRange range{low - 200.0, high + 200.0};
    const int lower = std::min(centre220, centre300), higher = std::max(centre220, centre300);
    if (centre300 >= centre220 || range.min > lower - 75 || range.max < higher + 75)
        range = {lower - 200.0, higher + 200.0};
    return range;
}

const QStringList& calSeriesNames()
{
    static const QStringList names{QStringLiteral("Freq220"),      QStringLiteral("Freq300"),
                                   QStringLiteral("Freq220 + 75"), QStringLiteral("Freq220 - 75"),
                                   QStringLiteral("Freq300 + 75"), QStringLiteral("Freq300 - 75")};
    return names;
}

CalPlot calPlot(const QList<CalHistoryRow>& rows, CalAxis axis)
{
    CalPlot plot;
    plot.numCal = int(rows.size());
    plot.xTitle = axis == CalAxis::Number ? QStringLiteral("Calibration") : QStringLiteral("Date");
    if (rows.size() < 4)
        return plot;
    plot.drawn = true;
    QList<int> f220, f300;
    QList<double> xs;
    for (int k = 0; k < rows.size(); ++k) {
        const double x = axis == CalAxis::Number ? k + 1.0 : calDatePosition(rows[k].date);
        xs.append(x);
        plot.series[0].append(QPointF(x, rows[k].freq220));
        plot.series[1].append(QPointF(x, rows[k].freq300));
        f220.append(rows[k].freq220);
        f300.append(rows[k].freq300);
    }
    plot.centre220 = centralValue(f220);
    plot.centre300 = centralValue(f300);
    const double guides[4] = {plot.centre220 + 75.0, plot.centre220 - 75.0, plot.centre300 + 75.0,
                              plot.centre300 - 75.0};
    for (int g = 0; g < 4; ++g)
        for (double x : xs)
            plot.series[2 + g].append(QPointF(x, guides[g]));
    plot.y = calVerticalRange(plot.centre220, plot.centre300, rows.last().freq220, rows.last().freq300);
    const auto [lo, hi] = std::minmax_element(xs.begin(), xs.end());
    plot.x = {*lo, *hi};
    if (axis == CalAxis::Number) {
        plot.x = {0.0, *hi + 1.0};
    } else {
        // The first of each month inside the range, with its abbreviated name.
        const double pad = std::max(0.5, (*hi - *lo) * 0.02);
        plot.x = {*lo - pad, *hi + pad};
        const QLocale c = QLocale::c();
        for (int m = int(std::ceil(plot.x.min)); m <= int(std::floor(plot.x.max)); ++m) {
            const int month = ((m % 12) + 12) % 12 + 1;
            plot.months.append({double(m), c.monthName(month, QLocale::ShortFormat)});
        }
    }
    return plot;
}

QList<int> visibleMonthLabels(const CalPlot& plot, double plotWidth, double labelWidth, double gap)
{
    QList<int> kept;
    if (plot.months.isEmpty() || !(plot.x.span() > 0.0))
        return kept;
    const int stride = labelStride(plotWidth / plot.x.span(), labelWidth, gap);
    for (int i = 0; i < plot.months.size(); ++i) {
        // Counted from January 1972, so a yearly stride keeps the Januaries.
        const int month = int(std::lround(plot.months[i].position));
        if (((month % stride) + stride) % stride == 0)
            kept.append(i);
    }
    return kept;
}

} // namespace qqc

