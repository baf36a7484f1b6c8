// The report window wired to a real Monitor and sample grid on a copy of the
// built template: cell edits reach the file and the grid, changes made
// elsewhere redraw the report, pictures come and go with scripted answers.
#include "app/data_window.h"
#include "app/monitor.h"
#include "app/report_window.h"
#include "db/db_fixture.h"
#include "db/sample_database.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;

namespace {

class ReportRoad : public test::TemplateCopy {
protected:
    void SetUp() override
    {
        TemplateCopy::SetUp();
        grid.reset(createDataWindow(monitor));
        grid->show();
        monitor.setWindowOpen(Monitor::DataWindow, true);
        report.reset(createReportWindow(monitor));
        report->resize(900, 700);
        report->show();
        monitor.setWindowOpen(Monitor::ReportWindow, true);
        ASSERT_EQ(0, monitor.OpenSampleDatabase(path));
        first = storeTest(250, 5, 20);
        second = storeTest(251, 60, 20);
        db().execute("UPDATE Samples SET EquipmentID = 'PUMP 7', SampleDate = '2026-03-0' || SampleID || 'T10:00:00'");
        grid->UpdateForm();
        monitor.fDataFrm_SelFromGrid(second);
        ASSERT_EQ(second, report->currentSample());
    }
    void TearDown() override
    {
        report.reset();
        grid.reset();
        monitor.closeDatabase();
    }
    db::Database& db() { return monitor.sampleDatabase()->database(); }
    qint32 storeTest(int diel, int iron, int water)
    {
        EXPECT_TRUE(monitor.StoreTestResult(test::sampleRecord(diel, iron, water, 0)));
        return monitor.currentSampleId();
    }
    QTableWidgetItem* cell(int table, int row, int column) const
    {
        return report->GridDataTable[size_t(table)]->item(row, column);
    }
    // Types `text` into a cell's editor and commits it with Return, then lets
    // the window redraw.
    void type(int table, int row, int column, const QString& text)
    {
        QTableWidget* t = report->GridDataTable[size_t(table)];
        t->editItem(t->item(row, column));
        auto* editor = t->findChild<QLineEdit*>();
        ASSERT_NE(nullptr, editor);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);   // the closed editor
    }
    QString gridCell(int column) const { return grid->model().cellText(0, column); }   // `second` is row 0
    QVariant stored(const QString& sql) { return db().queryValue(sql, {second}); }

    test::ScriptedPrompter prompts;
    Monitor monitor;
    std::unique_ptr<frmData> grid;
    std::unique_ptr<report::frmReport> report;
    qint32 first = 0, second = 0;
};

} // namespace

TEST_F(ReportRoad, CellEditsReachTheFileTheGridAndTheLevels)
{
    EXPECT_FALSE(cell(1, 2, 2)->flags() & Qt::ItemIsEditable);   // the older sample
    EXPECT_FALSE(cell(2, 1, 1)->flags() & Qt::ItemIsEditable);   // a Wear value

    type(1, 2, 1, "1500");
    type(1, 1, 1, "A-2");
    EXPECT_EQ("1500", stored("SELECT UnitUsage FROM Samples WHERE SampleID = ?").toString());
    EXPECT_EQ("1500", gridCell(SampleGridModel::ColUnitUsage));
    EXPECT_EQ("A-2", gridCell(SampleGridModel::ColSampleNum));

    // A non-number is put back and stores nothing.
    type(1, 3, 1, "lots");
    EXPECT_EQ(QStringList{"Please enter a number."}, prompts.texts());
    EXPECT_EQ("", cell(1, 3, 1)->text());
    EXPECT_TRUE(stored("SELECT OilUsage FROM Samples WHERE SampleID = ?").isNull());

    // The viscosity (row 4 of Chemistry) takes the grid's path: the change
    // against the reference oil (RefVisc40 46) is stored and redrawn.
    ASSERT_EQ("Viscosity @ 40C", cell(4, 4, 0)->text());
    type(4, 4, 1, "50.6");
    EXPECT_NEAR(50.6, monitor.sampleDatabase()->detailValue(second, 132), 1e-4);
    EXPECT_NEAR(4.76, monitor.sampleDatabase()->detailValue(second, 73), 0.01);
    EXPECT_EQ("4.8", cell(4, 3, 1)->text());
    EXPECT_EQ("50.6", gridCell(grid->model().viscosityColumn()));
    EXPECT_EQ(1u, prompts.messages.size());   // no error on the way
}

