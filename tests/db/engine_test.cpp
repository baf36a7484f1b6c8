// The database engine layer against real SQLite files (and, for what both
// engines do alike, the test server).
#include "db/engine.h"
#include "db_fixture.h"
#include "support/temp_home.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace qqc::db;

namespace {

// Builds a small database with plain SQL through a connection of its own.
void makeDatabase(const QString& path, int samples = 0)
{
    QStringList sql = {
        "CREATE TABLE Samples (SampleID INTEGER PRIMARY KEY AUTOINCREMENT, SampleNum TEXT,"
        " SampleDate DATETIME, RefID INTEGER DEFAULT 0, Value REAL DEFAULT 0)",
        "CREATE TABLE SampleDetails (SampleID INTEGER NOT NULL, ParmID INTEGER NOT NULL, Value REAL,"
        " Severity INTEGER DEFAULT 0, PRIMARY KEY (SampleID, ParmID))",
        "CREATE TABLE StoredQueries (QueryName TEXT PRIMARY KEY, SQLText TEXT, UpdateTable TEXT)",
        "INSERT INTO StoredQueries VALUES ('DetailsOf', 'SELECT ParmID, Value, Severity, SampleID FROM"
        " SampleDetails WHERE SampleID = ? AND Value >= ? ORDER BY ParmID', 'SampleDetails')",
        "INSERT INTO StoredQueries VALUES ('NewSamples', 'SELECT SampleID, SampleNum, SampleDate, RefID"
        " FROM Samples', 'Samples')",
        "BEGIN",
    };
    for (int i = 1; i <= samples; ++i) {
        sql << QString("INSERT INTO Samples (SampleNum) VALUES ('%1')").arg(i);
        for (int p : {58, 59, 60})
            sql << QString("INSERT INTO SampleDetails VALUES (%1, %2, %3, 1)").arg(i).arg(p).arg(p + i / 10.0);
    }
    qqc::test::runSql(path, sql << "COMMIT");
}

class EngineTest : public ::testing::Test {
protected:
    qqc::test::TempHome home;
    QString path = home.file("lab.mdb");

    std::unique_ptr<Database> openWith(int samples)
    {
        makeDatabase(path, samples);
        return Database::open(path);
    }
};

// The tests of what both engines do alike run on a file and on the test
// server; the ones above and below stay on files (journals, locks, compact,
// SQLite's own numbering).
class BothEngines : public EngineTest, public ::testing::WithParamInterface<qqc::test::Engine> {
protected:
    std::unique_ptr<qqc::test::ServerDatabase> server;

    void SetUp() override
    {
        if (GetParam() == qqc::test::Engine::File)
            return;
        if (qqc::test::serverAdminUri().isEmpty())
            GTEST_SKIP() << "no test server (QQC_TEST_PG_URI unset; scripts/pg_cluster.sh starts one)";
        server = std::make_unique<qqc::test::ServerDatabase>();
        path = server->uri();
    }
};
INSTANTIATE_TEST_SUITE_P(Engines, BothEngines,
                         ::testing::Values(qqc::test::Engine::File, qqc::test::Engine::Server), qqc::test::engineName);

int expectError(int number, const std::function<void()>& f)
{
    try {
        f();
    } catch (const DbError& e) {
        EXPECT_EQ(number, e.number()) << e.what();
        return e.number();
    }
    ADD_FAILURE() << "no DbError thrown";
    return 0;
}

} // namespace

TEST_F(EngineTest, OpenFailsClearlyForMissingForeignAndLockedFiles)
{
    expectError(DbErr::FileNotFound, [&] { Database::open(path); });
    EXPECT_FALSE(QFile::exists(path)) << "opening must never create the file";

    const char jetHeader[] = "\x00\x01\x00\x00Standard Jet DB";
    home.write("foreign.mdb", QByteArray(jetHeader, sizeof jetHeader - 1) + QByteArray(4000, '\x55'));
    expectError(DbErr::NotADatabase, [&] { Database::open(home.file("foreign.mdb")); });

    makeDatabase(path);
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "locker");
        other.setDatabaseName(path);
        ASSERT_TRUE(other.open());
        ASSERT_TRUE(QSqlQuery(other).exec("BEGIN EXCLUSIVE"));
        OpenOptions impatient;
        impatient.busyTimeoutMs = 50;
        expectError(DbErr::FileInUse, [&] { Database::open(path, impatient); });
    }
    QSqlDatabase::removeDatabase("locker");   // closing the connection ends the lock
    EXPECT_NO_THROW(Database::open(path));
}

