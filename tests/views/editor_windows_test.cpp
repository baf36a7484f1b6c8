// The alarm set, reference oil and customer windows wired to a real Monitor
// on a copy of the built template, driven through their grids and buttons,
// with every question answered by a scripted prompter.

#include "app/data_window.h"
#include "app/editor_windows.h"
#include "app/monitor.h"
#include "db/db_fixture.h"
#include "support/scripted_prompter.h"
#include "util/vb_format.h"
#include "views/ui/editor_grid.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace qqc;

namespace {

class EditorWindows : public test::TemplateCopy {
protected:
    void SetUp() override
    {
        TemplateCopy::SetUp();
        for (QWidget* w : {static_cast<QWidget*>(alarms.get()), static_cast<QWidget*>(oils.get()),
                           static_cast<QWidget*>(customers.get())}) {
            w->resize(900, 400);
            w->show();
        }
        for (auto flag : {Monitor::AlarmWindow, Monitor::ReferenceWindow, Monitor::CustomerWindow})
            monitor.setWindowOpen(flag, true);
        ASSERT_EQ(0, monitor.OpenSampleDatabase(path));
    }
    void TearDown() override { monitor.closeDatabase(); }

    db::Database& db() { return monitor.sampleDatabase()->database(); }
    QVariant value(const QString& sql, const QVariantList& params = {}) { return db().queryValue(sql, params); }
    qint32 addSample(const QString& equipment, qint32 alarmId = 1, qint32 refId = 1)
    {
        QVariant id;
        db().executeOn("Samples",
                       "INSERT INTO Samples (SampleNum, SampleDate, EquipmentID, AlarmID, RefID) VALUES "
                       "('7', '2024-03-05T10:00:00', ?, ?, ?)",
                       {equipment, alarmId, refId}, &id);
        return id.toInt();
    }
    static void click(EditorGridView& grid, int row, int column)
    {
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(grid.model()->index(row, column)).center());
    }
    static void edit(QAbstractItemModel& m, int row, int column, const QString& text)
    {
        ASSERT_TRUE(m.setData(m.index(row, column), text, Qt::EditRole));
    }
    static QStringList headers(const QAbstractItemModel& m)
    {
        QStringList h;
        for (int c = 0; c < m.columnCount(); ++c)
            h << m.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        return h;
    }
    static QStringList frameAndButtonCaptions(QWidget& w)
    {
        QStringList c;
        for (auto* f : w.findChildren<QGroupBox*>())
            c << f->title();
        for (int i = 0; i < 6; ++i)
            if (auto* b = w.findChild<QPushButton*>(QString("CmdButton_%1").arg(i)))
                c << b->text();
        return c;
    }

    test::ScriptedPrompter prompts;
    Monitor monitor;
    std::unique_ptr<frmAlarm> alarms{createAlarmWindow(monitor)};
    std::unique_ptr<frmReference> oils{createReferenceWindow(monitor)};
    std::unique_ptr<frmCustomer> customers{createCustomerWindow(monitor)};
};