TEST_F(ReportRoad, ChangesMadeElsewhereRedrawTheReportAndADeletedSampleClearsIt)
{
    // A grid edit of the shown sample.
    SampleGridModel& m = grid->model();
    ASSERT_TRUE(m.setData(m.index(0, SampleGridModel::ColOilAdded), QStringLiteral("2.5")));
    QCoreApplication::processEvents();
    EXPECT_EQ("2.5", cell(1, 4, 1)->text());

    // A recalculation after the alarm set changed: ferrous 60 is now past Extreme.
    ASSERT_EQ("55", cell(2, 0, 1)->text());
    db().execute("UPDATE AlarmData SET Extreme = 50 WHERE ParmID = 59");
    monitor.fDataFrm_RecalculateAlarms(second);
    QCoreApplication::processEvents();
    EXPECT_EQ("85", cell(2, 0, 1)->text());
    EXPECT_EQ(QColor(255, 0, 0), cell(2, 0, 1)->background().color());

    // Deleting an older sample of the history drops its column; deleting the
    // shown one clears the window, and the Monitor no longer holds it.
    const auto deleteRow = [&](qint32 id) {
        const int row = m.rowOfSample(id) + 1;   // highlighted, not clicked
        grid->vsFlexData_MouseDown(Qt::LeftButton, row);
        grid->vsFlexData_MouseMove(row, true);
        grid->vsFlexData_MouseUp(row);
        prompts.answers.push_back(Answer::Yes);
        grid->DeleteSample();
        QCoreApplication::processEvents();
    };
    deleteRow(first);
    EXPECT_EQ(second, report->currentSample());
    EXPECT_EQ(2, report->GridDataTable[1]->columnCount());
    deleteRow(second);
    EXPECT_EQ(0, report->currentSample());
    EXPECT_EQ(0, report->GridDataTable[1]->rowCount());
    EXPECT_EQ(0, monitor.currentSampleId());
}

TEST_F(ReportRoad, PicturesAreCopiedIntoImgShownAndDeletedWithScriptedAnswers)
{
    monitor.settings().misc.img = true;
    monitor.fDataFrm_SelFromGrid(second);
    QImage photo(16, 16, QImage::Format_RGB32);
    photo.fill(Qt::blue);
    ASSERT_TRUE(QDir().mkpath(home.file("camera")));
    ASSERT_TRUE(photo.save(home.file("camera/gear.png")));

    const auto rightClick = [&](int slot) {
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
        QCoreApplication::sendEvent(report->Img[size_t(slot)], &e);
        report->mnuImgMain->hide();
    };
    rightClick(1);
    EXPECT_FALSE(report->mnuDelImg->isEnabled());
    // Img does not exist yet: created on Yes; the picture is copied into it.
    prompts.answers.push_back(Answer::Yes);
    prompts.fileNames.push_back(home.file("camera/gear.png"));
    report->mnuAddImg->trigger();
    ASSERT_EQ(1u, prompts.messages.size());
    EXPECT_TRUE(prompts.messages[0].text.startsWith("Directory: [")) << prompts.messages[0].text.toStdString();
    EXPECT_TRUE(QFile::exists(home.file("Img/gear.png")));
    EXPECT_EQ("gear.png", stored("SELECT ImageFile FROM Images WHERE SampleID = ? AND ReportSlot = 1").toString());
    EXPECT_FALSE(report->Img[1]->pixmap().isNull());

    // Shown again from the row after another sample; then deleted on Yes.
    monitor.fDataFrm_SelFromGrid(first);
    EXPECT_TRUE(report->Img[1]->pixmap().isNull());
    monitor.fDataFrm_SelFromGrid(second);
    EXPECT_FALSE(report->Img[1]->pixmap().isNull());
    rightClick(1);
    EXPECT_TRUE(report->mnuDelImg->isEnabled());
    prompts.answers.push_back(Answer::Yes);
    report->mnuDelImg->trigger();
    EXPECT_TRUE(report->Img[1]->pixmap().isNull());
    EXPECT_TRUE(stored("SELECT 1 FROM Images WHERE SampleID = ?").isNull());
    EXPECT_TRUE(QFile::exists(home.file("Img/gear.png")));   // the file stays
    EXPECT_EQ(2u, prompts.messages.size());
}
