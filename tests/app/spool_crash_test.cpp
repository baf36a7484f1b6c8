// The real program killed with SIGKILL: what it had received is in its spool
// and is stored at the next start, exactly once; two stations sharing one
// file keep every test while one of them is killed and restarted.
#include "app/spool_support.h"
#include "app/soak_run.h"
#include "app/station.h"
#include "app/station_process.h"
#include "core/record.h"
#include "db/db_fixture.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "sim/unit_model.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;
using test::spoolFiles;
using test::storedSamples;

TEST(SpoolCrash, AMonitorKilledWhileATestWaitsForTheLockStoresItAtTheNextStart)
{
    test::TempHome files;
    const QString lab = test::copyTemplate(files, "lab.mdb");
    test::StationProcess station(lab);
    ASSERT_TRUE(station.unit().ok());
    ASSERT_TRUE(station.start());

    const TestRecord test = sim::simulateTest({.dielectric = 240, .ferrous = 20, .water = 60}, {}, 7);
    QDateTime sent, killed;
    {
        test::WriteLock lock(lab);
        ASSERT_TRUE(lock.held());
        sent = QDateTime::currentDateTime();
        ASSERT_TRUE(station.unit().send(sim::testFrame(test)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return spoolFiles(station.home()).size() == 1; }, 10000));
        station.kill();
        killed = QDateTime::currentDateTime();
    }
    EXPECT_TRUE(storedSamples(lab).empty());

    ASSERT_TRUE(station.start());
    const auto samples = storedSamples(lab);
    ASSERT_EQ(1u, samples.size());
    EXPECT_EQ(testRecordFieldText(test, "raw8700"), samples[0].raw);
    EXPECT_GE(samples[0].date, sent.addSecs(-1));
    EXPECT_LE(samples[0].date, killed);
    EXPECT_TRUE(spoolFiles(station.home()).isEmpty());
    EXPECT_TRUE(station.stop());
}

TEST(SpoolCrash, TwoStationsSharingAFileKeepEveryTestWhileOneIsKilledAndRestarted)
{
    const int seconds = test::SoakRun::seconds();
    test::TempHome files;
    const QString lab = test::copyTemplate(files, "lab.mdb");
    test::StationProcess a(lab), b(lab);
    ASSERT_TRUE(a.unit().ok() && b.unit().ok());
    ASSERT_TRUE(a.start());
    ASSERT_TRUE(b.start());

    test::SoakRun run(100);
    QElapsedTimer clock;
    clock.start();
    const qint64 killAt = seconds * 1000 / 3;
    bool killed = false;
    QString lastToA;
    while (clock.elapsed() < seconds * 1000) {
        run.send(b.unit());
        if (!killed && clock.elapsed() >= killAt) {
            run.mayBeLost(lastToA);
            ASSERT_TRUE(a.unit().send(test::SoakRun::cutFrame()));
            QTest::qWait(300);
            a.kill();
            killed = true;
            QTest::qWait(1000);
            ASSERT_TRUE(a.start());
        } else {
            lastToA = run.send(a.unit());
        }
        QTest::qWait(200);
    }
    QTest::qWait(500);

    // Everything waiting is stored within a few retries; counted after the
    // stations stop.
    run.waitUntilStored(lab, 15000);
    EXPECT_TRUE(a.stop());
    EXPECT_TRUE(b.stop());
    run.expectEachStoredOnce(lab);
    EXPECT_EQ("ok", test::integrityCheck(lab));
    EXPECT_TRUE(spoolFiles(a.home()).isEmpty());
    EXPECT_TRUE(spoolFiles(b.home()).isEmpty());
}
