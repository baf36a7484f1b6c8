// A test the database cannot take at once (another program holds the lock,
// the disk is full) waits in the spool and is stored later, exactly once,
// with its arrival date, without freezing the window or taking the user's
// selection.
#include "app/data_window.h"
#include "app/monitor.h"
#include "app/spool_support.h"
#include "core/record.h"
#include "db/db_fixture.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "app/station.h"
#include "sim/unit_model.h"
#include "support/file_size_limit.h"
#include "support/scripted_prompter.h"
#include "views/ui/frm_data.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace qqc;
using test::calibrationMessage;
using test::spoolFiles;
using test::storedSamples;

namespace {


QStringList logLinesWith(const test::TempHome& home, const QString& text)
{
    QStringList lines;
    for (const QString& line : QString::fromUtf8(home.read("quorvelqc.log")).split("\r\n"))
        if (line.contains(text))
            lines << line;
    return lines;
}

} // namespace

TEST(MonitorSpool, ATestArrivingDuringAnEightSecondLockIsStoredOnceAfterItWithItsArrivalDate)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    sim::PtyUnit unit;
    ASSERT_TRUE(unit.ok());
    const QString dbPath = test::copyTemplate(home, "lab.mdb");
    home.write("quorvelqc.ini", test::stationSettings(unit.device(), dbPath));

    Monitor monitor;
    std::unique_ptr<frmData> grid;
    ASSERT_NO_FATAL_FAILURE(test::startStation(monitor, grid));
    ASSERT_NE(nullptr, monitor.sampleDatabase());
    QStringList titles;
    QObject::connect(&monitor, &Monitor::storeOutageChanged, [&] { titles << monitor.frameTitle(); });

    // A first test, which the user then clicks in the grid.
    ASSERT_TRUE(unit.send(sim::testFrame(sim::simulateTest({.dielectric = 226, .ferrous = 3, .water = 20}, {}, 1))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->model().rowCount() == 1; }, 15000));
    grid->vsFlexData_Click(1, 1);
    ASSERT_EQ(1, monitor.currentSampleId());

    // Another program holds the write lock for 8 s; a test arrives meanwhile.
    test::WriteLock lock(dbPath);
    ASSERT_TRUE(lock.held());
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(8000, Qt::PreciseTimer, [&] { lock.release(); });
    // The window and the link keep running: a 20 ms timer keeps ticking.
    qint64 lastTick = 0, longestGap = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    tick.start(20);
    const QDateTime sent = QDateTime::currentDateTime();
    const TestRecord second = sim::simulateTest({.dielectric = 262, .ferrous = 55, .water = 20, .lcont = 2}, {}, 2);
    ASSERT_TRUE(unit.send(sim::testFrame(second)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return spoolFiles(home).size() == 1; }, 5000));
    EXPECT_EQ(1u, storedSamples(dbPath).size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !lock.held() && monitor.waitingEntryCount() == 0; }, 15000));
    EXPECT_GE(clock.elapsed(), 8000);
    EXPECT_LT(longestGap, 1500) << "the event loop stood still (a store waited for the lock)";

    // Stored once, with the date it arrived, not the date of the store.
    const auto samples = storedSamples(dbPath);
    ASSERT_EQ(2u, samples.size());
    EXPECT_EQ(testRecordFieldText(second, "raw8700"), samples[1].raw);
    EXPECT_GE(samples[1].date, sent.addSecs(-1));
    EXPECT_LE(samples[1].date, sent.addSecs(4));
    EXPECT_TRUE(spoolFiles(home).isEmpty());

    // A new first row in the grid; the user's selection stays on the first.
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->model().rowCount() == 2; }, 2000));
    EXPECT_EQ(samples[1].id, grid->model().sampleIdAt(0));
    EXPECT_EQ(std::vector<qint32>{1}, grid->highlightedSampleIds());
    EXPECT_EQ(2, grid->firstAnchor());
    EXPECT_EQ(1, monitor.currentSampleId());

    // The outage was shown once in the frame's title and written once to the
    // log; no box.
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().join("\n").toStdString();
    ASSERT_EQ(2, titles.size()) << titles.join("\n").toStdString();
    EXPECT_TRUE(titles[0].startsWith(monitor.databaseTitle() + "  [1 test not stored yet: database cannot take writes"))
        << titles[0].toStdString();
    EXPECT_TRUE(titles[0].contains("file already in use")) << titles[0].toStdString();
    EXPECT_EQ(monitor.databaseTitle(), titles[1]);
    EXPECT_EQ(1, logLinesWith(home, "Store: 1 test not stored yet").size());
    EXPECT_EQ(1, logLinesWith(home, "Store: the database takes writes again").size());
    monitor.closeSerialLink();
}

