// The editors' commands without a window, on copies of the built template
// (a file and a server database); what was committed is read back through a
// second connection.

#include "db/db_fixture.h"
#include "views/editor_store.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace qqc;

namespace {

class EditorStoreTest : public test::EngineCopy {
protected:
    void SetUp() override
    {
        EngineCopy::SetUp();
        if (IsSkipped())
            return;
        db = db::Database::open(path);
        store = EditorStore(db.get());
    }
    QVariant committed(const QString& sql) { return test::committedValue(path, sql); }
    int committedCount(const QString& sql) { return committed(sql).toInt(); }
    qint32 addSample(const QVariantList& values)  // AlarmID, RefID, CustomerID, EquipmentID
    {
        QVariant id;
        db->executeOn("Samples",
                      "INSERT INTO Samples (AlarmID, RefID, CustomerID, EquipmentID, SampleDate) VALUES (?, ?, ?, ?, "
                      "'2024-03-05T10:00:00')",
                      values, &id);
        return id.toInt();
    }

    std::unique_ptr<db::Database> db;
    EditorStore store;
};
QQC_BOTH_ENGINES(EditorStoreTest);

TEST_P(EditorStoreTest, NewAlarmSetCoversEveryListedParameterWithZeroLimits)
{
    const qint32 id = store.addAlarmSet();
    EXPECT_GT(id, 1);
    EXPECT_EQ(committedCount(QString("SELECT COUNT(*) FROM AlarmSets WHERE AlarmID = %1").arg(id)), 1);
    // ParmListQuery: the alarmed parameters 56, 59, 60, 73.
    EXPECT_EQ(committedCount(QString("SELECT COUNT(*) FROM AlarmData WHERE AlarmID = %1 AND HighNormal = 0 AND "
                                     "Alert = 0 AND Alarm = 0 AND Extreme = 0").arg(id)),
              4);
    const auto rows = store.alarmLimits(id);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].parmId, 56);
    EXPECT_EQ(rows[0].description.toString(), "Dielectric Change");

    db->execute("UPDATE Parameters SET ParmAlarm = 0");
    const qint32 bare = store.addAlarmSet();
    EXPECT_TRUE(store.alarmLimits(bare).empty());
}

TEST_P(EditorStoreTest, AnErrorMidAddOrMidDeleteLeavesTheFileAsItWas)
{
    test::injectFailure(path, "AlarmData", "INSERT", "NEW.ParmID = 60");
    EXPECT_THROW(store.addAlarmSet(), db::DbError);
    EXPECT_EQ(committedCount("SELECT COUNT(*) FROM AlarmSets"), 1);
    EXPECT_EQ(committedCount("SELECT COUNT(*) FROM AlarmData"), 4);

    db->execute("UPDATE Samples SET AlarmID = 0");
    test::injectFailure(path, "AlarmSets", "DELETE", "TRUE");
    EXPECT_THROW(store.remove(alarmSetTable(), 1), db::DbError);
    EXPECT_EQ(committedCount("SELECT COUNT(*) FROM AlarmData WHERE AlarmID = 1"), 4);
    EXPECT_EQ(committedCount("SELECT Alarm FROM Defaults"), 1);
}

TEST_P(EditorStoreTest, DeletingAnUnusedSetRemovesAllItsRowsAndTheDefault)
{
    // A limit row of a parameter no longer in the catalogue, which the
    // set's query does not return.
    db->execute("INSERT INTO AlarmData (AlarmID, ParmID) VALUES (1, 999)");
    EXPECT_EQ(store.remove(alarmSetTable(), 1), EditorStore::Removal::Deleted);
    EXPECT_EQ(committedCount("SELECT COUNT(*) FROM AlarmData WHERE AlarmID = 1"), 0);
    EXPECT_EQ(committedCount("SELECT COUNT(*) FROM AlarmSets"), 0);
    EXPECT_EQ(committedCount("SELECT Alarm FROM Defaults WHERE DefaultID = 1"), 0);
    EXPECT_EQ(committedCount("SELECT Ref FROM Defaults WHERE DefaultID = 1"), 1);
    EXPECT_EQ(store.remove(alarmSetTable(), 1), EditorStore::Removal::Missing);
}

TEST_P(EditorStoreTest, ARecordInUseNamesTheLowestSampleAndStays)
{
    addSample({0, 0, QVariant(), "other"});
    const qint32 first = addSample({0, 1, QVariant(), "PUMP|7$"});
    addSample({0, 1, QVariant(), "later"});
    const auto s = store.firstSampleUsing(referenceTable(), 1);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->sampleId, first);
    EXPECT_EQ(s->equipmentId, "PUMP|7$");
    EXPECT_FALSE(store.firstSampleUsing(referenceTable(), 2));

    SampleUsing using_;
    EXPECT_EQ(store.remove(referenceTable(), 1, &using_), EditorStore::Removal::InUse);
    EXPECT_EQ(using_.sampleId, first);
    EXPECT_EQ(committedCount("SELECT COUNT(*) FROM \"references\""), 1);
}

