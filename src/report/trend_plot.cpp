#include "report/trend_plot.h"

#include "report/report_colors.h"
#include "report/trifold_plot.h"
#include "util/vb_format.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qqc::report {

namespace {

constexpr double OverRange = 999.9990234375;

bool isOverRange(const TrendSeries& s, double v)
{
    return s.parmId >= 55 && s.parmId <= 71 && (v == 999 || v == OverRange);
}

} // namespace

TrendScale trendScale(const TrendSeries& s)
{
    double ymax = 0, ymin = 999999;
    bool any = false, allPositive = true;
    for (const auto& v : s.values) {
        if (!v || isOverRange(s, *v))
            continue;
        any = true;
        ymax = std::max(ymax, *v);
        ymin = std::min(ymin, *v);
        allPositive = allPositive && *v > 0;
    }
    if (!any)
        ymin = 0;
    const double highNormal = s.limits[0], extreme = s.limits[3];
    const bool mirrored = s.parmId == 56;
    if (extreme > 0) {
        ymax = std::max(ymax, extreme);
        ymin = mirrored ? std::min({ymin, -extreme, -highNormal}) : std::min({ymin, extreme, highNormal});
    }
    ymin = std::min(ymin, 0.0);
    ymax = std::max(ymax, 0.0);
    if (ymin != 0) {
        ymin -= 0.1 * ymax;
        // Positive values start at 0, unless the bands are mirrored below it.
        if (allPositive && any && ymin < 0 && !mirrored)
            ymin = 0;
    }
    if (extreme > 0 && ymax < extreme)
        ymax = extreme;
    ymax *= 1.1;
    if (ymax < 0.1)
        ymax = 0.1;
    return {ymin, ymax};
}

void DrawBar(QPainter& p, const QRectF& rect, const TrendSeries& s, const TrendStyle& style)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const double top = rect.top(), left = rect.left(), width = rect.width(), height = rect.height();
    const TrendScale sc = trendScale(s);
    const double ymin = sc.ymin, ymax = sc.ymax;
    int span = int(s.firstDate.daysTo(s.lastDate));
    if (span == 0)
        span = 1;
    const double xs = (width - 600) / span;
    const double ys = (height - 400) / (ymax - ymin);
    const QString fmt = ymax - ymin >= 1 ? QStringLiteral("#,##0") : QStringLiteral("#,##0.0");
    const double bottom = top + height - 200;
    auto yOf = [&](double v) { return bottom - (std::clamp(v, ymin, ymax) - ymin) * ys; };
    const QRectF area(QPointF(left + 500, top + 200), QPointF(left + width - 100, bottom));

    if (style.page) {
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect);
    } else {
        p.fillRect(rect, Qt::white);
    }
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(area);

    QFont font = p.font();
    font.setPixelSize(std::max(1, int(std::lround(style.labelSize + 4))));
    p.setFont(font);
    p.setPen(Qt::black);
    DrawAnchoredText(p, left + width / 2, top, s.title, 1);
    font.setPixelSize(std::max(1, int(std::lround(style.labelSize))));
    p.setFont(font);
    DrawAnchoredText(p, left + 500, bottom, Format(s.firstDate.startOfDay(), "Short Date"), 0);
    DrawAnchoredText(p, left + width - 100, bottom, Format(s.lastDate.startOfDay(), "Short Date"), 2);
    DrawAnchoredText(p, left + 470, area.bottom(), Format(ymin, fmt), 8);
    DrawAnchoredText(p, left + 470, area.top(), Format(ymax, fmt), 8);

    auto band = [&](double from, double to, int level) {
        const QColor c(LevelColor(level));
        p.setPen(QPen(c, 0));
        p.setBrush(c);
        p.drawRect(QRectF(QPointF(area.left(), yOf(to)), QPointF(area.right(), yOf(from))).normalized());
    };
    const int passes = s.parmId == 56 ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const double sign = pass == 0 ? 1 : -1;
        for (int k = 0; k < 4; ++k) {
            if (s.limits[size_t(k)] <= 0)
                continue;
            const double from = sign * s.limits[size_t(k)];
            const double to = k < 3 ? sign * s.limits[size_t(k + 1)] : sign * (pass == 0 ? ymax : -ymin);
            band(from, k == 3 && pass == 1 ? ymin : to, k + 2);
            if (k == 0)
                band(0, from, 1);
        }
    }
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(area);

    // The largest plotted value places over-range markers.
    double largest = ymin;
    for (const auto& v : s.values)
        if (v && !isOverRange(s, *v))
            largest = std::max(largest, *v);
    const double rx = style.page ? 30 : 22.5, ry = style.page ? 30 : 30;
    p.setBrush(Qt::black);
    QPointF previous;
    bool joined = false;
    for (int i = 0; i < s.values.size(); ++i) {
        const auto& v = s.values[i];
        if (!v) {
            joined = false;
            continue;
        }
        const bool over = isOverRange(s, *v);
        const QPointF pt(left + 500 + xs * s.days[i], yOf(over ? largest : *v));
        if (over) {
            p.drawRect(QRectF(pt.x() - rx, pt.y() - ry, 2 * rx, 2 * ry));
            joined = false;
            continue;
        }
        p.drawEllipse(pt, rx, ry);
        if (joined)
            p.drawLine(previous, pt);
        previous = pt;
        joined = true;
    }
    p.restore();
}

} // namespace qqc::report
