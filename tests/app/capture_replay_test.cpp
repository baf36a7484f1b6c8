// Capture and replay through the real programs: a simulated unit runs a
// reset (answered with the test time download), a new calibration and three
// tests (with their frequency reads) against `quorvelqc --capture`; the
// capture is then played by `quorvelqc-sim --replay` to a second monitor
// with a fresh database, which must store the same samples and send the
// same commands.
#include "db/db_fixture.h"
#include "link/capture_format.h"
#include "link/sim_process.h"
#include "support/temp_home.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace qqc {
namespace {

// A monitor station: its own program folder and a fresh database. (The
// process is killed with the object when a test fails midway.)
struct Station {
    test::TempHome home;
    QProcess process;

    QString db() const { return home.file("lab.mdb"); }

    void start(const QString& device, const QString& capture)
    {
        ASSERT_TRUE(QFile::copy(test::builtTemplate(), db()));
        QFile::setPermissions(db(), QFile::ReadOwner | QFile::WriteOwner);
        home.write("quorvelqc.ini", "[COMM]\r\nDEVICE=" + device.toUtf8()
                                        + "\r\n[MISC]\r\nDOWNLOADTESTTIME=1\r\n[Database]\r\nFile=" + db().toUtf8());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.start(QDir(test::binDir()).filePath("quorvelqc"),
                      {"--home", home.path(), "--unattended", "--capture", capture});
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    void stop()
    {
        ::kill(pid_t(process.processId()), SIGTERM);
        process.waitForFinished(20000);
    }
};

// Every row of `sql` as text, without the columns named in `skip`.
QStringList rows(const QString& path, const QString& sql, const QStringList& skip)
{
    QStringList out;
    const QString name = "rows-" + path;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        QSqlQuery q = db.open() ? QSqlQuery(db) : QSqlQuery();
        if (!q.exec(sql))
            out << "cannot read " + path;
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                if (!skip.contains(q.record().fieldName(i)))
                    fields << q.record().fieldName(i) + "=" + q.value(i).toString();
            out << fields.join(' ');
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

int sampleCount(const QString& path) { return int(rows(path, "SELECT SampleID FROM Samples", {}).size()); }

// The bytes that went one way, in order, over the files of a capture.
QByteArray bytesOf(const QString& path, CaptureEntry::Kind kind)
{
    CaptureFile capture;
    readCaptureFile(path, capture, nullptr);
    QByteArray all;
    for (const CaptureEntry& e : capture.entries)
        if (e.kind == kind)
            all += e.bytes;
    return all;
}

TEST(CaptureReplay, AReplayedCaptureStoresTheSameSamplesAndGetsTheSameCommands)
{
    QTemporaryDir work;
    const QString capture = work.filePath("unit.capture");
    const QString replayed = work.filePath("replayed.capture");
    constexpr int kTests = 3;

    // The original session. The unit waits until the monitor's status window
    // is up, so the reset is answered with the test time download.
    Station original;
    {
        test::SimProcess unit(work.filePath("unit.record"));
        const QString device = unit.start({"--scenario", "wait:5,reset,cal:5010:4590:220:300,tests:3:0"});
        ASSERT_FALSE(device.isEmpty());
        original.start(device, capture);
        ASSERT_TRUE(test::waitUntil([&] { return sampleCount(original.db()) == kTests; }, 60000))
            << original.process.readAllStandardError().toStdString();
        original.stop();
    }
    const QByteArray commands = bytesOf(capture, CaptureEntry::Tx);
    ASSERT_TRUE(commands.startsWith("J\x01S")) << commands.toHex().toStdString();  // the test time download
    ASSERT_GE(commands.count('D'), kTests) << "frequency reads";

    // The replay, faster than recorded, into a fresh database.
    Station second;
    test::SimProcess replay(work.filePath("replay.record"));
    const QString device = replay.start({"--replay", capture, "--speed", "5"});
    ASSERT_FALSE(device.isEmpty());
    second.start(device, replayed);
    ASSERT_TRUE(test::waitUntil([&] { return replay.events().filter("REPLAY finished").size() == 1; }, 60000))
        << replay.events().join('\n').toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return sampleCount(second.db()) == kTests; }, 10000));
    // The replay has written its last bytes; give the monitor time to read and log them.
    test::waitUntil([&] { return bytesOf(replayed, CaptureEntry::Rx) == bytesOf(capture, CaptureEntry::Rx); }, 10000);
    second.stop();
    EXPECT_EQ(replay.events().filter("REPLAY finished").first().toStdString(),
              QString("REPLAY finished; %1 command bytes as recorded, 0 others dropped, 0 commands not sent")
                  .arg(commands.size())
                  .toStdString());

    const QStringList skip{"SampleID", "SampleDate"};
    const QStringList samples = rows(original.db(), "SELECT * FROM Samples ORDER BY SampleID", skip);
    ASSERT_EQ(kTests, samples.size());
    EXPECT_EQ(samples.join('\n').toStdString(),
              rows(second.db(), "SELECT * FROM Samples ORDER BY SampleID", skip).join('\n').toStdString());
    const QString details = "SELECT s.SampleNum, d.* FROM SampleDetails d JOIN Samples s ON s.SampleID = d.SampleID "
                            "ORDER BY s.SampleNum, d.ParmID";
    const QStringList originalDetails = rows(original.db(), details, skip);
    EXPECT_GE(originalDetails.size(), 5 * kTests);
    EXPECT_EQ(originalDetails.join('\n').toStdString(),
              rows(second.db(), details, skip).join('\n').toStdString());
    // The second monitor received the unit's bytes whole and sent what the first did.
    EXPECT_EQ(bytesOf(capture, CaptureEntry::Rx), bytesOf(replayed, CaptureEntry::Rx));
    EXPECT_EQ(commands, bytesOf(replayed, CaptureEntry::Tx));
}

} // namespace
} // namespace qqc
