#include "db/upgrade.h"

#include "db/old_layout.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QFileInfo>

using namespace qqc;
using namespace qqc::db;
using namespace qqc::test;

namespace {

QMap<QString, QByteArray> folderBytes(const QString& dir)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo& f : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(f.absoluteFilePath());
        file.open(QIODevice::ReadOnly);
        files[f.fileName()] = file.readAll();
    }
    return files;
}

class Upgrade : public ::testing::Test {
protected:
    TempHome home;
    QString path = home.file("LAB.MDB");
    void SetUp() override { makeOldLayout(path); }

    UpgradeRequest request()
    {
        UpgradeRequest r;
        r.source = r.destination = path;
        r.templatePath = builtTemplate();
        r.freeSpace = [](const QString&) { return std::optional<qint64>(qint64(1) << 40); };
        return r;
    }
};

} // namespace

TEST(UpgradeNames, TheFinalExtensionInAnyCaseBecomesBakAndABackupNeverIsTheDatabase)
{
    EXPECT_EQ("/d/LAB.bak", backupPathFor("/d/LAB.MDB"));
    EXPECT_EQ("/d/lab.v2.bak", backupPathFor("/d/lab.v2.mdb"));
    EXPECT_EQ("/d.x/lab.bak", backupPathFor("/d.x/lab"));
    EXPECT_EQ("", backupPathFor("/d/lab.bak"));
    EXPECT_EQ("", backupPathFor("/d/lab.BAK"));
}

TEST_F(Upgrade, KeepsEveryKeyAndValueMergesTheSetsAndDerivesTheHistory)
{
    home.write("LAB.MDB-journal", "");  // the old database's, left by its last connection
    const UpgradeResult result = upgradeDatabase(request());
    ASSERT_EQ(UpgradeResult::Done, result.outcome) << result.error.toStdString();
    EXPECT_EQ(299, result.summary.sourceVersion);
    EXPECT_EQ(300, readLayoutVersion(path));

    // Samples with their keys and values; columns the old layout lacked keep
    // their defaults, the dropped column is gone.
    EXPECT_EQ("3,A-3,2024-01-05T08:00:00,PUMP 1,2,1,4,Océ line,1,2,3,null | 5,5,2024-01-06T09:30:00,PUMP 1,2,7,null,null,null,null"
              " | 7,7,2024-02-01T10:00:00,PUMP 2,1,1,4,null,null,null | 9,9,2024-02-10T10:00:00,PUMP 2,1,1,4,null,null,null"
              " | 11,11,2024-03-01T11:15:20,PUMP 2,1,1,4,null,null,null | 12,12,2024-03-02T11:15:20,PUMP 2,1,1,4,null,null,null",
              queryRows(path, "SELECT SampleID, SampleNum, SampleDate, EquipmentID, RefID, AlarmID, CustomerID, Comments, raw8700, "
                         "UnitUsage FROM Samples ORDER BY SampleID"));
    EXPECT_EQ("3,58,2.5,0 | 3,59,31.5,2 | 5,58,2.4,1", queryRows(path, "SELECT * FROM SampleDetails"));
    EXPECT_EQ("4,Müller,null,Köln", queryRows(path, "SELECT CustomerID, Lastname, FirstName, City FROM Customers"));

    // Set 1 takes the user's fields and limits and keeps the template's
    // limits for the parameters it lacked; set 7 comes as it was.
    EXPECT_EQ("1,Our limits | 7,Gearboxes", queryRows(path, "SELECT * FROM AlarmSets ORDER BY AlarmID"));
    EXPECT_EQ("1,56,10,20,35,50 | 1,59,5,6,7,8 | 1,60,1,2,4,8 | 1,73,5,10,15,25 | 7,60,1,2,3,4",
              queryRows(path, "SELECT * FROM AlarmData ORDER BY AlarmID, ParmID"));
    ASSERT_EQ(1u, result.summary.templateLimitsAdded.size());
    EXPECT_EQ(1, result.summary.templateLimitsAdded[0].alarmId);
    EXPECT_EQ((std::vector<int>{56, 60, 73}), result.summary.templateLimitsAdded[0].parmIds);
    // Reference 1 overwritten where the user's row has a field, 2 added.
    EXPECT_EQ("1,Shell,Tellus 46,Mineral hydraulic oil (edit to match your new oil),46 | 2,Mobil,DTE 25,null,0",
              queryRows(path, "SELECT RefID, Supplier, BrandName, OilDescription, RefVisc40 FROM \"References\""));

    // Kept beyond the classic copy: Defaults, Images, catalogue rows.
    EXPECT_EQ("1,2,7", queryRows(path, "SELECT * FROM Defaults"));
    EXPECT_EQ("3,1,pump1.jpg", queryRows(path, "SELECT SampleID, ReportSlot, ImageFile FROM Images"));
    EXPECT_EQ("58,Dielectric | 99,TAN | 1001,Lab note",
              queryRows(path, "SELECT ParmID, ParmDescription FROM Parameters WHERE ParmID IN (20, 58, 99, 1001)"));
    EXPECT_EQ(1, result.summary.skippedOf("Parameters"));

    // The hand-worked history: an empty text and a malformed one leave the
    // previous text, so sample 11 is the only change after sample 3.
    EXPECT_EQ("2024-01-05T08:00:00,3500,2900,220,300 | 2024-03-01T11:15:20,3400,2950,220,301",
              queryRows(path, "SELECT CalDate, Freq220, Freq300, Diel220, Diel300 FROM CalData ORDER BY CalID"));
    EXPECT_EQ(2, result.summary.calibrationRowsDerived);
    EXPECT_EQ(1, result.summary.skippedOf("CalData"));
    EXPECT_EQ(6, result.summary.rowsOf("Samples"));

    // The backup opens with the old data; no stray file is left.
    EXPECT_EQ(home.file("LAB.bak"), result.summary.backupPath);
    EXPECT_EQ(299, readLayoutVersion(result.summary.backupPath));
    EXPECT_EQ("6", queryRows(result.summary.backupPath, "SELECT count(*) FROM Samples"));
    EXPECT_EQ((QStringList{"LAB.bak", "LAB.MDB"}), QDir(home.path()).entryList(QDir::Files | QDir::Hidden));

    // The next test is numbered after the deleted sample 13.
    auto status = SampleDatabase::OpenStatus::NeedsUpgrade;
    auto store = SampleDatabase::open(path, status);
    ASSERT_EQ(SampleDatabase::OpenStatus::Opened, status);
    Transaction t(store->database());
    EXPECT_EQ(14, store->storeTestResult(sampleRecord(250, 10, 20, 0), QDateTime::currentDateTime()));
    t.commit();
}