TEST_F(EditorWindows, CaptionsHeadersAndColouredLimitHeadersAreExact)
{
    EXPECT_EQ(alarms->windowTitle(), "Alarms - Default: Standard Limits");
    EXPECT_EQ(oils->windowTitle(),
              "Reference - Default: Generic - ISO VG 46 - Mineral hydraulic oil (edit to match your new oil)");
    EXPECT_EQ(customers->windowTitle(), "Customer");
    EXPECT_EQ(headers(alarms->setsModel()), QStringList({"Alarm ID ", "Equipment Alarm Limit Set "}));
    EXPECT_EQ(headers(alarms->detailModel()),
              QStringList({"ParmID", "Parameter", "Low Alert", "High Alert", "Low Fault", "High Fault"}));
    EXPECT_EQ(headers(oils->model()).join("|"), "Ref ID|Supplier              |Brand Name                |Oil Description   "
                                                "|Date        |Dielectric|Visc. @ 40");
    EXPECT_EQ(headers(customers->model()).join("|"),
              "Customer ID|Last Name           |First Name                |Address                        |City       "
              "         |State   |Zip            |Phone               |E-Mai           ");
    EXPECT_EQ(frameAndButtonCaptions(*alarms),
              QStringList({"Alarm", "Sample Alarm", "Default Alarm", "Add", "Delete", "Set", "Clear", "Set", "Clear"}));
    EXPECT_EQ(frameAndButtonCaptions(*customers), QStringList({"Customer", "Sample Customer", "Add", "Delete", "Set", "Clear"}));
    EXPECT_TRUE(oils->grid().isColumnHidden(0));
    EXPECT_EQ(oils->model().cellText(0, 5), "2.200");
    EXPECT_EQ(oils->model().cellText(0, 6), "46.00");

    // Rendered: the four limit headers in the colours of levels 2 to 5.
    alarms->UpdateForm(1);
    QHeaderView* header = alarms->details().horizontalHeader();
    const QImage shot = header->grab().toImage();
    const QRgb expected[] = {0x00FFFF, 0xFFFF00, 0xFF00FF, 0xFF0000};
    for (int i = 0; i < 4; ++i) {
        const int x = header->sectionViewportPosition(2 + i) + header->sectionSize(2 + i) - 3;
        EXPECT_EQ(shot.pixel(x, 3) & 0xFFFFFF, expected[i]) << "limit header " << i;
    }
    EXPECT_EQ(alarms->details().selectionModel()->selectedRows().size(), 0);
    EXPECT_EQ(alarms->sets().selectionModel()->selectedRows().size(), 1) << "the marked set's row";
}

TEST_F(EditorWindows, UpdateFormMarksTheSamplesRecordInThePaintedGrid)
{
    db().execute("INSERT INTO AlarmSets (AlarmID, AlarmDescription) VALUES (2, 'Gearbox')");
    db().execute("INSERT INTO Customers (CustomerID, Lastname) VALUES (1, 'Ames'), (2, 'Berg')");
    monitor.OpenSampleDatabase(path); // the windows read their lists again
    // The colour at the left of a row's second column, as painted.
    auto rowColour = [](EditorGridView& grid, int row) {
        const QImage shot = grid.viewport()->grab().toImage();
        const QRect cell = grid.visualRect(grid.model()->index(row, 1));
        return QColor(shot.pixel(cell.left() + 2, cell.center().y())).rgb() & 0xFFFFFF;
    };
    auto highlight = [](EditorGridView& grid) {
        return QSet<QRgb>{grid.palette().color(QPalette::Active, QPalette::Highlight).rgb() & 0xFFFFFF,
                          grid.palette().color(QPalette::Inactive, QPalette::Highlight).rgb() & 0xFFFFFF};
    };
    auto rowOf = [](const QAbstractItemModel& m, const QString& text) {
        for (int r = 0; r < m.rowCount(); ++r)
            if (m.index(r, 1).data().toString().trimmed() == text)
                return r;
        return -1;
    };
    for (const QString& marked : {QString("Gearbox"), QString("Standard Limits")}) {
        alarms->UpdateForm(marked == "Gearbox" ? 2 : 1);
        const QString other = marked == "Gearbox" ? "Standard Limits" : "Gearbox";
        EXPECT_TRUE(highlight(alarms->sets()).contains(rowColour(alarms->sets(), rowOf(alarms->setsModel(), marked))));
        EXPECT_FALSE(highlight(alarms->sets()).contains(rowColour(alarms->sets(), rowOf(alarms->setsModel(), other))));
    }
    customers->UpdateForm(2);
    EXPECT_TRUE(highlight(customers->grid()).contains(rowColour(customers->grid(), rowOf(customers->model(), "Berg"))));
    EXPECT_FALSE(highlight(customers->grid()).contains(rowColour(customers->grid(), rowOf(customers->model(), "Ames"))));
}

