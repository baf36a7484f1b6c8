// The chart windows on the real road: frames from the simulated unit arrive
// over a pty, the monitor stores them in the SQLite file, and the frame's
// windows (offscreen) follow: the open chart redraws with each test and with
// each sample clicked in the grid, and the fourth stored calibration opens the
// calibration history through the prompter.
#include "app/mdi_form_8700.h"
#include "app/monitor.h"
#include "db/db_fixture.h"
#include "report/ui/frm_cal.h"
#include "report/ui/frm_chart.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "app/station.h"
#include "sim/unit_model.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "views/ui/frm_data.h"
#include "views/ui/sample_grid_view.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace qqc {
namespace {

QString cell(QTableWidget* grid, int row, int column)
{
    const QTableWidgetItem* item = grid->item(row, column);
    return item != nullptr ? item->text() : QString();
}

class ChartRoad : public ::testing::Test {
protected:
    test::TempHome home;
    test::ScriptedPrompter prompts;
    sim::PtyUnit unit;   // frames written here arrive at the monitor's port
    std::unique_ptr<MDIForm8700> form;
    QString dbPath;

    void startUp(const QByteArray& misc)
    {
        ASSERT_TRUE(unit.ok());
        dbPath = test::copyTemplate(home, "lab.mdb");
        home.write("quorvelqc.ini", test::stationSettings(unit.device(), dbPath) + "\r\n[MISC]\r\n" + misc);
        form = std::make_unique<MDIForm8700>();
        form->startUp();
        ASSERT_TRUE(form->monitor().unitLink().isOpen()) << prompts.texts().join("\n").toStdString();
        ASSERT_NE(nullptr, form->monitor().sampleDatabase()) << prompts.texts().join("\n").toStdString();
    }
    void TearDown() override
    {
        if (form)
            form->monitor().closeSerialLink();
    }
    // Clicks the Sample # cell of `sampleId` in the data window's grid.
    void clickSample(qint32 sampleId)
    {
        auto* data = qobject_cast<frmData*>(form->fDataFrm());
        ASSERT_NE(data, nullptr);
        const int row = data->model().rowOfSample(sampleId);
        ASSERT_GE(row, 0) << sampleId;
        const QModelIndex index = data->model().index(row, SampleGridModel::ColSampleNum);
        QTest::mouseClick(data->grid().viewport(), Qt::LeftButton, {}, data->grid().visualRect(index).center());
    }
};

TEST_F(ChartRoad, ADFrameRedrawsTheOpenChartAndAClickedSampleShowsItsOwnTest)
{
    startUp("CHART=1\r\n");
    auto* chart = qobject_cast<frmChart*>(form->fChartFrm());
    ASSERT_NE(chart, nullptr);
    ASSERT_TRUE(form->monitor().windowOpen(Monitor::ChartWindow));

    // Every reading of the three channels, and the unit's slope.
    const auto shows = [&](const TestRecord& r) {
        for (int i = 0; i < TestRecord::ReadingCount; ++i)
            for (int channel = 0; channel < 3; ++channel)
                if (cell(chart->vsRaw(), i, 1 + channel) != QString::number(r.raw8700[channel * 100 + i]))
                    return false;
        return cell(chart->vsCalcs(), Calc::slope, 1) == QString::number(r.Calc8700[Calc::slope]);
    };
    // A clean oil, then a worn one: different readings in every channel.
    const TestRecord sent[] = {sim::simulateTest({.dielectric = 226, .ferrous = 3, .water = 20}, {}, 5),
                               sim::simulateTest({.dielectric = 262, .ferrous = 55, .water = 300}, {}, 6)};
    ASSERT_NE(sent[0].raw8700, sent[1].raw8700);
    for (int n = 1; n <= 2; ++n) {
        ASSERT_TRUE(unit.send(sim::testFrame(sent[n - 1])));
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->monitor().currentSampleId() == n; }, 15000))
            << prompts.texts().join("\n").toStdString();
        EXPECT_TRUE(shows(sent[n - 1])) << "test " << n;
    }

    // An imported sample has no test record: the chart says so and shows
    // none, not the previous sample's readings.
    test::runSql(dbPath, {"INSERT INTO Samples (SampleDate, SampleNum) VALUES ('2026-12-06 10:00:00', 'IMP-1')"});
    form->menuAction("mnuData")->trigger();
    clickSample(1);
    EXPECT_TRUE(shows(sent[0]));
    EXPECT_TRUE(chart->notice()->text().isEmpty());
    clickSample(3);
    EXPECT_EQ(chart->notice()->text(), "Sample IMP-1 has no test record");
    EXPECT_EQ(cell(chart->vsRaw(), 0, 1), "");
    clickSample(2);
    EXPECT_TRUE(shows(sent[1]));

    // Closing the window clears its open flag: the monitor stops asking.
    form->subWindowOf(chart)->close();
    EXPECT_FALSE(form->monitor().windowOpen(Monitor::ChartWindow));
    EXPECT_TRUE(prompts.texts().isEmpty()) << prompts.texts().join("\n").toStdString();
}

TEST_F(ChartRoad, TheFourthCalibrationFromTheUnitOpensTheHistoryAndTheThirdDoesNot)
{
    startUp("");
    auto* cal = qobject_cast<frmCal*>(form->fCalFrm());
    ASSERT_NE(cal, nullptr);
    int modal = 0;
    prompts.onModal = [&](QDialog& dialog) {
        ++modal;
        EXPECT_EQ(&dialog, cal);
        EXPECT_EQ(dialog.windowTitle(), "Calibration History");
        return int(QDialog::Accepted);
    };
    for (int k = 1; k <= 4; ++k) {
        ASSERT_TRUE(unit.send(sim::calibrationFrame(5000 + k, 4600, 220, 300)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return cal->NumCal() == k; }, 15000))
            << "calibration " << k << ": " << prompts.texts().join("\n").toStdString();
        EXPECT_EQ(modal, k == 4 ? 1 : 0) << k;
    }
    EXPECT_EQ(cal->plot().series[0].last().y(), 5004);
    EXPECT_TRUE(prompts.texts().isEmpty()) << prompts.texts().join("\n").toStdString();
}

} // namespace
} // namespace qqc
