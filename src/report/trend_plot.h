#pragma once
// A trend plot of one parameter: alarm-level bands, the values as markers
// joined by lines, the title, the first and last dates and the value range.
// Drawn through a QPainter in the target's units (a 3500 x 1500 screen
// surface, or twips on a page), always in pure colours.

#include "report/report_data.h"

#include <QRectF>

class QPainter;

namespace qqc::report {

struct TrendStyle {
    double labelSize = 148;  // font height in target units (the title is 4 more)
    bool page = false;       // black frame around the rectangle, round markers of radius 30
};

// The value range DrawBar plots: ymin, ymax.
struct TrendScale {
    double ymin = 0, ymax = 0.1;
};
TrendScale trendScale(const TrendSeries& series);

void DrawBar(QPainter& p, const QRectF& rect, const TrendSeries& series, const TrendStyle& style);

} // namespace qqc::report