// A crash after the commit leaves the entry's file behind; the store
// recognises what it holds. An entry waits for the database it belongs to.
TEST(MonitorSpool, EntriesLeftByACrashAreStoredOnceAndOnlyInTheirOwnDatabase)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    const QString lab = test::copyTemplate(home, "lab.mdb");
    const QString other = test::copyTemplate(home, "other.mdb");
    const size_t calRows = storedSamples(lab, "CalData").size();
    const TestRecord first = test::sampleRecord(231, 12, 150, 5);
    QList<std::pair<QString, QByteArray>> leftBehind;
    {
        Monitor monitor;
        ASSERT_EQ(0, monitor.OpenSampleDatabase(lab));
        test::WriteLock lock(lab);
        EXPECT_FALSE(monitor.StoreTestResult(first));
        monitor.ProcessNewCalibration(calibrationMessage(5000, 4700, 220, 300));
        ASSERT_EQ(2, spoolFiles(home).size());
        for (const QString& name : spoolFiles(home))
            leftBehind.append({name, home.read("spool/" + name)});
        lock.release();
        ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.waitingEntryCount() == 0; }, 5000));
    }
    ASSERT_EQ(1u, storedSamples(lab).size());
    ASSERT_EQ(calRows + 1, storedSamples(lab, "CalData").size());

    // The files as a crash between the commit and their removal leaves them.
    for (const auto& [name, bytes] : leftBehind)
        home.write("spool/" + name, bytes);
    {
        Monitor monitor;
        ASSERT_EQ(0, monitor.OpenSampleDatabase(lab));
        EXPECT_EQ(0, monitor.waitingEntryCount());
    }
    EXPECT_EQ(1u, storedSamples(lab).size());
    EXPECT_EQ(calRows + 1, storedSamples(lab, "CalData").size());
    EXPECT_TRUE(spoolFiles(home).isEmpty());

    // A test that waited for lab when the program ended goes into lab only.
    const TestRecord second = test::sampleRecord(262, 55, 20, 0);
    QDateTime arrival;
    {
        Monitor monitor;
        ASSERT_EQ(0, monitor.OpenSampleDatabase(lab));
        test::WriteLock lock(lab);
        arrival = QDateTime::currentDateTime();
        EXPECT_FALSE(monitor.StoreTestResult(second));
    }
    ASSERT_EQ(1, spoolFiles(home).size());
    {
        Monitor monitor;
        ASSERT_EQ(0, monitor.OpenSampleDatabase(other));
        EXPECT_EQ(1, monitor.waitingEntryCount());
        EXPECT_TRUE(monitor.storeOutage().isEmpty()) << "nothing waits for the open database";
        monitor.closeDatabase();
        EXPECT_TRUE(storedSamples(other).empty());
        ASSERT_EQ(0, monitor.OpenSampleDatabase(lab));
        EXPECT_EQ(0, monitor.waitingEntryCount());
    }
    const auto samples = storedSamples(lab);
    ASSERT_EQ(2u, samples.size());
    EXPECT_EQ(testRecordFieldText(second, "raw8700"), samples[1].raw);
    EXPECT_LE(qAbs(samples[1].date.secsTo(arrival)), 1);
    EXPECT_TRUE(spoolFiles(home).isEmpty());
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().join("\n").toStdString();
}

// The same full disk takes the spool and the database: the test stays in
// memory, the title says so, and it is stored once the disk takes writes.
TEST(MonitorSpool, ATestTheSpoolCannotTakeIsKeptInMemoryAndStoredLater)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    const QString lab = test::copyTemplate(home, "lab.mdb");
    Monitor monitor;
    ASSERT_EQ(0, monitor.OpenSampleDatabase(lab));
    const TestRecord test = test::sampleRecord(231, 12, 150, 5);
    {
        test::FileSizeLimit full(0);
        EXPECT_FALSE(monitor.StoreTestResult(test));
        EXPECT_EQ(1, monitor.waitingEntryCount());
        EXPECT_TRUE(spoolFiles(home).isEmpty());
        EXPECT_TRUE(monitor.storeOutage().contains("cannot be written")) << monitor.storeOutage().toStdString();
        EXPECT_TRUE(monitor.storeOutage().contains("kept in memory only")) << monitor.storeOutage().toStdString();
        QTest::qWait(1500);   // retried meanwhile, still waiting
        EXPECT_EQ(1, monitor.waitingEntryCount());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.waitingEntryCount() == 0; }, 5000));
    const auto samples = storedSamples(lab);
    ASSERT_EQ(1u, samples.size());
    EXPECT_EQ(testRecordFieldText(test, "raw8700"), samples[0].raw);
    EXPECT_TRUE(monitor.storeOutage().isEmpty());
    EXPECT_TRUE(spoolFiles(home).isEmpty());
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().join("\n").toStdString();
}