TEST_F(EditorWindows, Iso11171PairsShowOneSideAndUpdateFormReadsLimitsOnlyForANewSet)
{
    db().execute("INSERT INTO Parameters (ParmID, ParmDescription, ParmAlarm) VALUES (97, 'P4', 1), (1097, 'P4 ISO', 1)");
    db().execute("INSERT INTO AlarmData (AlarmID, ParmID) VALUES (1, 97), (1, 1097)");
    auto hidden = [&](int parmId) {
        for (int r = 0; r < alarms->detailModel().rowCount(); ++r)
            if (alarms->detailModel().parmIdAt(r) == parmId)
                return alarms->details().isRowHidden(r);
        return false;
    };
    alarms->UpdateForm(1);
    EXPECT_FALSE(hidden(97));
    EXPECT_TRUE(hidden(1097));
    EXPECT_FALSE(hidden(59));
    alarms->LetISO11171(1);
    click(alarms->sets(), 0, 1);
    EXPECT_TRUE(hidden(97));
    EXPECT_FALSE(hidden(1097));

    // Unknown and 0 change neither grid; the same set again reads nothing.
    QSignalSpy resets(&alarms->detailModel(), &QAbstractItemModel::modelReset);
    alarms->UpdateForm(99);
    alarms->UpdateForm(0);
    EXPECT_EQ(alarms->detailModel().alarmId(), 1);
    EXPECT_EQ(alarms->sets().currentRow(), -1);
    alarms->UpdateForm(1);
    alarms->UpdateForm(1);
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(alarms->sets().currentRow(), 0);
}

TEST_F(EditorWindows, LimitEditsGoToTheShownSetAndTextThatIsNoLimitIsRefused)
{
    alarms->button(0)->click();  // Add: the new set is marked, its zero limits shown
    const qint32 added = alarms->detailModel().alarmId();
    ASSERT_GT(added, 1);
    EXPECT_EQ(alarms->detailModel().rowCount(), 4);
    edit(alarms->setsModel(), 1, 1, QString(40, 'N'));
    EXPECT_EQ(alarms->setsModel().cellText(1, 1), QString(32, 'N'));
    edit(alarms->setsModel(), 1, 1, "");
    EXPECT_EQ(alarms->setsModel().cellText(1, 1), QString(32, 'N'));

    // The master grid's current row moves to the other set; the limits shown stay the new set's.
    alarms->sets().setCurrentIndex(alarms->setsModel().index(0, 1));
    edit(alarms->detailModel(), 1, 3, "30");  // ferrous index, Alert
    EXPECT_EQ(value("SELECT Alert FROM AlarmData WHERE AlarmID = ? AND ParmID = 59", {added}).toDouble(), 30.0);
    EXPECT_EQ(value("SELECT Alert FROM AlarmData WHERE AlarmID = 1 AND ParmID = 59").toDouble(), 25.0);

    edit(alarms->detailModel(), 1, 3, "1O");
    EXPECT_EQ(prompts.texts(), QStringList{"Alarm limits are numbers of 0 or more; \"1O\" was not stored."});
    EXPECT_EQ(alarms->detailModel().cellText(1, 3), "30");
    edit(alarms->detailModel(), 1, 3, "-5");
    EXPECT_EQ(value("SELECT Alert FROM AlarmData WHERE AlarmID = ? AND ParmID = 59", {added}).toDouble(), 30.0);
}

TEST_F(EditorWindows, DefaultSetAndDeleteKeepTheCaptionTrueAndRefuseASetInUse)
{
    const qint32 first = addSample("PUMP|$1", 1);
    addSample("later", 1);
    click(alarms->sets(), 0, 1);
    alarms->button(1)->click();
    EXPECT_EQ(prompts.texts().last(),
              QString("There is a Sample using this Alarm Set:\r\n\r\nSample:%1 Date:%2 Equip. ID:PUMP|$1\r\n\r\nAlarm Set "
                      "cannot be deleted!").arg(first).arg(Format(QDateTime(QDate(2024, 3, 5), QTime(10, 0)), "Short Date")));
    EXPECT_EQ(prompts.messages.back().title, "Deleting Alarm Set");
    alarms->button(1)->click();
    EXPECT_EQ(prompts.texts().last(), "You have not selected an Alarm Set to delete! ");

    db().execute("UPDATE Samples SET AlarmID = 0");
    click(alarms->sets(), 0, 1);
    prompts.answers.push_back(Answer::Yes);
    alarms->button(1)->click();
    EXPECT_EQ(prompts.messages.back().text, "Are you sure you want to delete Alarm Set: Standard Limits");
    EXPECT_EQ(alarms->setsModel().rowCount(), 0);
    EXPECT_EQ(alarms->windowTitle(), "Alarms - Default: None");

    alarms->button(4)->click();
    EXPECT_EQ(prompts.texts().last(), "Please select an Alarm.");
    alarms->button(0)->click();
    alarms->button(4)->click();
    EXPECT_EQ(alarms->windowTitle(), "Alarms - Default: ");
    alarms->button(5)->click();
    EXPECT_EQ(alarms->windowTitle(), "Alarms - Default: None");
}

