// One database file shared by stations: the file server sees it on a local
// disk, the others on a network share. The file-system probe plays either
// station on one temporary folder.
#include "db/sample_database.h"
#include "db_fixture.h"

#include <QFile>
#include <QSqlError>
#include <QThread>

#include <atomic>
#include <thread>

using namespace qqc;
using namespace qqc::db;

namespace {

OpenOptions station(FileSystemKind kind)
{
    OpenOptions o;
    o.busyTimeoutMs = 50;
    o.lockRetryMs = 100;
    o.fileSystem = [kind](const QString&) { return kind; };
    return o;
}
const OpenOptions local = station(FileSystemKind::Local), network = station(FileSystemKind::Shared);

// Header bytes 18 and 19: 1 and 1 for the rollback journal, 2 and 2 for WAL.
QByteArray journalBytes(const QByteArray& file) { return file.mid(18, 2).toHex(); }

class SharedFile : public test::TemplateCopy {
protected:
    std::unique_ptr<SampleDatabase> openAs(const OpenOptions& o)
    {
        auto status = SampleDatabase::OpenStatus::NeedsUpgrade;
        auto s = SampleDatabase::open(path, status, o);
        EXPECT_EQ(SampleDatabase::OpenStatus::Opened, status);
        return s;
    }
    int storeOne(SampleDatabase& s)
    {
        Transaction t(s.database());
        s.storeTestResult(test::sampleRecord(231, 12, 150, 0), QDateTime::currentDateTime());
        t.commit();
        return s.database().openTable("Samples")->recordCount();
    }
    // 0 opened, -1 an old layout, else the error number.
    int refusedWith(const OpenOptions& o)
    {
        try {
            auto status = SampleDatabase::OpenStatus::Opened;
            return SampleDatabase::open(path, status, o) ? 0 : -1;
        } catch (const DbError& e) {
            return e.number();
        }
    }
};

} // namespace

TEST_F(SharedFile, ARefusedFileIsByteIdenticalAfterTheAttempt)
{
    const auto refusedUnchanged = [&](const QStringList& damage, int number, const OpenOptions& o) {
        ASSERT_TRUE(QFile::remove(path) && QFile::copy(test::builtTemplate(), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        test::runSql(path, damage);
        const QByteArray before = home.read("samples.mdb");
        EXPECT_EQ(number, refusedWith(o)) << damage.join("; ").toStdString();
        EXPECT_EQ(before, home.read("samples.mdb")) << damage.join("; ").toStdString();
    };
    // Another program's SQLite file and an old layout on the file server; a
    // broken layout in the write-ahead log on a share, where a sound file
    // would go back to the rollback journal.
    refusedUnchanged({"DROP TABLE SystemData"}, DbErr::ObjectNotFound, local);
    refusedUnchanged({"UPDATE SystemData SET Databaseversion = 299"}, -1, local);
    EXPECT_EQ("0101", journalBytes(home.read("samples.mdb")));
    refusedUnchanged({"DELETE FROM StoredQueries WHERE QueryName = 'ParmListQuery'", "PRAGMA journal_mode=WAL"},
                     DbErr::ObjectNotFound, network);
}

// The file server opening the file first used to turn it to WAL, which the
// network stations could then not open; both orders now share the file.
TEST_F(SharedFile, LocalAndNetworkStationsShareANewFileInEitherOrder)
{
    for (bool localFirst : {true, false}) {
        auto first = openAs(localFirst ? local : network);
        auto second = openAs(localFirst ? network : local);
        ASSERT_TRUE(first && second);
        EXPECT_EQ("TRUNCATE", first->database().journalMode());
        EXPECT_EQ("TRUNCATE", second->database().journalMode());
        const int stored = storeOne(*first);
        EXPECT_EQ(stored + 1, storeOne(*second));
        EXPECT_EQ("0101", journalBytes(home.read("samples.mdb")));
    }
}

TEST_F(SharedFile, AWalFileOnAShareIsRefusedWhileHeldAndTakenBackOnceFree)
{
    Database::setJournal(path, JournalMode::Wal, local);
    {
        auto server = openAs(local);
        ASSERT_TRUE(server);
        EXPECT_EQ("WAL", server->database().journalMode()) << "the file keeps the journal it was created with";
        storeOne(*server);
        const QByteArray held = home.read("samples.mdb");
        EXPECT_EQ(DbErr::WalOnShare, refusedWith(network));
        EXPECT_EQ(held, home.read("samples.mdb"));
    }
    auto station = openAs(network);
    ASSERT_TRUE(station);
    EXPECT_EQ("TRUNCATE", station->database().journalMode());
    EXPECT_EQ("0101", journalBytes(home.read("samples.mdb")));
    EXPECT_EQ(2, storeOne(*station));
    EXPECT_EQ("TRUNCATE", openAs(local)->database().journalMode()) << "opening never turns a file to WAL";
}

TEST_F(SharedFile, AMomentaryLockAtOpenIsWaitedOutAndALastingOneReported)
{
    std::atomic<int> phase{0};
    std::thread writer([&] {
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "writer");
            other.setDatabaseName(path);
            other.open();
            QSqlQuery(other).exec("BEGIN EXCLUSIVE");
            phase = 1;
            while (phase == 1)
                QThread::msleep(5);
            QThread::msleep(600);
            QSqlQuery(other).exec("COMMIT");
        }
        QSqlDatabase::removeDatabase("writer");
    });
    while (phase == 0)
        QThread::msleep(5);
    EXPECT_EQ(DbErr::FileInUse, refusedWith(local));
    phase = 2;
    OpenOptions patient = local;
    patient.lockRetryMs = 5000;
    EXPECT_EQ(0, refusedWith(patient)) << "opened once the writer committed";
    writer.join();
}

// A writer killed in the middle of a transaction leaves a hot journal, which
// the check's read-only connection cannot roll back.
TEST_F(SharedFile, AHotJournalLeftByACrashedWriterIsRolledBackAtOpen)
{
    const QString crashed = home.file("crashed.mdb");
    {
        QSqlDatabase w = QSqlDatabase::addDatabase("QSQLITE", "crashing");
        w.setDatabaseName(path);
        ASSERT_TRUE(w.open());
        QSqlQuery q(w);
        ASSERT_TRUE(q.exec("PRAGMA cache_size=2") && q.exec("BEGIN"));
        for (int i = 0; i < 200; ++i)   // spills pages into the file, the journal holding their old content
            ASSERT_TRUE(q.exec("INSERT INTO Customers (Lastname) VALUES (hex(randomblob(2000)))"));
        ASSERT_TRUE(QFile::copy(path, crashed) && QFile::copy(path + "-journal", crashed + "-journal"));
        ASSERT_GT(QFileInfo(crashed + "-journal").size(), 0);
        q.exec("ROLLBACK");
    }
    QSqlDatabase::removeDatabase("crashing");
    path = crashed;
    auto s = openAs(local);
    ASSERT_TRUE(s);
    EXPECT_EQ(0, s->database().openTable("Customers")->recordCount());
}
