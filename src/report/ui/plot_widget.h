#pragma once
// A small QPainter line plot: a fixed x and y range, ticks with labels, axis
// titles, a legend and polylines clipped to the plot area; or a notice in
// place of the lines. The engineering chart and the calibration history use
// it; their data and ranges come from headless code (report/chart_data.h,
// report/cal_history.h).

#include "report/plot_axis.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <functional>

namespace qqc {

struct PlotLine {
    QString name;
    QColor color;
    QList<QPointF> points;
    bool dashed = false;
};

struct PlotLabel {
    double position = 0.0;
    QString text;
};

class PlotWidget : public QWidget {
    Q_OBJECT
public:
    explicit PlotWidget(QWidget* parent = nullptr);

    void setRanges(const AxisRange& x, const AxisRange& y);
    void setTitles(const QString& xTitle, const QString& yTitle);
    void setLines(const QList<PlotLine>& lines);
    // Fixed x labels; `thin` picks the indices to show for a plot area of the
    // given width and the widest label (no labels: ticks at round values).
    void setXLabels(const QList<PlotLabel>& labels,
                    std::function<QList<int>(double plotWidth, double labelWidth)> thin = {});
    // Shown in place of the lines (empty: none).
    void setNotice(const QString& notice);

    const QString& xTitle() const { return xTitle_; }
    const QString& yTitle() const { return yTitle_; }
    const QString& notice() const { return notice_; }
    const AxisRange& xRange() const { return x_; }
    const AxisRange& yRange() const { return y_; }
    const QList<PlotLine>& lines() const { return lines_; }
    // The x labels shown at the present size.
    QStringList shownXLabels() const;

    // The rectangle the lines are drawn in, and a value's pixel position.
    QRect plotArea() const;
    QPointF toPixel(const QPointF& value) const;

    QSize minimumSizeHint() const override { return {240, 160}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<int> shownXLabelIndices() const;
    // toPixel within an area found once: plotArea() measures the legend's
    // texts, too slow to repeat for each of thousands of points.
    QPointF toPixel(const QPointF& value, const QRectF& area) const;

    AxisRange x_, y_;
    QString xTitle_, yTitle_, notice_;
    QList<PlotLine> lines_;
    QList<PlotLabel> xLabels_;
    std::function<QList<int>(double, double)> thin_;
};

} // namespace qqc
