#pragma once
// Text forms of numbers and dates as the classic Format function writes them,
// for the patterns this program uses ("0.00", "000", "#,##0.0", "####.#",
// "0; " with sections, "Short Date", "h:mm", ...), and the short text form of
// a single-precision value as the settings file stores layout fractions.

#include <QDateTime>
#include <QString>

namespace qqc {

QString Format(double value, const QString& pattern);
QString Format(const QDateTime& value, const QString& pattern);
// The platform's short text form of a single-precision value.
QString SingleToText(float value);
// Rounds halves to even at `digits` decimals.
double RoundHalfEven(double value, int digits = 0);

} // namespace qqc
