#pragma once
// Axis arithmetic shared by the plots and charts: a value range mapped onto a
// pixel span, evenly spaced "nice" ticks, and the thinning of axis labels so
// neighbouring labels never overlap. Plain functions, no painting.

#include <QList>

namespace qqc {

struct AxisRange {
    double min = 0.0;
    double max = 1.0;
    double span() const { return max - min; }
};

// The pixel coordinate of `value` when `range` runs from pixel `from` (at
// range.min) to pixel `to` (at range.max); `to` may be below `from` (a y axis
// grows upwards). A zero span maps everything to `from`.
double valueToPixel(double value, const AxisRange& range, double from, double to);

// Tick values at multiples of 1, 2 or 5 times a power of ten, inside `range`,
// at most about `maxTicks` of them (at least 2 when the span is positive).
QList<double> niceTicks(const AxisRange& range, int maxTicks);

// The smallest stride (1, 2, 3, 4, 6, then multiples of 12) at which labels
// placed every `spacing` pixels, each at most `labelWidth` pixels wide, keep
// a gap of at least `gap` pixels: show label k only when k % stride == 0.
int labelStride(double spacing, double labelWidth, double gap);

// Greedy thinning of labels of differing widths centred at `centres`
// (ascending): the indices kept so that kept labels are `gap` apart.
QList<int> thinLabels(const QList<double>& centres, const QList<double>& widths, double gap);

} // namespace qqc
