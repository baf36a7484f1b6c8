#pragma once
// Colours of the report: the Trifold and trend bands, the table cells, and
// the reduction that lightens filled colours on paper.

#include <QRgb>

namespace qqc::report {

// Bands: 1 green, 2 cyan, 3 yellow, 4 magenta, 5 red, anything else white.
QRgb LevelColor(int level);
// Table cells: levels 0 and 1 white, 2..5 as the bands, anything else black.
QRgb cellColor(int level);
// Text colour on a cell: white on red and black cells, else black.
QRgb cellTextColor(QRgb background);
// `reduction` clamped to 0..255.
int clampReduction(int reduction);
// Every zero component of a colour that is neither black nor white becomes
// `reduction` (0: unchanged).
QRgb ReduceColor(QRgb c, int reduction);
// Text on a reduced red cell: white up to 90, black above.
QRgb RedCellTextColor(int reduction);

} // namespace qqc::report