TEST_F(EngineTest, TwoDatabasesCoexistAndCloseBackToOneFile)
{
    makeDatabase(path, 1);
    makeDatabase(home.file("b.mdb"), 5);
    Database::setJournal(home.file("b.mdb"), JournalMode::Wal);
    auto b = Database::open(home.file("b.mdb"));
    {
        auto db = Database::open(path);
        EXPECT_EQ("TRUNCATE", db->journalMode());
        EXPECT_EQ("WAL", b->journalMode());
        db->execute("INSERT INTO Samples (SampleNum) VALUES ('x')");
        auto cursor = db->openTable("Samples");
        db->close();
        expectError(DbErr::ObjectClosed, [&] { cursor->moveNext(); });
    }
    EXPECT_EQ(2, Database::open(path)->openTable("Samples")->recordCount());
    EXPECT_EQ(5, b->openTable("Samples")->recordCount());
    b->execute("INSERT INTO Samples (SampleNum) VALUES ('x')");
    b.reset();
    EXPECT_FALSE(QFile::exists(home.file("b.mdb-wal"))) << "closing folds the log back into the file";
}

TEST_F(EngineTest, MissingObjectsAndFieldsGiveTheirNumbers)
{
    auto db = openWith(1);
    expectError(DbErr::ObjectNotFound, [&] { db->openTable("SystemData"); });
    expectError(DbErr::ObjectNotFound, [&] { db->queryDef("NoSuchQuery"); });
    auto rs = db->openTable("Samples");
    expectError(DbErr::ItemNotFound, [&] { rs->value("Databaseversion"); });
    rs->edit();
    expectError(DbErr::ItemNotFound, [&] { rs->setValue("NoField", 1); });
    rs->cancelUpdate();
    EXPECT_TRUE(rs->hasField("samplenum")) << "field names compare case-insensitively";
    EXPECT_EQ(QStringList({"SampleID", "SampleNum", "SampleDate", "RefID", "Value"}), rs->fieldNames());
}

TEST_P(BothEngines, TableCursorWalksAndSeeksInKeyOrderAcrossPages)
{
    auto db = openWith(300);
    auto details = db->openTable("SampleDetails");
    int n = 0;
    int lastSample = 0, lastParm = 0;
    for (details->moveFirst(); !details->eof(); details->moveNext()) {
        const int s = details->value("SampleID").toInt(), p = details->value("ParmID").toInt();
        EXPECT_TRUE(s > lastSample || (s == lastSample && p > lastParm));
        lastSample = s;
        lastParm = p;
        ++n;
    }
    EXPECT_EQ(900, n);
    n = 0;
    for (details->moveLast(); !details->bof(); details->movePrevious())
        ++n;
    EXPECT_EQ(900, n);

    EXPECT_TRUE(details->seek({150, 59}));
    EXPECT_FLOAT_EQ(59 + 15.0f, details->value("Value").toFloat());
    details->moveNext();
    EXPECT_EQ(60, details->value("ParmID").toInt());
    details->moveNext();
    EXPECT_EQ(151, details->value("SampleID").toInt());
    EXPECT_FALSE(details->seek({150, 61}));
    EXPECT_TRUE(details->noMatch());
    expectError(DbErr::NoCurrentRecord, [&] { details->value("Value"); });
    expectError(DbErr::BadParameter, [&] { details->seek({150}); });
}

TEST_F(EngineTest, AddNewAssignsTheAutoNumberBeforeUpdate)
{
    auto db = openWith(3);
    auto samples = db->openTable("Samples");
    samples->addNew();
    const int id = samples->value("SampleID").toInt();
    EXPECT_EQ(4, id);
    samples->setValue("SampleNum", QString::number(id));
    samples->update();
    EXPECT_EQ(QVariantList{4}, samples->lastModified());
    EXPECT_EQ("4", samples->value("SampleNum").toString()) << "the added row is current";
    EXPECT_EQ(0, samples->value("RefID").toInt()) << "template defaults show after update";

    // An abandoned add leaves no row behind.
    samples->addNew();
    const int abandoned = samples->value("SampleID").toInt();
    samples->cancelUpdate();
    EXPECT_FALSE(samples->seek({abandoned}));
    EXPECT_EQ(4, samples->recordCount());
    EXPECT_EQ(0, db->transactionDepth());

    // Deleting the last sample never hands its number to the next one.
    ASSERT_TRUE(samples->seek({4}));
    samples->deleteRecord();
    samples->addNew();
    EXPECT_GT(samples->value("SampleID").toInt(), 4);
    samples->update();
    samples.reset();

    // nextAutoNumber names the number the next add gets, only inside a transaction.
    EXPECT_THROW(db->nextAutoNumber("Samples"), DbError) << "outside a transaction another program may take it";

    Transaction t(*db);
    EXPECT_THROW(db->nextAutoNumber("SampleDetails"), DbError) << "no auto-number key";
    const int next = db->nextAutoNumber("Samples");
    EXPECT_EQ(6, next) << "the one the next add gets";
    db->execute("DELETE FROM Samples WHERE SampleID = ?", {next - 1});
    EXPECT_EQ(next, db->nextAutoNumber("Samples")) << "a deleted newest number is not handed out again";
    db->executeOn("Samples", "INSERT INTO Samples (SampleID, SampleNum) VALUES (?, ?)", {next, "n"});
    samples = db->openTable("Samples");
    samples->addNew();
    EXPECT_EQ(next + 1, samples->value("SampleID").toInt()) << "an explicit number moves the auto-number on";
    samples->cancelUpdate();
    t.commit();
}