TEST_F(Upgrade, AStagingFileOfTheCurrentLayoutBringsItsOwnHistoryAndCountersToANewPath)
{
    runSql(path, {"UPDATE SystemData SET Databaseversion = 300",
                  "CREATE TABLE CalData (CalID INTEGER PRIMARY KEY, CalDate DATETIME, Freq220 INTEGER, Freq300 INTEGER, "
                  "Diel220 INTEGER, Diel300 INTEGER)",
                  "INSERT INTO CalData VALUES (4, '2023-05-01T00:00:00', 1, 2, 3, 4)"});
    const QByteArray before = home.read("LAB.MDB");
    UpgradeRequest r = request();
    r.destination = home.file("LAB-converted.mdb");
    r.backup = false;
    r.autoNumberCounters["Samples"] = 40;
    r.autoNumberCounters["Customers"] = 2;
    const UpgradeResult result = upgradeDatabase(r);
    ASSERT_EQ(UpgradeResult::Done, result.outcome) << result.error.toStdString();
    EXPECT_EQ(before, home.read("LAB.MDB"));
    EXPECT_EQ("4,2023-05-01T00:00:00,1,2,3,4", queryRows(r.destination, "SELECT * FROM CalData"));
    EXPECT_EQ(0, result.summary.calibrationRowsDerived);
    EXPECT_EQ("40", queryRows(r.destination, "SELECT seq FROM sqlite_sequence WHERE name = 'Samples'"));
    EXPECT_EQ("4", queryRows(r.destination, "SELECT seq FROM sqlite_sequence WHERE name = 'Customers'"));
    EXPECT_EQ((QStringList{"LAB-converted.mdb", "LAB.MDB"}), QDir(home.path()).entryList(QDir::Files | QDir::Hidden));
}

