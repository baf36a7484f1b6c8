#include "report/plot_axis.h"

#include <cmath>

namespace qqc {

double valueToPixel(double value, const AxisRange& range, double from, double to)
{
    if (range.span() == 0.0)
        return from;
    return from + (value - range.min) / range.span() * (to - from);
}

QList<double> niceTicks(const AxisRange& range, int maxTicks)
{
    QList<double> ticks;
    const double span = range.span();
    if (!(span > 0.0) || !std::isfinite(span) || maxTicks < 2)
        return ticks;
    const double rough = span / (maxTicks - 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power * 10.0;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (power * m >= rough) {
            step = power * m;
            break;
        }
    }
    // Ticks are computed from integer multiples so no error accumulates.
    const double eps = step * 1e-9;
    for (double k = std::ceil((range.min - eps) / step); k * step <= range.max + eps; k += 1.0)
        ticks.append(std::abs(k * step) < eps ? 0.0 : k * step);
    return ticks;
}

int labelStride(double spacing, double labelWidth, double gap)
{
    if (!(spacing > 0.0))
        return 1;
    const double needed = labelWidth + gap;
    for (int stride : {1, 2, 3, 4, 6})
        if (stride * spacing >= needed)
            return stride;
    const int years = int(std::ceil(needed / (12.0 * spacing)));
    return 12 * std::max(years, 1);
}

QList<int> thinLabels(const QList<double>& centres, const QList<double>& widths, double gap)
{
    QList<int> kept;
    double lastRight = 0.0;
    for (int i = 0; i < centres.size(); ++i) {
        const double half = widths.value(i) / 2.0;
        if (!kept.isEmpty() && centres[i] - half < lastRight + gap)
            continue;
        kept.append(i);
        lastRight = centres[i] + half;
    }
    return kept;
}

} // namespace qqc
