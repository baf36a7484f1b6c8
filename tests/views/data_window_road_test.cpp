// The sample data window wired to a real Monitor on a copy of the built template.

#include "app/data_window.h"
#include "app/monitor.h"
#include "core/record.h"
#include "db/db_fixture.h"
#include "support/scripted_prompter.h"
#include "views/ui/sample_grid_view.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace qqc;

namespace {

class DataWindowRoad : public test::TemplateCopy {
protected:
    void SetUp() override
    {
        TemplateCopy::SetUp();
        form.reset(createDataWindow(monitor));
        form->resize(1000, 500);
        form->show();
        monitor.setWindowOpen(Monitor::DataWindow, true);
        ASSERT_EQ(0, monitor.OpenSampleDatabase(path));
    }
    void TearDown() override
    {
        form.reset();
        monitor.closeDatabase();
    }

    qint32 storeTest(int diel, int iron, int water)
    {
        TestRecord r;
        r.Rslt8700[Rslt::diel] = diel;
        r.Rslt8700[Rslt::iron] = iron;
        r.Rslt8700[Rslt::water] = water;
        EXPECT_TRUE(monitor.StoreTestResult(r));
        return monitor.currentSampleId();
    }
    void click(int gridRow, int column)
    {
        const QRect cell = form->grid().visualRect(form->model().index(gridRow - 1, column));
        QTest::mouseClick(form->grid().viewport(), Qt::LeftButton, {}, cell.center());
    }

    test::ScriptedPrompter prompts;
    Monitor monitor;
    std::unique_ptr<frmData> form;
};

TEST_F(DataWindowRoad, StoredTestsAppearAsNewFirstRowsAndAClickMakesOneCurrent)
{
    EXPECT_EQ(form->model().rowCount(), 0);
    const qint32 first = storeTest(250, 60, 150);
    const qint32 second = storeTest(231, 5, 20);
    SampleGridModel& m = form->model();
    ASSERT_EQ(m.rowCount(), 2);
    EXPECT_EQ(m.sampleIdAt(0), second);
    EXPECT_EQ(m.sampleIdAt(1), first);
    EXPECT_EQ(m.cellText(1, SampleGridModel::ColSampleNum), QString::number(first));
    // Ferrous 60 is between the Alarm and Extreme limits of the template's set: Wear 55.
    EXPECT_EQ(m.cellText(1, SampleGridModel::ColWear), QStringLiteral("55"));
    EXPECT_EQ(m.cellLevel(1, SampleGridModel::ColWear), 4);
    EXPECT_FALSE(m.cellText(1, m.dielectricColumn()).isEmpty());

    click(2, SampleGridModel::ColDate);
    EXPECT_EQ(monitor.currentSampleId(), first);
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().join("\n").toStdString();
}

TEST_F(DataWindowRoad, ViscosityEditStoresTheChangeAgainstTheReferenceOil)
{
    const qint32 id = storeTest(250, 5, 20);
    SampleGridModel& m = form->model();
    ASSERT_TRUE(m.setData(m.index(0, m.viscosityColumn()), QStringLiteral("50.6")));
    // The template's reference oil has RefVisc40 46: (50.6 - 46) * 100 / 96.6.
    EXPECT_NEAR(monitor.sampleDatabase()->detailValue(id, 73), 4.76, 0.01);
    EXPECT_EQ(m.cellText(0, m.viscosityColumn()), QStringLiteral("50.6"));
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().join("\n").toStdString();
}

TEST_F(DataWindowRoad, ClosedWindowIsReadAfreshWhenShownAgain)
{
    storeTest(250, 5, 20);
    form->close();
    EXPECT_FALSE(monitor.windowOpen(Monitor::DataWindow));
    const qint32 later = storeTest(260, 5, 20);  // not pushed to the closed window
    form->show();
    EXPECT_EQ(form->model().rowCount(), 2);
    EXPECT_EQ(form->model().sampleIdAt(0), later);
}

} // namespace
