// Pixel probes of the Trifold and trend plots drawn on screen surfaces.
#include "report/report_colors.h"
#include "report/trend_plot.h"
#include "report/trifold_plot.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace qqc::report;

namespace {

// A 1000 x 1000 surface: centre (500, 650), unit 85. Straight below the
// centre at distance t a point lies inside the band triangle of level L when
// t < L * 85 / 2.
QImage triFold(std::array<double, 3> levels, int reduction = 0)
{
    QImage img(1000, 1000, QImage::Format_RGB32);
    img.fill(Qt::gray);
    QPainter p(&img);
    TriFoldStyle style;
    style.reduction = reduction;
    DrawTriFold(p, levels, QRectF(0, 0, 1000, 1000), style);
    return img;
}

QRgb at(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xffffff; }

constexpr QRgb Red = 0xff0000, Yellow = 0xffff00, Green = 0x00ff00, White = 0xffffff;

} // namespace

TEST(TriFoldPlot, BandsFollowTheLevels)
{
    const QImage full = triFold({5, 5, 5});
    EXPECT_EQ(Green, at(full, 500, 670));
    EXPECT_EQ(Yellow, at(full, 500, 755));
    EXPECT_EQ(Red, at(full, 500, 840));
    EXPECT_EQ(Red, at(full, 50, 35));     // legend box of level 5
    EXPECT_EQ(Green, at(full, 50, 315));  // legend box of level 1

    const QImage none = triFold({0, 0, 0});
    EXPECT_EQ(White, at(none, 500, 670));
    EXPECT_EQ(White, at(none, 500, 840));
    EXPECT_EQ(Red, at(none, 50, 35));

    // One severity alone: a yellow arrow up the Wear axis to 3 units, no triangle.
    const QImage arrow = triFold({3, 0, 0});
    EXPECT_EQ(Yellow, at(arrow, 502, 500));
    EXPECT_EQ(Yellow, at(arrow, 500, 400));   // arrowhead just below the tip at 395
    EXPECT_EQ(White, at(arrow, 506, 380));
    EXPECT_EQ(White, at(arrow, 500, 670));

    // Out of range levels are drawn as the nearest in range.
    EXPECT_EQ(triFold({5, 5, 0}), triFold({7, 7, -2}));
}

TEST(TriFoldPlot, ReductionLightensFilledColours)
{
    const QImage paper = triFold({5, 5, 5}, 100);
    EXPECT_EQ(qRgb(255, 100, 100) & 0xffffff, at(paper, 500, 840));
    EXPECT_EQ(qRgb(100, 255, 100) & 0xffffff, at(paper, 500, 670));
    EXPECT_EQ(qRgb(255, 100, 100) & 0xffffff, at(paper, 50, 35));
    EXPECT_EQ(ReduceColor(qRgb(255, 0, 0), 300), ReduceColor(qRgb(255, 0, 0), 255));
    EXPECT_EQ(qRgb(0, 0, 0), RedCellTextColor(100));
    EXPECT_EQ(qRgb(255, 255, 255), RedCellTextColor(90));
    EXPECT_EQ(qRgb(255, 255, 255), cellColor(1));
    EXPECT_EQ(qRgb(255, 255, 255), cellTextColor(cellColor(9)));  // black cell, white text
}

namespace {

TrendSeries series(int parmId, QVector<std::optional<double>> values, std::array<double, 4> limits = {})
{
    TrendSeries s;
    s.parmId = parmId;
    s.title = "Ferrous Index";
    for (int i = 0; i < values.size(); ++i)
        s.days.append(i + 1);
    s.values = values;
    s.firstDate = QDate(2026, 1, 1);
    s.lastDate = s.firstDate.addDays(values.size() + 1);
    s.limits = limits;
    return s;
}

} // namespace

TEST(TrendPlot, ScaleAndBands)
{
    EXPECT_DOUBLE_EQ(0.1, trendScale(series(59, {0.0, 0.0})).ymax);
    // An over-range ferrous reading does not stretch the scale.
    EXPECT_NEAR(11, trendScale(series(59, {10.0, 999.0, std::nullopt})).ymax, 1e-9);
    // Dielectric change: the range is mirrored below 0.
    const TrendScale mirrored = trendScale(series(56, {1.0}, {10, 20, 35, 50}));
    EXPECT_NEAR(55, mirrored.ymax, 1e-9);
    EXPECT_NEAR(-55, mirrored.ymin, 1e-9);

    // Surface 3500 x 1500: plot area y 200..1300, value v at 1300 - v * 1100 / ymax.
    QImage img(3500, 1500, QImage::Format_RGB32);
    QPainter p(&img);
    DrawBar(p, QRectF(0, 0, 3500, 1500), series(59, {10.0, 999.0}, {20, 40, 60, 80}), {});
    const double ys = 1100 / 88.0;
    EXPECT_EQ(Green, at(img, 3000, int(1300 - 10 * ys)));
    EXPECT_EQ(0x00ffffu, at(img, 3000, int(1300 - 30 * ys)));
    EXPECT_EQ(Red, at(img, 3000, int(1300 - 85 * ys)));
    p.end();

    QImage dc(3500, 1500, QImage::Format_RGB32);
    QPainter q(&dc);
    DrawBar(q, QRectF(0, 0, 3500, 1500), series(56, {1.0}, {10, 20, 35, 50}), {});
    const double ys56 = 1100 / 110.0;
    EXPECT_EQ(Green, at(dc, 3000, int(1300 - (-5 + 55) * ys56)));
    EXPECT_EQ(0x00ffffu, at(dc, 3000, int(1300 - (-15 + 55) * ys56)));
    EXPECT_EQ(Red, at(dc, 3000, int(1300 - (-53 + 55) * ys56)));
}
