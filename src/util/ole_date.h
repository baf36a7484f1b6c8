#pragma once
// Platform date values: days since 30 December 1899 00:00, the time of day as
// the fraction (negative values count days back, with a positive fraction).

#include <QDateTime>

namespace qqc {

double ToOleDate(const QDateTime& value);
QDateTime FromOleDate(double value);

} // namespace qqc
