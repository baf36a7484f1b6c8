// The template, the layout check on open, storing tests and assignments.
#include "db_fixture.h"
#include "support/scripted_prompter.h"

#include "core/record.h"

using namespace qqc;
using namespace qqc::db;
using qqc::test::runSql;

namespace {

struct Detail {
    float value;
    int severity;
};

std::map<int, Detail> details(SampleDatabase& s, qint32 id)
{
    std::map<int, Detail> out;
    QSqlQuery q(s.database().connection());
    q.exec(QString("SELECT ParmID, Value, Severity FROM SampleDetails WHERE SampleID = %1").arg(id));
    while (q.next())
        out[q.value(0).toInt()] = {float(q.value(1).toDouble()), q.value(2).toInt()};
    return out;
}

int count(SampleDatabase& s, const QString& table)
{
    return s.database().openTable(table)->recordCount();
}

QVariant sampleField(SampleDatabase& s, qint32 id, const QString& field)
{
    auto rs = s.database().openTable("Samples");
    return rs->seek({id}) ? rs->value(field) : QVariant();
}

} // namespace

class Store : public test::EngineCopy {};
QQC_BOTH_ENGINES(Store);

// Opening checks the queries the store uses; the trend and calibration
// history queries have no caller yet, so only this shows they are there.
TEST_P(Store, TemplateHoldsTheQueriesOfLaterWindows)
{
    auto s = openStore();
    ASSERT_TRUE(s);
    EXPECT_NO_THROW(s->database().queryDef("CalDataQuery"));
    EXPECT_EQ(2, s->database().queryDef("SampleTrendQuery")->parameterCount());
}

TEST_P(Store, OpenRefusesBrokenLayouts)
{
    auto status = SampleDatabase::OpenStatus::Opened;
    auto failsWith = [&](int number) {
        try {
            SampleDatabase::open(path, status);
            ADD_FAILURE() << "opened";
        } catch (const DbError& e) {
            EXPECT_EQ(number, e.number()) << e.what();
        }
    };
    runSql(path, {"INSERT INTO Parameters (ParmID, ParmDescription) VALUES (1500, 'Lab only')"});
    EXPECT_TRUE(SampleDatabase::open(path, status)) << "ParmID 1000 and above is skipped";
    runSql(path, {"INSERT INTO Parameters (ParmID, ParmDescription) VALUES (40, 'Out of range')"});
    failsWith(9);
    runSql(path, {"DELETE FROM Parameters WHERE ParmID = 40", "DELETE FROM StoredQueries WHERE QueryName = 'AlarmDataQuery'"});
    failsWith(DbErr::ObjectNotFound);
    runSql(path, {"DROP TABLE SystemData"});
    failsWith(onServer() ? DbErr::NotADatabase : DbErr::ObjectNotFound);
    // An old layout is sent to the upgrade through the Monitor in tests/app.
}

TEST_P(Store, ATestBecomesASampleWithLevelsAndTrifoldValues)
{
    auto s = openStore();
    const QDateTime now(QDate(2026, 12, 6), QTime(8, 0, 0));
    Transaction t(s->database());
    const qint32 id = s->storeTestResult(test::sampleRecord(231, 12, 150, 5), now);
    t.commit();

    EXPECT_EQ(QString::number(id), sampleField(*s, id, "SampleNum").toString());
    EXPECT_EQ(now, sampleField(*s, id, "SampleDate").toDateTime());
    EXPECT_EQ(1, sampleField(*s, id, "RefID").toInt());
    EXPECT_EQ(1, sampleField(*s, id, "AlarmID").toInt());
    EXPECT_FLOAT_EQ(2.2f, sampleField(*s, id, "RefDielectric").toFloat());
    EXPECT_EQ("3500,2900,220,300", sampleField(*s, id, "CalData").toString());

    // Dielectric itself is not alarmed; LCont 5 sets droplets and non-ferrous particles, not ferrous.
    const std::map<int, Detail> expected = {{56, {(2.31f - 2.2f) * 100.0f, 2}}, {58, {2.31f, 0}}, {59, {12, 2}},
                                            {60, {1.5f, 2}}, {65, {1, 4}}, {66, {0, 1}}, {67, {1, 4}}};
    auto d = details(*s, id);
    ASSERT_EQ(expected.size(), d.size());
    for (const auto& [parm, e] : expected) {
        EXPECT_FLOAT_EQ(e.value, d[parm].value) << parm;
        EXPECT_EQ(e.severity, d[parm].severity) << parm;
    }
    EXPECT_FLOAT_EQ(10, sampleField(*s, id, "WearSev").toFloat());    // 59 at 2, 66 at 1
    EXPECT_FLOAT_EQ(55, sampleField(*s, id, "ContamSev").toFloat());  // 65 and 67 at 4
    EXPECT_FLOAT_EQ(10, sampleField(*s, id, "ChemSev").toFloat());    // 56 at 2

    TestRecord loaded;
    ASSERT_TRUE(s->LoadTestRecord(id, loaded));
    EXPECT_EQ(test::sampleRecord(231, 12, 150, 5), loaded);
    EXPECT_FALSE(s->LoadTestRecord(id + 100, loaded));
    EXPECT_EQ(id + 1, s->AddNewSample(now)) << "outside a transaction it takes one of its own";
}

