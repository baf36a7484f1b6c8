#pragma once
// The stored samples as text, for the command line (--list-samples): shows
// that simulated tests landed in the database without opening a window.

#include <QString>

namespace qqc {

// The samples of the database named in the program folder's settings
// (Database/File), one line each, oldest first: number, date, dielectric,
// ferrous index, water, Wear/Contamination/Chemistry values. At most `limit`
// (the newest) when limit > 0. A line saying why when there is no database
// or it cannot be read; `ok` (when given) is then false.
QString storedSamplesText(int limit = 0, bool* ok = nullptr);

} // namespace qqc