TEST_F(EditorWindows, SetOfAnotherSetAnsweredOkRecalculatesTheSample)
{
    std::unique_ptr<frmData> data(createDataWindow(monitor));
    data->show();
    monitor.setWindowOpen(Monitor::DataWindow, true);
    refreshDataWindow(*data, monitor);
    ASSERT_TRUE(monitor.StoreTestResult(test::sampleRecord(231, 60, 20, 0)));
    const qint32 sample = monitor.currentSampleId();
    const QColor alarmColour = data->model().data(data->model().index(0, SampleGridModel::ColWear), Qt::BackgroundRole).value<QColor>();
    EXPECT_EQ(data->model().cellLevel(0, SampleGridModel::ColWear), 4);
    // Ferrous 60 against the template's set: level 4.
    EXPECT_EQ(value("SELECT Severity FROM SampleDetails WHERE SampleID = ? AND ParmID = 59", {sample}).toInt(), 4);
    alarms->button(0)->click();  // a set of zero limits: every value is beyond them
    const qint32 added = alarms->detailModel().alarmId();
    edit(alarms->detailModel(), 1, 2, "100");
    edit(alarms->detailModel(), 1, 3, "200");
    edit(alarms->detailModel(), 1, 4, "300");
    edit(alarms->detailModel(), 1, 5, "400");

    QSignalSpy set(alarms.get(), &frmAlarm::SetAlarm);
    prompts.answers.push_back(Answer::Ok);
    alarms->button(2)->click();
    ASSERT_EQ(set.count(), 1);
    EXPECT_EQ(set.at(0).at(0).toInt(), added);
    EXPECT_EQ(value("SELECT AlarmID FROM Samples WHERE SampleID = ?", {sample}).toInt(), added);
    EXPECT_EQ(value("SELECT Severity FROM SampleDetails WHERE SampleID = ? AND ParmID = 59", {sample}).toInt(), 1);
    EXPECT_EQ(value("SELECT WearSev FROM Samples WHERE SampleID = ?", {sample}).toInt(), 0);
    // The sample grid's Wear cell follows: another level, another colour.
    EXPECT_EQ(data->model().cellLevel(0, SampleGridModel::ColWear), 1);
    EXPECT_NE(data->model().data(data->model().index(0, SampleGridModel::ColWear), Qt::BackgroundRole).value<QColor>(),
              alarmColour);

    // Made the default, the set judges the next test with the typed limits.
    alarms->button(4)->click();
    EXPECT_EQ(alarms->windowTitle(), "Alarms - Default: ");
    ASSERT_TRUE(monitor.StoreTestResult(test::sampleRecord(231, 150, 20, 0)));
    const qint32 next = monitor.currentSampleId();
    EXPECT_EQ(value("SELECT AlarmID FROM Samples WHERE SampleID = ?", {next}).toInt(), added);
    EXPECT_EQ(value("SELECT Severity FROM SampleDetails WHERE SampleID = ? AND ParmID = 59", {next}).toInt(), 2);

    // Without a current row "Set" asks for one and raises nothing.
    alarms->UpdateForm(0);
    alarms->button(2)->click();
    EXPECT_EQ(prompts.texts().last(), "Please select and alarm set first.");
    EXPECT_EQ(set.count(), 1);
}