namespace {

// What storing a test must leave: the routines one after the other.
qint32 storeRoutineByRoutine(SampleDatabase& s, const TestRecord& r, const QDateTime& now)
{
    const qint32 id = s.AddNewSample(now);
    s.SaveTestRecord(id, r);
    float dielectric = float(double(r.Rslt8700[Rslt::diel]) / 100.0);
    CompareResult cmp = s.CompareToReference(id, dielectric, -1.0f);
    s.SaveParameterData(id, cmp.dielectricChange, 56);
    s.SaveParameterData(id, dielectric, 58);
    float ferrous = float(r.Rslt8700[Rslt::iron]);
    s.SaveParameterData(id, ferrous, 59);
    float water = float(double(r.Rslt8700[Rslt::water]) / 100.0);
    s.SaveParameterData(id, water, 60);
    const std::pair<short, int> flags[] = {{65, LcontFlag::Droplets}, {66, LcontFlag::Ferrous}, {67, LcontFlag::NonFerrous}};
    for (const auto& [parm, bit] : flags) {
        float flag = (r.Rslt8700[Rslt::lcont] & bit) ? 1.0f : 0.0f;
        s.SaveParameterData(id, flag, parm);
    }
    s.UpdateTriFold(id);
    return id;
}

// Every stored column of a sample and its details as text with its storage
// class (the driver's type for each), the sample's own number left out.
QStringList storedRows(SampleDatabase& s, qint32 id)
{
    QStringList rows;
    QSqlQuery q(s.database().connection());
    for (const char* sql : {"SELECT * FROM Samples WHERE SampleID = %1",
                            "SELECT * FROM SampleDetails WHERE SampleID = %1 ORDER BY ParmID"}) {
        q.exec(QString(sql).arg(id));
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i) {
                const QString f = q.record().fieldName(i).toLower();
                const QVariant v = q.value(i);
                if (f != "sampleid")
                    row << f + "=" + (f == "samplenum" ? (v.toString() == QString::number(id) ? "own" : "other") : v.toString())
                               + ":" + (v.isNull() ? "null" : v.typeName());
            }
            rows << row.join(' ');
        }
    }
    return rows;
}

} // namespace

TEST_P(Store, StoringATestLeavesWhatTheRoutinesOneAfterAnotherLeave)
{
    // With the default reference oil (dielectric change stored), without it
    // (none stored), with a negative water reading and every flag.
    auto s = openStore();
    const QDateTime now(QDate(2026, 12, 6), QTime(9, 30, 15));
    const std::vector<TestRecord> records = {test::sampleRecord(231, 12, 150, 5), test::sampleRecord(205, 95, -40, 7),
                                             test::sampleRecord(260, 0, 0, 0), test::sampleRecord(190, 48, 390, 2)};
    for (int withReference : {1, 0}) {
        if (!withReference)
            s->database().execute("UPDATE Defaults SET Ref = 77 WHERE DefaultID = 1");
        for (const TestRecord& r : records) {
            Transaction t(s->database());
            const qint32 fused = s->storeTestResult(r, now);
            const qint32 single = storeRoutineByRoutine(*s, r, now);
            t.commit();
            const QStringList expected = storedRows(*s, single);
            EXPECT_EQ(expected, storedRows(*s, fused));
            EXPECT_EQ(withReference ? 7 : 6, int(details(*s, fused).size()));
        }
    }
}