TEST_P(EditorStoreTest, TheInUseCheckIsRepeatedInsideTheDeletingTransaction)
{
    const qint32 oil = store.add(referenceTable());
    EXPECT_FALSE(store.firstSampleUsing(referenceTable(), oil));
    // Another station assigns it between the check and the confirmed delete.
    test::runSql(path, {QString("INSERT INTO Samples (RefID) VALUES (%1)").arg(oil)});
    EXPECT_EQ(store.remove(referenceTable(), oil), EditorStore::Removal::InUse);
    EXPECT_EQ(committedCount(QString("SELECT COUNT(*) FROM \"references\" WHERE RefID = %1").arg(oil)), 1);
}

TEST_P(EditorStoreTest, ACustomerInUseIsDeletedAndItsSamplesKeepTheirCustomerId)
{
    const qint32 customer = store.add(customerTable());
    const qint32 sample = addSample({1, 1, customer, "x"});
    EXPECT_EQ(store.remove(customerTable(), customer), EditorStore::Removal::Deleted);
    EXPECT_EQ(committedCount("SELECT COUNT(*) FROM Customers"), 0);
    EXPECT_EQ(committedCount(QString("SELECT CustomerID FROM Samples WHERE SampleID = %1").arg(sample)), customer);
}

TEST_P(EditorStoreTest, AFileFromTheEarlierTemplateGetsTheInUseIndexesOnTheFirstCheck)
{
    db->execute("DROP INDEX SamplesAlarmID");
    db->execute("DROP INDEX SamplesRefID");
    store = EditorStore(db.get());
    store.firstSampleUsing(alarmSetTable(), 1);
    if (onServer()) {
        EXPECT_EQ(committedCount("SELECT COUNT(*) FROM pg_indexes WHERE indexname = 'samplesalarmid'"), 1);
        return;
    }
    EXPECT_EQ(committedCount("SELECT COUNT(*) FROM sqlite_master WHERE name = 'SamplesAlarmID'"), 1);
    QSqlQuery q(db->connection());
    ASSERT_TRUE(q.exec("EXPLAIN QUERY PLAN SELECT MIN(SampleID) FROM Samples WHERE AlarmID = 3"));
    ASSERT_TRUE(q.next());
    EXPECT_TRUE(q.value(3).toString().contains("SamplesAlarmID")) << q.value(3).toString().toStdString();
}

TEST_P(EditorStoreTest, AnEditStoresOnlyItsFieldAndDefaultSetCreatesAMissingDefaultsRecord)
{
    db->execute("UPDATE \"references\" SET RefDielectric = 2.123456 WHERE RefID = 1");
    EXPECT_TRUE(store.setField(referenceTable(), 1, 1, "Acme"));
    EXPECT_DOUBLE_EQ(committed("SELECT RefDielectric FROM \"references\" WHERE RefID = 1").toDouble(), 2.123456);
    EXPECT_EQ(committed("SELECT Supplier FROM \"references\" WHERE RefID = 1").toString(), "Acme");
    EXPECT_FALSE(store.setField(referenceTable(), 77, 1, "gone"));
    // Keys beyond 16 bits reach their own record.
    db->execute("INSERT INTO \"references\" (RefID) VALUES (40000)");
    EXPECT_TRUE(store.setField(referenceTable(), 40000, 2, "Big"));
    EXPECT_EQ(store.read(referenceTable(), 40000)->values.value(2).toString(), "Big");

    db->execute("DELETE FROM Defaults");
    EXPECT_EQ(store.defaultId(referenceTable()), 0);
    store.setDefault(referenceTable(), 1);
    EXPECT_EQ(committedCount("SELECT Ref FROM Defaults WHERE DefaultID = 1"), 1);
    EXPECT_EQ(committedCount("SELECT Alarm FROM Defaults WHERE DefaultID = 1"), 0);
}

TEST(EditorCells, TypedTextIsStoredOnlyWhenItIsWhatTheColumnHolds)
{
    const ListColumn& limit = alarmLimitColumn();
    EXPECT_EQ(readCellInput(limit, "1O").refusal, "Alarm limits are numbers of 0 or more; \"1O\" was not stored.");
    EXPECT_EQ(readCellInput(limit, "-1").outcome, CellInput::Refuse);
    EXPECT_EQ(readCellInput(limit, "").value.toDouble(), 0.0);
    EXPECT_EQ(readCellInput(limit, " 12.5 ").value.toDouble(), 12.5);

    const ListColumn& date = referenceTable().columns[4];
    EXPECT_EQ(readCellInput(date, "2026-02-03").value.toDate(), QDate(2026, 2, 3));
    EXPECT_TRUE(readCellInput(date, "").value.isNull());
    const CellInput bad = readCellInput(date, "soon");
    EXPECT_EQ(bad.outcome, CellInput::Refuse);
    EXPECT_TRUE(bad.refusal.endsWith("; \"soon\" was not stored.")) << bad.refusal.toStdString();
    // What the cell shows reads back as the same date.
    const QString shown = cellDisplayText(date, QString("2026-02-03T00:00:00"));
    EXPECT_EQ(readCellInput(date, shown).value.toDate(), QDate(2026, 2, 3)) << shown.toStdString();

    const ListColumn& name = alarmSetTable().columns[1];
    EXPECT_EQ(readCellInput(name, QString(40, 'x')).value.toString(), QString(32, 'x'));
    EXPECT_EQ(readCellInput(name, "").outcome, CellInput::Keep);
    EXPECT_EQ(readCellInput(customerTable().columns[1], "").outcome, CellInput::Store);
    EXPECT_EQ(cellDisplayText(referenceTable().columns[5], 2.2), "2.200");
}

} // namespace
