// The engineering chart and calibration history windows offscreen: their
// grids and rendered pixels (their wiring in the frame runs end to end in
// the app tests).

#include "db/db_fixture.h"
#include "db/engine.h"
#include "link/record_decoder.h"
#include "report/ui/frm_cal.h"
#include "report/ui/frm_chart.h"
#include "report/ui/plot_widget.h"
#include "sim/frames.h"
#include "sim/unit_model.h"

#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace qqc {
namespace {

QString cell(QTableWidget* grid, int row, int column)
{
    const QTableWidgetItem* item = grid->item(row, column);
    return item != nullptr ? item->text() : QString();
}

QImage render(QWidget& w)
{
    w.resize(900, 600);
    w.show();
    QImage image(w.size(), QImage::Format_RGB32);
    w.render(&image);
    return image;
}

bool isColour(const QImage& image, int x, int y, QColor c) { return image.pixelColor(x, y) == c; }

TEST(ChartWindow, GridsShowADecodedSimulatorTestWithUpperCaseHex)
{
    const TestRecord simulated = sim::simulateTest({}, {});
    TestRecord record;
    ASSERT_EQ(get_ov_data(QByteArray("D") + sim::encodeTestPayload(simulated), record), 1);
    frmChart chart(record);
    chart.UpdateForm();

    EXPECT_EQ(chart.vsRaw()->horizontalHeaderItem(1)->text(), "Base");
    EXPECT_EQ(chart.vsRaw()->horizontalHeaderItem(4)->text(), "Temp");
    EXPECT_EQ(cell(chart.vsRaw(), 99, 0), "100");
    EXPECT_EQ(cell(chart.vsRaw(), 7, 2), QString::number(record.raw8700[107]));
    EXPECT_EQ(cell(chart.vsRaw(), 7, 6), QString::number(record.raw8700[107], 16).toUpper());
    EXPECT_EQ(chart.vsRaw()->item(7, 2)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_EQ(chart.vsCalcs()->horizontalHeaderItem(2)->text(), "PC");
    EXPECT_EQ(cell(chart.vsCalcs(), 22, 0), "CRITICAL");
    EXPECT_EQ(cell(chart.vsSlvVars(), 0, 0), "Short");
    EXPECT_EQ(cell(chart.vsSlvVars(), 0, 2), "");
    EXPECT_EQ(cell(chart.vsCalData(), 0, 0), "freq A");
    EXPECT_EQ(cell(chart.vsCalData(), 0, 2), "1388");   // 5000
    EXPECT_EQ(chart.Chart8700()->yTitle(), "% Frequency");

    chart.show();
    chart.SetChart(false);
    EXPECT_FALSE(chart.vsRaw()->isVisible());
    EXPECT_TRUE(chart.Chart8700()->isVisible());
}

TEST(ChartWindow, TheModeSwitchWithoutARecordChangesNothing)
{
    TestRecord none;
    frmChart chart(none);
    chart.Option1(1)->click();
    EXPECT_EQ(cell(chart.vsRaw(), 0, 1), "");
    EXPECT_TRUE(chart.Chart8700()->lines().isEmpty());

    TestRecord record = sim::simulateTest({}, {});
    frmChart shown(record);
    shown.UpdateForm();
    shown.showNoTestRecord("S-17");
    EXPECT_EQ(shown.notice()->text(), "Sample S-17 has no test record");
    shown.Option1(1)->click();
    EXPECT_EQ(cell(shown.vsRaw(), 0, 1), "");
    EXPECT_TRUE(shown.Chart8700()->lines().isEmpty());
}

TEST(ChartWindow, TheBaseAtItsFirstCountDrawsOnTheRowOf100AndNothingLeavesThePlot)
{
    TestRecord record;
    record.CalData = {10000, 9000, 220, 300};
    record.raw8700.fill(10000);
    for (int i = 100; i < 200; ++i)
        record.raw8700[i] = i % 2 == 0 ? 30000 : 1000;   // North far outside the range, both ways
    for (int i = 200; i < 300; ++i)
        record.raw8700[i] = 9900;                         // South at 99 %
    frmChart chart(record);
    chart.SetChart(false);
    chart.UpdateForm();
    const QImage image = render(chart);
    PlotWidget* plot = chart.Chart8700();
    const QPoint origin = plot->mapTo(&chart, QPoint(0, 0));
    const QRect area = plot->plotArea().translated(origin);
    const int row = int(std::lround(plot->toPixel({10.0, 100.0}).y())) + origin.y();
    const QColor base(0, 0, 200), north(0, 150, 0);
    EXPECT_TRUE(isColour(image, area.center().x(), row, base));
    EXPECT_FALSE(isColour(image, area.center().x(), row - 2, base));
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y : {area.top() - 3, area.top() - 2, area.bottom() + 2, area.bottom() + 3})
            ASSERT_FALSE(isColour(image, x, y, north)) << x << "," << y;
}

class CalHistoryWindow : public test::TemplateCopy {
protected:
    void addCalibrations(db::Database& db, int count, int f220 = 10000, int f300 = 9000)
    {
        for (int k = 0; k < count; ++k)
            db.execute("INSERT INTO CalData (CalDate, Freq220, Freq300) VALUES (?, ?, ?)",
                       {QDateTime(QDate(2020, 1 + k % 12, 10), QTime(9, 0)).addYears(k / 12), f220 + k, f300 - k});
    }
};

TEST_F(CalHistoryWindow, GuideLinesLieOnTheRowsOfTheCentralValuePlusMinus75)
{
    auto store = openStore();
    addCalibrations(store->database(), 6);
    frmCal cal;
    cal.SetDB(&store->database());
    cal.UpdateForm();
    ASSERT_EQ(cal.NumCal(), 6);
    const QImage image = render(cal);
    PlotWidget* plot = cal.CalChart();
    const QPoint origin = plot->mapTo(&cal, QPoint(0, 0));
    const int x = plot->plotArea().translated(origin).center().x();
    const int centre = cal.plot().centre220;
    EXPECT_EQ(centre, 10002);   // 10000..10005: positions 0..4
    for (int v : {centre + 75, centre - 75}) {
        const int y = int(std::lround(plot->toPixel({0.0, double(v)}).y())) + origin.y();
        EXPECT_TRUE(isColour(image, x, y, QColor(90, 90, 230)) || isColour(image, x - 3, y, QColor(90, 90, 230)))
            << v;
    }
    cal.optAxis(1)->click();
    EXPECT_EQ(cal.CalChart()->xTitle(), "Date");
    EXPECT_FALSE(cal.CalChart()->shownXLabels().isEmpty());

    cal.SetDB(nullptr);
    cal.UpdateForm();
    EXPECT_EQ(cal.NumCal(), 0);
}

} // namespace
} // namespace qqc