TEST_P(Store, ABulkLoadFollowsChangesMadeInsideItsTransaction)
{
    // Storing many tests in one transaction reads the defaults and limits
    // once; whatever the same transaction changes in between must still count.
    auto s = openStore();
    const QDateTime now(QDate(2026, 12, 6), QTime(9, 30, 15));
    Transaction t(s->database());
    const qint32 first = s->storeTestResult(test::sampleRecord(231, 12, 150, 0), now);
    EXPECT_EQ(2, details(*s, first)[Parm::Ferrous].severity);

    auto limits = s->database().openTable("AlarmData");
    ASSERT_TRUE(limits->seek({1, Parm::Ferrous}));
    limits->edit();
    limits->setValue("HighNormal", 50);
    limits->update();
    s->database().execute("UPDATE Defaults SET Ref = 77 WHERE DefaultID = 1");
    const qint32 added = s->AddNewSample(now);
    s->database().execute("DELETE FROM Samples WHERE SampleID = ?", {added});

    const qint32 second = s->storeTestResult(test::sampleRecord(231, 12, 150, 0), now);
    t.commit();
    EXPECT_GT(second, added) << "numbers taken meanwhile, even deleted ones, are not reused";
    const auto d = details(*s, second);
    EXPECT_EQ(1, d.at(Parm::Ferrous).severity) << "the raised limit counts";
    EXPECT_EQ(0u, d.count(Parm::DielectricChange)) << "the new default has no reference oil";
    EXPECT_EQ(77, sampleField(*s, second, "RefID").toInt());
}

TEST_P(Store, NegativeAndMissingValueRules)
{
    auto s = openStore();
    Transaction t(s->database());
    const qint32 id = s->AddNewSample(QDateTime::currentDateTime());

    float v = -0.5f;
    s->SaveParameterData(id, v, 59);
    EXPECT_EQ(0.0f, v) << "the caller's value is changed too";
    EXPECT_EQ(0.0f, details(*s, id)[59].value);

    v = -25.0f;
    s->SaveParameterData(id, v, 56);
    EXPECT_EQ(-25.0f, details(*s, id)[56].value) << "a negative change is stored as it is";
    EXPECT_EQ(3, details(*s, id)[56].severity) << "and judged by its size";

    v = NoValue;
    s->SaveParameterData(id, v, 73);
    EXPECT_EQ(0u, details(*s, id).count(73)) << "-999 with no row does nothing";
    v = 12.0f;
    s->SaveParameterData(id, v, 73);
    EXPECT_EQ(3, details(*s, id)[73].severity);
    v = NoValue;
    s->SaveParameterData(id, v, 73);
    EXPECT_EQ(0u, details(*s, id).count(73)) << "-999 removes the row";
    t.commit();
}

TEST_P(Store, ReferenceComparisonFigures)
{
    runSql(path, {"INSERT INTO \"references\" (RefID, RefDielectric, RefVisc40) VALUES (7, 0, 100)",
                  "UPDATE Defaults SET Ref = 7"});
    auto s = openStore();
    Transaction t(s->database());
    const qint32 id = s->storeTestResult(test::sampleRecord(231, 0, 0, 0), QDateTime::currentDateTime());
    EXPECT_EQ(0u, details(*s, id).count(56)) << "a reference without dielectric gives no row 56";
    EXPECT_EQ(6u, details(*s, id).size());

    const CompareResult r = s->CompareToReference(id, 2.3f, 110.0f);
    EXPECT_NEAR(10.0f * 100.0f / 210.0f, r.viscosityChange, 1e-4);
    EXPECT_EQ(NoValue, r.dielectricChange);
    EXPECT_EQ(NoValue, s->CompareToReference(id, 2.3f, -1.0f).viscosityChange);
    EXPECT_EQ(NoValue, s->CompareToReference(id + 50, 2.3f, 110.0f).viscosityChange) << "unknown sample";
    t.commit();
}

TEST_P(Store, AnErrorMidStoreLeavesNoSampleBehind)
{
    if (onServer())
        runSql(path, {"CREATE FUNCTION injected() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF NEW.ParmID = 60"
                      " THEN RAISE EXCEPTION 'injected failure'; END IF; RETURN NEW; END $$",
                      "CREATE TRIGGER injected BEFORE INSERT ON SampleDetails FOR EACH ROW EXECUTE FUNCTION injected()"});
    else
        runSql(path, {"CREATE TRIGGER injected BEFORE INSERT ON SampleDetails WHEN NEW.ParmID = 60"
                      " BEGIN SELECT RAISE(ABORT, 'injected failure'); END"});
    auto s = openStore();
    try {
        Transaction t(s->database());
        s->storeTestResult(test::sampleRecord(231, 12, 150, 5), QDateTime::currentDateTime());
        t.commit();
        ADD_FAILURE() << "stored";
    } catch (const RoutineFailure& f) {
        EXPECT_EQ("SaveParameterData ", f.routine);
        EXPECT_TRUE(f.description.contains("injected failure"));
    }
    EXPECT_EQ(0, count(*s, "Samples"));
    EXPECT_EQ(0, count(*s, "SampleDetails"));
    EXPECT_EQ(0, s->database().transactionDepth());

    // The store works again afterwards, on the same cursors.
    runSql(path, {onServer() ? "DROP TRIGGER injected ON SampleDetails" : "DROP TRIGGER injected"});
    Transaction t(s->database());
    s->storeTestResult(test::sampleRecord(231, 12, 150, 5), QDateTime::currentDateTime());
    t.commit();
    EXPECT_EQ(1, count(*s, "Samples"));
}