TEST_F(Upgrade, ExactlyEnoughFreeSpaceProceedsAndOneByteLessOrAFailedQueryRefuses)
{
    const QByteArray before = home.read("LAB.MDB");
    const qint64 needed = upgradeSpaceNeeded(before.size(), QFileInfo(builtTemplate()).size(), true);
    EXPECT_EQ(3 * before.size() + 2 * QFileInfo(builtTemplate()).size(), needed);
    for (const std::optional<qint64> free : {std::optional<qint64>(needed - 1), std::optional<qint64>()}) {
        UpgradeRequest r = request();
        r.freeSpace = [&](const QString& folder) {
            EXPECT_EQ(QFileInfo(path).absolutePath(), folder);
            return free;
        };
        const UpgradeResult result = upgradeDatabase(r);
        EXPECT_EQ(UpgradeResult::NoSpace, result.outcome);
        EXPECT_EQ(needed, result.requiredBytes);
        EXPECT_EQ(free.value_or(-1), result.freeBytes);
        EXPECT_EQ((QMap<QString, QByteArray>{{"LAB.MDB", before}}), folderBytes(home.path()));
    }
    UpgradeRequest r = request();
    r.freeSpace = [&](const QString&) { return std::optional<qint64>(needed); };
    EXPECT_EQ(UpgradeResult::Done, upgradeDatabase(r).outcome);
}

// Cancel or a failure at every step, a full disk in the middle of the copy
// and a refused final rename: the database keeps every byte, nothing but a
// finished backup stays beside it.
TEST_F(Upgrade, CancelOrFailureAtAnyStepLeavesTheDatabaseAsItWas)
{
    const auto before = folderBytes(home.path());
    const auto check = [&](const UpgradeResult& result, UpgradeResult::Outcome outcome, const char* what) {
        EXPECT_EQ(outcome, result.outcome) << what;
        auto after = folderBytes(home.path());
        if (!result.summary.backupPath.isEmpty()) {
            EXPECT_FALSE(after.value("LAB.bak").isEmpty()) << what;
            after.remove("LAB.bak");
        }
        EXPECT_EQ(before, after) << what;
        QFile::remove(home.file("LAB.bak"));
    };
    for (UpgradeStep at : {UpgradeStep::Backup, UpgradeStep::CopyTemplate, UpgradeStep::CopyData, UpgradeStep::Compact,
                           UpgradeStep::Replace}) {
        UpgradeRequest r = request();
        bool cancel = false;
        r.beforeStep = [&](UpgradeStep step) { cancel = cancel || step == at; };
        r.cancelRequested = [&] { return cancel; };
        check(upgradeDatabase(r), UpgradeResult::Cancelled, "cancel");

        r = request();
        r.beforeStep = [&](UpgradeStep step) {
            if (step == at)
                throw DbError(DbErr::DiskIo, "injected");
        };
        const UpgradeResult failed = upgradeDatabase(r);
        EXPECT_EQ(DbErr::DiskIo, failed.errorNumber);
        check(failed, UpgradeResult::Failed, "failure");
    }
    // Cancel in the middle of a table's rows.
    {
        UpgradeRequest r = request();
        bool cancel = false;
        r.progress = [&](const UpgradeProgress& p) { cancel = cancel || (p.table == "SampleDetails" && p.records > 0); };
        r.cancelRequested = [&] { return cancel; };
        check(upgradeDatabase(r), UpgradeResult::Cancelled, "cancel mid-table");
    }
}

TEST_F(Upgrade, AFullDiskWhileTheNewFileFillsLeavesTheDatabaseAsItWas)
{
    runSql(path, {"WITH RECURSIVE c(n) AS (SELECT 100 UNION ALL SELECT n + 1 FROM c WHERE n < 400) "
                  "INSERT INTO Samples (SampleID, raw8700) SELECT n, hex(randomblob(1500)) FROM c"});
    const auto before = folderBytes(home.path());
    UpgradeRequest r = request();
    r.backup = false;
    UpgradeStep reached = UpgradeStep::FreeSpace;
    r.progress = [&](const UpgradeProgress& p) { reached = p.step; };
    UpgradeResult result;
    {
        FileSizeLimit limit(QFileInfo(builtTemplate()).size() + 64 * 1024);
        result = upgradeDatabase(r);
    }
    EXPECT_EQ(UpgradeStep::CopyData, reached);
    EXPECT_EQ(UpgradeResult::Failed, result.outcome);
    EXPECT_TRUE(result.errorNumber == DbErr::DiskFull || result.errorNumber == DbErr::DiskIo) << result.errorNumber;
    EXPECT_EQ(before, folderBytes(home.path()));
}
