#include "util/ole_date.h"

#include <cmath>

namespace qqc {

namespace {
// Julian day number of 30 December 1899, day 0 of the platform's dates.
constexpr qint64 kEpochJulianDay = 2415019;
constexpr double kMsPerDay = 86400000.0;
} // namespace

double ToOleDate(const QDateTime& value)
{
    if (!value.isValid())
        return 0.0;
    const qint64 days = value.date().toJulianDay() - kEpochJulianDay;
    const double fraction = value.time().msecsSinceStartOfDay() / kMsPerDay;
    // Before day 0 the fraction still counts forward from midnight, so it is
    // subtracted from the (negative) day number.
    return days < 0 ? double(days) - fraction : double(days) + fraction;
}

QDateTime FromOleDate(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        return QDateTime();
    double whole = std::trunc(value);
    qint64 ms = std::llround(std::fabs(value - whole) * kMsPerDay);
    qint64 days = qint64(whole);
    if (ms >= qint64(kMsPerDay)) {
        ms -= qint64(kMsPerDay);
        ++days;
    }
    const QDate date = QDate::fromJulianDay(days + kEpochJulianDay);
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

} // namespace qqc