TEST_P(Store, GetSeverityAndAssignmentsRecalculateLevels)
{
    test::ScriptedPrompter prompts;
    auto s = openStore();
    Transaction t(s->database());
    const qint32 id = s->storeTestResult(test::sampleRecord(231, 60, 150, 2), QDateTime::currentDateTime());
    EXPECT_EQ(4, details(*s, id)[59].severity);
    EXPECT_EQ(4, s->GetSeverity(id, 60.0f, 59));
    EXPECT_EQ(0, s->GetSeverity(id + 1, 60.0f, 59)) << "missing sample";
    EXPECT_EQ(0, s->GetSeverity(id, 60.0f, 999)) << "missing parameter";
    // A parameter that is not alarmed gives 0 even when its set has limits.
    s->database().execute("INSERT INTO AlarmData (AlarmID, ParmID, HighNormal, Alert, Alarm, Extreme) "
                          "VALUES (1, 58, 1, 2, 3, 4)");
    EXPECT_EQ(0, s->GetSeverity(id, 3.5f, 58)) << "not alarmed";

    s->setAlarm(id, 0);
    auto d = details(*s, id);
    for (int p : {56, 58, 59, 60})
        EXPECT_EQ(0, d[p].severity) << p;
    EXPECT_EQ(4, d[66].severity) << "flags are always judged";
    EXPECT_EQ(1, d[65].severity);
    EXPECT_FLOAT_EQ(55, sampleField(*s, id, "WearSev").toFloat());
    EXPECT_FLOAT_EQ(0, sampleField(*s, id, "ContamSev").toFloat());
    EXPECT_FLOAT_EQ(-1, sampleField(*s, id, "ChemSev").toFloat()) << "only level-0 rows on the axis";

    s->setAlarm(id, 1);
    EXPECT_EQ(4, details(*s, id)[59].severity);

    // A new reference oil: 56 follows it; with a viscosity, 73 appears.
    s->database().execute("INSERT INTO \"references\" (RefID, RefDielectric, RefVisc40) VALUES (9, 2.0, 40)");
    float visc = 50.0f;
    s->SaveParameterData(id, visc, 132);
    s->setReference(id, 9, 2.0f);
    d = details(*s, id);
    EXPECT_FLOAT_EQ((2.31f - 2.0f) * 100.0f, d[56].value);
    EXPECT_EQ(3, d[56].severity);
    EXPECT_NEAR(10.0f * 100.0f / 90.0f, d[73].value, 1e-4);
    EXPECT_EQ(3, d[73].severity);
    EXPECT_FLOAT_EQ(30, sampleField(*s, id, "ChemSev").toFloat());

    EXPECT_FALSE(s->findSample(id + 1).found);
    s->setAlarm(id + 1, 1);   // a deleted sample: nothing happens
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().join("\n").toStdString();
    t.commit();
}

TEST_P(Store, DeletingASampleRemovesItsDetailsAndImages)
{
    auto s = openStore();
    Transaction t(s->database());
    const qint32 keep = s->storeTestResult(test::sampleRecord(231, 12, 150, 5), QDateTime::currentDateTime());
    const qint32 gone = s->storeTestResult(test::sampleRecord(231, 12, 150, 5), QDateTime::currentDateTime());
    s->database().execute("INSERT INTO Images (SampleID, ReportSlot, ImageFile) VALUES (?, 1, 'a.jpg')", {gone});
    t.commit();
    auto samples = s->database().openTable("Samples");
    ASSERT_TRUE(samples->seek({gone}));
    samples->deleteRecord();
    EXPECT_TRUE(details(*s, gone).empty());
    EXPECT_EQ(7u, details(*s, keep).size());
    EXPECT_EQ(0, count(*s, "Images"));
}