TEST_F(EditorWindows, ReferenceSetPassesTheStoredDielectricAndEditsStoreOnlyTheirCell)
{
    ASSERT_TRUE(monitor.StoreTestResult(test::sampleRecord(250, 5, 20, 0)));
    const qint32 sample = monitor.currentSampleId();
    const double change = value("SELECT Value FROM SampleDetails WHERE SampleID = ? AND ParmID = 56", {sample}).toDouble();
    db().execute("UPDATE \"References\" SET RefDielectric = 2.123456 WHERE RefID = 1");
    oils->SetDB(&db());
    oils->UpdateForm(0);
    EXPECT_EQ(oils->model().cellText(0, 5), "2.123");
    QSignalSpy set(oils.get(), &frmReference::SetRef);
    click(oils->grid(), 0, 1);  // the only oil: a click selects it
    EXPECT_EQ(oils->selectedId(), 1);
    prompts.answers.push_back(Answer::Ok);
    oils->button(2)->click();
    ASSERT_EQ(set.count(), 1);
    EXPECT_FLOAT_EQ(set.at(0).at(1).toFloat(), 2.123456f);
    EXPECT_FLOAT_EQ(value("SELECT RefDielectric FROM Samples WHERE SampleID = ?", {sample}).toFloat(), 2.123456f);
    EXPECT_NE(value("SELECT Value FROM SampleDetails WHERE SampleID = ? AND ParmID = 56", {sample}).toDouble(), change);

    edit(oils->model(), 0, 1, "Acme");
    EXPECT_DOUBLE_EQ(value("SELECT RefDielectric FROM \"References\" WHERE RefID = 1").toDouble(), 2.123456);
    edit(oils->model(), 0, 4, "someday");
    EXPECT_TRUE(prompts.texts().last().endsWith("; \"someday\" was not stored.")) << prompts.texts().last().toStdString();
    EXPECT_EQ(oils->model().cellText(0, 4), Format(QDate(2026, 1, 1).startOfDay(), "Short Date"));
    edit(oils->model(), 0, 5, "abc");
    EXPECT_EQ(oils->model().cellText(0, 5), "2.123");
    edit(oils->model(), 0, 2, "");
    EXPECT_TRUE(value("SELECT BrandName FROM \"References\" WHERE RefID = 1").isNull());

    addSample("E1", 1, 1);
    prompts.answers.push_back(Answer::Yes);
    oils->button(1)->click();
    EXPECT_TRUE(prompts.texts().last().startsWith("There is a Sample using this Reference Oil:"));
    db().execute("UPDATE Samples SET RefID = 0");
    prompts.answers.push_back(Answer::Yes);
    oils->button(1)->click();
    EXPECT_EQ(prompts.texts().last(),
              "Are you sure you want to DELETE Reference Oil:  Acme, , Mineral hydraulic oil (edit to match your new oil)  ");
    EXPECT_EQ(oils->model().rowCount(), 0);
    EXPECT_EQ(oils->windowTitle(), "Reference - Default: None");
}

TEST_F(EditorWindows, CustomersSortByEveryColumnAndTheOnlyOneCanBeDeleted)
{
    customers->button(0)->click();
    const qint32 only = customers->model().idAt(0);
    edit(customers->model(), 0, 1, "Smith|Jones");
    edit(customers->model(), 0, 2, "Ann$");
    click(customers->grid(), 0, 1);
    prompts.answers.push_back(Answer::Yes);
    customers->button(1)->click();
    EXPECT_EQ(prompts.texts().last(), "Are you sure you want to DELETE Customer:  Smith|Jones, Ann$");
    EXPECT_EQ(value("SELECT COUNT(*) FROM Customers WHERE CustomerID = ?", {only}).toInt(), 0);

    for (const char* mail : {"b@x", "A@x", "c@x"}) {
        customers->button(0)->click();
        edit(customers->model(), customers->model().rowCount() - 1, 8, mail);
    }
    QTest::mouseClick(customers->grid().horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(customers->grid().horizontalHeader()->sectionViewportPosition(8) + 5, 5));
    EXPECT_EQ(customers->model().cellText(0, 8), "c@x");
    EXPECT_EQ(customers->model().cellText(2, 8), "A@x");
    customers->gridClick(0, 8);
    EXPECT_EQ(customers->model().cellText(0, 8), "A@x");
    // The customer added last stays selected and marked through the sorts.
    EXPECT_EQ(customers->grid().currentRow(), customers->model().rowOf(customers->selectedId()));

    QSignalSpy set(customers.get(), &frmCustomer::SetCustomer);
    customers->button(3)->click();
    ASSERT_EQ(set.count(), 1);
    EXPECT_EQ(set.at(0).at(0).toInt(), 0);
    monitor.closeDatabase();
    EXPECT_EQ(customers->model().rowCount(), 0);
}

} // namespace