TEST_P(BothEngines, EditUpdateDeleteAndTextToNumberConversion)
{
    auto db = openWith(3);
    auto details = db->openTable("SampleDetails");
    ASSERT_TRUE(details->seek({2, 59}));
    details->edit();
    details->setValue("Value", "12.5");
    details->update();
    ASSERT_TRUE(details->seek({2, 59}));
    EXPECT_DOUBLE_EQ(12.5, details->value("Value").toDouble());
    EXPECT_EQ(QMetaType::Double, details->value("Value").typeId());

    details->addNew();
    details->setValue("SampleID", 2);
    details->setValue("ParmID", 132);
    details->setValue("Value", 46.0f);
    details->update();
    EXPECT_EQ(132, details->value("ParmID").toInt());
    EXPECT_EQ(QVariantList({2, 132}), details->bookmark());

    details->addNew();
    details->setValue("SampleID", 2);
    details->setValue("ParmID", 132);
    expectError(DbErr::DuplicateKey, [&] { details->update(); });
    details->cancelUpdate();

    ASSERT_TRUE(details->seek({2, 60}));
    details->deleteRecord();
    expectError(DbErr::NoCurrentRecord, [&] { details->value("Value"); });
    details->moveNext();
    EXPECT_EQ(QVariantList({2, 132}), details->bookmark()) << "moveNext after delete reaches the next row";
    EXPECT_FALSE(details->seek({2, 60}));

    auto samples = db->openTable("Samples");
    ASSERT_TRUE(samples->seek({1}));
    samples->edit();
    samples->setValue("SampleDate", QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));
    samples->setValue("SampleNum", QVariant());
    samples->update();
    ASSERT_TRUE(samples->seek({1}));
    EXPECT_EQ(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)), samples->value("SampleDate").toDateTime());
    EXPECT_TRUE(samples->value("SampleNum").isNull()) << "an empty field reads as null";
}

// A server aborts the whole transaction at a failed statement: without a
// savepoint per statement every later one would fail too.
TEST_P(BothEngines, AFailedStatementInsideATransactionIsUndoneAloneAndTheWorkGoesOn)
{
    auto db = openWith(1);
    Transaction t(*db);
    db->execute("INSERT INTO SampleDetails VALUES (1, 61, 1.5, 0)");
    expectError(DbErr::DuplicateKey, [&] { db->execute("INSERT INTO SampleDetails VALUES (1, 58, 0, 0)"); });
    expectError(DbErr::ObjectNotFound, [&] { db->queryValue("SELECT COUNT(*) FROM NoSuchTable"); });
    auto details = db->openTable("SampleDetails");
    details->addNew();
    details->setValue("SampleID", 1);
    details->setValue("ParmID", 59);
    expectError(DbErr::DuplicateKey, [&] { details->update(); });
    details->cancelUpdate();
    {
        Transaction inner(*db);
        db->execute("INSERT INTO SampleDetails VALUES (1, 62, 2.5, 0)");
        expectError(DbErr::DuplicateKey, [&] { db->execute("INSERT INTO SampleDetails VALUES (1, 62, 0, 0)"); });
        inner.commit();
    }
    db->execute("INSERT INTO Samples (SampleNum) VALUES ('2')");
    t.commit();
    EXPECT_EQ(5, db->queryValue("SELECT COUNT(*) FROM SampleDetails").toInt());
    EXPECT_EQ(2, db->queryValue("SELECT COUNT(*) FROM Samples").toInt());
}

