#include "report/ui/plot_widget.h"

#include <QPainter>
#include <QPainterPath>

namespace qqc {

namespace {
constexpr int kLeft = 64, kTop = 12, kBottom = 48;
constexpr double kLabelGap = 6.0;

QString tickText(double v) { return QString::number(v, 'g', 7); }
} // namespace

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void PlotWidget::setRanges(const AxisRange& x, const AxisRange& y)
{
    x_ = x;
    y_ = y;
    update();
}

void PlotWidget::setTitles(const QString& xTitle, const QString& yTitle)
{
    xTitle_ = xTitle;
    yTitle_ = yTitle;
    update();
}

void PlotWidget::setLines(const QList<PlotLine>& lines)
{
    lines_ = lines;
    update();
}

void PlotWidget::setXLabels(const QList<PlotLabel>& labels, std::function<QList<int>(double, double)> thin)
{
    xLabels_ = labels;
    thin_ = std::move(thin);
    update();
}

void PlotWidget::setNotice(const QString& notice)
{
    notice_ = notice;
    update();
}

QRect PlotWidget::plotArea() const
{
    // The legend to the right takes its widest name plus the line sample.
    int legend = 0;
    for (const PlotLine& line : lines_)
        legend = std::max(legend, fontMetrics().horizontalAdvance(line.name));
    const int right = std::max(40, legend + 44);
    return QRect(kLeft, kTop, std::max(1, width() - kLeft - right), std::max(1, height() - kTop - kBottom));
}

QPointF PlotWidget::toPixel(const QPointF& value) const { return toPixel(value, plotArea()); }

QPointF PlotWidget::toPixel(const QPointF& value, const QRectF& a) const
{
    // The last pixel row/column lies at bottom()/right() of the QRect.
    return {valueToPixel(value.x(), x_, a.left(), a.left() + a.width() - 1),
            valueToPixel(value.y(), y_, a.top() + a.height() - 1, a.top())};
}

QList<int> PlotWidget::shownXLabelIndices() const
{
    double widest = 0.0;
    for (const PlotLabel& l : xLabels_)
        widest = std::max(widest, double(fontMetrics().horizontalAdvance(l.text)));
    if (thin_)
        return thin_(plotArea().width(), widest);
    QList<double> centres, widths;
    const QRectF area = plotArea();
    for (const PlotLabel& l : xLabels_) {
        centres.append(toPixel({l.position, y_.min}, area).x());
        widths.append(fontMetrics().horizontalAdvance(l.text));
    }
    return thinLabels(centres, widths, kLabelGap);
}

QStringList PlotWidget::shownXLabels() const
{
    QStringList texts;
    for (int i : shownXLabelIndices())
        texts.append(xLabels_[i].text);
    return texts;
}

void PlotWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect area = plotArea();
    const QFontMetrics fm = fontMetrics();
    p.setPen(Qt::black);
    p.drawRect(area.adjusted(-1, -1, 0, 0));

    // y ticks and labels
    for (double v : niceTicks(y_, std::max(2, area.height() / (fm.height() * 2)))) {
        const int py = int(std::lround(toPixel({x_.min, v}, area).y()));
        p.drawLine(area.left() - 5, py, area.left() - 1, py);
        p.drawText(QRect(0, py - fm.height() / 2, area.left() - 8, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   tickText(v));
    }
    // x ticks: the given labels, thinned, or round values
    QList<PlotLabel> xs;
    if (xLabels_.isEmpty()) {
        for (double v : niceTicks(x_, std::max(2, area.width() / (fm.horizontalAdvance(QStringLiteral("00000")) * 2))))
            xs.append({v, tickText(v)});
    } else {
        for (int i : shownXLabelIndices())
            xs.append(xLabels_[i]);
    }
    for (const PlotLabel& l : xs) {
        const int px = int(std::lround(toPixel({l.position, y_.min}, area).x()));
        p.drawLine(px, area.bottom() + 1, px, area.bottom() + 5);
        const int w = fm.horizontalAdvance(l.text);
        p.drawText(QRect(px - w, area.bottom() + 7, 2 * w, fm.height()), Qt::AlignCenter, l.text);
    }
    // axis titles
    p.drawText(QRect(area.left(), height() - fm.height() - 4, area.width(), fm.height()), Qt::AlignCenter, xTitle_);
    p.save();
    p.translate(fm.height() / 2 + 2, area.center().y());
    p.rotate(-90);
    p.drawText(QRect(-area.height() / 2, -fm.height() / 2, area.height(), fm.height()), Qt::AlignCenter, yTitle_);
    p.restore();

    if (!notice_.isEmpty()) {
        p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, notice_);
        return;
    }
    // legend
    int ly = area.top();
    for (const PlotLine& line : lines_) {
        QPen pen(line.color, 2, line.dashed ? Qt::DashLine : Qt::SolidLine);
        p.setPen(pen);
        p.drawLine(area.right() + 10, ly + fm.height() / 2, area.right() + 30, ly + fm.height() / 2);
        p.setPen(Qt::black);
        p.drawText(area.right() + 34, ly + fm.ascent(), line.name);
        ly += fm.height() + 2;
    }
    // lines, clipped to the plot area
    p.setClipRect(area);
    for (const PlotLine& line : lines_) {
        if (line.points.size() < 2)
            continue;
        p.setPen(QPen(line.color, 1, line.dashed ? Qt::DashLine : Qt::SolidLine));
        QPolygonF poly;
        poly.reserve(line.points.size());
        for (const QPointF& v : line.points) {
            const QPointF px = toPixel(v, area);
            poly.append(QPointF(std::round(px.x()), std::round(px.y())));
        }
        p.drawPolyline(poly);
    }
}

} // namespace qqc
