#include "report/trifold_plot.h"

#include "report/report_colors.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace qqc::report {

void DrawAnchoredText(QPainter& p, double x, double y, const QString& text, int anchor)
{
    // Fonts are sized in pixels of the painter's own units, so the metrics
    // are in those units whatever the scale to the device.
    const QFontMetricsF fm(p.font());
    const double scale = 1.0;
    const double w = fm.horizontalAdvance(text) * scale;
    const double h = fm.height() * scale;
    const int column = anchor % 3, row = anchor / 3;
    const double left = column == 0 ? x : column == 1 ? x - w / 2 : x - w;
    const double top = row == 0 ? y : row == 1 ? y - h : y - h / 2;
    p.drawText(QPointF(left, top + fm.ascent() * scale), text);
}

namespace {

struct Geometry {
    double cx, cy, cos30 = std::cos(0.5235987755982), sin30 = 0.5;
    QPointF wear(double r) const { return {cx, cy - r}; }
    QPointF chem(double r) const { return {cx + r * cos30, cy + r * sin30}; }
    QPointF contam(double r) const { return {cx - r * cos30, cy + r * sin30}; }
};

void fill(QPainter& p, const QPolygonF& poly, QRgb colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(colour));
    p.drawPolygon(poly);
}

// A filled arrowhead with its tip at `tip`, pointing away from the centre
// along the unit vector `dir`, base `2d` back, half-width d.
QPolygonF arrowHead(QPointF tip, QPointF dir, double d)
{
    const QPointF base = tip - dir * (2 * d);
    const QPointF side(-dir.y() * d, dir.x() * d);
    return {tip, base + side, base - side};
}

} // namespace

void DrawTriFold(QPainter& p, std::array<double, 3> levels, const QRectF& rect, const TriFoldStyle& style)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const double top = rect.top(), left = rect.left(), w = rect.width(), h = rect.height();
    const int reduction = style.reduction;
    if (style.page) {
        p.setPen(QPen(Qt::black, style.lineWidth));
        p.setBrush(Qt::white);
        p.drawRect(rect);
    } else {
        p.fillRect(rect, Qt::white);
    }
    int zeros = 0;
    for (double& l : levels) {
        if (!std::isfinite(l))
            l = 0;
        l = std::clamp(l, 0.0, 5.0);
        zeros += l == 0;
    }
    const double wearL = levels[0], contamL = levels[1], chemL = levels[2];
    const double u = 0.085 * w;
    double d = 0.01 * w;
    const Geometry g{left + 0.5 * w, top + 0.65 * h};

    for (int level = 5; level >= 1; --level) {
        const double r = level * u;
        fill(p, {g.wear(r), g.chem(r), g.contam(r)}, ReduceColor(LevelColor(level), reduction));
    }
    const QRgb white = qRgb(255, 255, 255);
    fill(p, {g.wear(5 * u), g.chem(5 * u), g.chem(u * chemL), g.wear(u * wearL)}, white);
    fill(p, {g.wear(5 * u), g.contam(5 * u), g.contam(u * contamL), g.wear(u * wearL)}, white);
    fill(p, {g.chem(5 * u), g.contam(5 * u), g.contam(u * contamL), g.chem(u * chemL)}, white);

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(192, 192, 192), style.lineWidth));
    for (int k = 1; k <= 5; ++k) {
        const double r = k * u;
        p.drawPolyline(QPolygonF{g.wear(r), g.chem(r), g.contam(r), g.wear(r)});
    }
    p.setPen(QPen(Qt::black, style.lineWidth));
    p.drawPolyline(QPolygonF{g.wear(u * wearL), g.contam(u * contamL), g.chem(u * chemL), g.wear(u * wearL)});

    const double L = 5.5 * u;
    d *= 1.5;
    const QPointF up(0, -1), lowRight(g.cos30, g.sin30), lowLeft(-g.cos30, g.sin30);
    const QRgb black = qRgb(0, 0, 0);
    fill(p, arrowHead(g.contam(L + d), lowLeft, d), black);
    fill(p, arrowHead(g.chem(L + d), lowRight, d), black);
    fill(p, arrowHead(g.wear(L + d), up, d), black);
    p.setPen(QPen(Qt::black, style.lineWidth));
    const QPointF centre(g.cx, g.cy);
    p.drawLine(centre, g.wear(L));
    p.drawLine(centre, g.chem(L));
    p.drawLine(centre, g.contam(L));

    if (zeros == 2) {
        // One severity alone: a coloured arrow along its axis, not a flat triangle.
        const int axis = wearL != 0 ? 0 : contamL != 0 ? 1 : 2;
        const QPointF dir = axis == 0 ? up : axis == 1 ? lowLeft : lowRight;
        const double lp = u * levels[size_t(axis)] - d;
        const QRgb colour = ReduceColor(LevelColor(int(std::lround(levels[size_t(axis)]))), reduction);
        const QPointF tip = centre + dir * (lp + d);
        fill(p, arrowHead(tip, dir, d), colour);
        const QPointF shaftEnd = centre + dir * lp;
        const QPointF side(3, 0);
        fill(p, {centre - side, shaftEnd - side, shaftEnd + side, centre + side}, colour);
    }

    QFont font = p.font();
    font.setPixelSize(std::max(1, int(std::lround(style.labelSize))));
    p.setFont(font);
    p.setPen(Qt::black);
    const auto axisLabel = [&](int i, const char* fallback) {
        return style.axes[size_t(i)].isEmpty() ? QString::fromLatin1(fallback) : style.axes[size_t(i)];
    };
    DrawAnchoredText(p, g.cx, g.cy - L - d, axisLabel(0, "Wear"), 4);
    DrawAnchoredText(p, left + 0.02 * w, g.cy + L * g.sin30 + d, axisLabel(1, "Contamination"), 0);
    DrawAnchoredText(p, left + 0.98 * w, g.cy + L * g.sin30 + d, axisLabel(2, "Chemistry"), 2);

    for (int box = 0; box < 5; ++box) {
        const int level = 5 - box;
        const double y0 = top + (0.01 + 0.07 * box) * h, y1 = y0 + 0.05 * h;
        p.setPen(QPen(Qt::black, style.lineWidth));
        p.setBrush(QColor(ReduceColor(LevelColor(level), reduction)));
        p.drawRect(QRectF(QPointF(left + 0.01 * w, y0), QPointF(left + 0.10 * w, y1)));
        DrawAnchoredText(p, left + 0.11 * w, y0, style.legend[size_t(level - 1)], 0);
    }
    p.restore();
}

} // namespace qqc::report