TEST_P(BothEngines, StoredQueryParametersPersistRequeryReflectsChangesAndHashDatesWork)
{
    auto db = openWith(3);
    auto def = db->queryDef("DetailsOf");
    EXPECT_EQ(2, def->parameterCount());
    def->setParameter(0, 2);
    def->setParameter(1, 59.0);
    auto rs = def->openRecordset();
    EXPECT_EQ(2, rs->recordCount());
    EXPECT_EQ(59, rs->value("ParmID").toInt());

    db->execute("INSERT INTO SampleDetails VALUES (2, 73, 74.5, 2)");
    EXPECT_EQ(2, rs->recordCount()) << "a dynaset keeps its rows until requeried";
    rs->requery();
    EXPECT_EQ(3, rs->recordCount());
    def->setParameter(0, 3);
    EXPECT_EQ(3, def->parameter(0).toInt());
    rs->requery();
    EXPECT_EQ(2, rs->recordCount());
    expectError(DbErr::ItemNotFound, [&] { def->setParameter(2, 0); });

    // Editing through the dynaset writes its update table.
    rs->moveFirst();
    rs->edit();
    rs->setValue("Severity", 5);
    rs->update();
    auto details = db->openTable("SampleDetails");
    ASSERT_TRUE(details->seek({3, 59}));
    EXPECT_EQ(5, details->value("Severity").toInt());

    // A temporary query takes #dates# as the stored ones do.
    db->execute("UPDATE Samples SET SampleDate = ? WHERE SampleID = 2", {QDateTime(QDate(2024, 12, 31), QTime(10, 0))});
    auto q = db->createQueryDef("SELECT SampleNum FROM Samples WHERE SampleDate = #12/31/2024 10:00:00# AND SampleNum <> '#'");
    rs = q->openRecordset();
    ASSERT_EQ(1, rs->recordCount());
    EXPECT_EQ("2", rs->value("SampleNum").toString());
}

TEST_F(EngineTest, TransactionsNestRollBackAsAWholeAndTheirWritesReachTheCursors)
{
    auto db = openWith(1);
    {
        Transaction outer(*db);
        db->execute("INSERT INTO Samples (SampleNum) VALUES ('a')");
        {
            Transaction inner(*db);
            db->execute("INSERT INTO Samples (SampleNum) VALUES ('b')");
        }   // inner rolled back
        db->execute("INSERT INTO Samples (SampleNum) VALUES ('c')");
        outer.commit();
    }
    EXPECT_EQ(3, db->openTable("Samples")->recordCount());
    {
        Transaction t(*db);
        auto rs = db->openTable("Samples");
        rs->addNew();
        rs->update();
    }
    EXPECT_EQ(3, db->openTable("Samples")->recordCount());
    EXPECT_EQ(0, db->transactionDepth());

    // Writes to one table are seen by its cursors inside a transaction.
    Transaction t(*db);
    auto samples = db->openTable("Samples");
    auto details = db->openTable("SampleDetails");
    ASSERT_TRUE(samples->seek({1}));
    ASSERT_TRUE(details->seek({1, 59}));   // both rows now remembered

    QVariant id;
    EXPECT_EQ(1, db->executeOn("Samples", "INSERT INTO Samples (SampleNum) VALUES (?)", {"new"}, &id));
    EXPECT_EQ(1, db->executeOn("Samples", "UPDATE Samples SET SampleNum = ? WHERE SampleID = ?", {"one", 1}));
    EXPECT_EQ(1, db->executeOn("SampleDetails", "UPDATE SampleDetails SET Value = ? WHERE SampleID = ? AND ParmID = ?",
                               {7.5, 1, 59}));
    ASSERT_TRUE(samples->seek({1}));
    EXPECT_EQ("one", samples->value("SampleNum").toString());
    ASSERT_TRUE(samples->seek({id})) << "the returned number is the new row's";
    EXPECT_EQ("new", samples->value("SampleNum").toString());
    ASSERT_TRUE(details->seek({1, 59}));
    EXPECT_DOUBLE_EQ(7.5, details->value("Value").toDouble());

    expectError(DbErr::DuplicateKey, [&] {
        db->executeOn("SampleDetails", "INSERT INTO SampleDetails (SampleID, ParmID) VALUES (?, ?)", {1, 59});
    });
    t.commit();
}

TEST_F(EngineTest, CompactWritesACopyAndLeavesTheSource)
{
    makeDatabase(path, 50);
    const QString copy = home.file("copy.mdb");
    Database::compact(path, copy);
    ASSERT_TRUE(QFile::exists(path));
    auto db = Database::open(copy);
    EXPECT_EQ(50, db->openTable("Samples")->recordCount());
    expectError(DbErr::Generic, [&] { Database::compact(path, copy); });
}

