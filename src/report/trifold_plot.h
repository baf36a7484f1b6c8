#pragma once
// The Trifold plot: a sample's Wear, Contamination and Chemistry levels as a
// triangle on three axes 120 degrees apart over five banded triangles, with
// a legend. Drawn through a QPainter whose coordinates are the target's
// units: a screen surface of 1000 x 1000 units, or twips on a page.

#include <QRectF>
#include <QString>

#include <array>

class QPainter;

namespace qqc::report {

struct TriFoldStyle {
    double labelSize = 48;   // font height of labels and legend, in target units
    double lineWidth = 0;    // 0: the thinnest line the device draws
    bool page = false;       // a black frame around a white field
    int reduction = 0;       // colour reduction of the filled colours (0: pure)
    std::array<QString, 5> legend{"Normal", "Low Alert", "High Alert", "Low Fault", "High Fault"};
    std::array<QString, 3> axes{"Wear", "Contamination", "Chemistry"};
};

// levels: Wear, Contamination, Chemistry, each drawn clamped to 0..5.
void DrawTriFold(QPainter& p, std::array<double, 3> levels, const QRectF& rect, const TriFoldStyle& style);

// Text anchored at (x, y): anchor = 3 * row + column; column 0 starts at x,
// 1 centres on x, 2 ends at x; row 0 puts the top at y, 1 the bottom, 2 the
// middle. The painter's font and pen are used.
void DrawAnchoredText(QPainter& p, double x, double y, const QString& text, int anchor);

} // namespace qqc::report
