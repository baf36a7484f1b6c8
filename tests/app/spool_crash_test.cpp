// The real program killed with SIGKILL: what it had received is in its spool
// and is stored at the next start, exactly once; two stations sharing one
// file keep every test while one of them is killed and restarted.
#include "app/spool_support.h"
#include "app/station.h"
#include "app/station_process.h"
#include "core/record.h"
#include "db/db_fixture.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "sim/unit_model.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>

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

// QQC_SOAK_SECONDS sets how long the units send (default 55).
TEST(SpoolCrash, TwoStationsSharingAFileKeepEveryTestWhileOneIsKilledAndRestarted)
{
    const int seconds = qEnvironmentVariableIsSet("QQC_SOAK_SECONDS") ? qEnvironmentVariableIntValue("QQC_SOAK_SECONDS")
                                                                        : 55;
    test::TempHome files;
    const QString lab = test::copyTemplate(files, "lab.mdb");
    test::StationProcess a(lab), b(lab);
    ASSERT_TRUE(a.unit().ok() && b.unit().ok());
    ASSERT_TRUE(a.start());
    ASSERT_TRUE(b.start());

    // Every test is told apart by its readings: must[raw] is how often it
    // must be stored, mayOnce those that may be stored once or not at all.
    QHash<QString, int> must;
    QSet<QString> mayOnce;
    std::uint32_t seed = 100;
    auto send = [&](test::StationProcess& s) {
        const TestRecord t = sim::simulateTest({.dielectric = 220 + int(seed % 40), .ferrous = int(seed % 60),
                                                .water = int(seed % 300)},
                                               {}, seed);
        ++seed;
        EXPECT_TRUE(s.unit().send(sim::testFrame(t)));
        return testRecordFieldText(t, "raw8700");
    };

    QElapsedTimer clock;
    clock.start();
    const qint64 killAt = seconds * 1000 / 3;
    bool killed = false;
    QString lastToA;
    while (clock.elapsed() < seconds * 1000) {
        ++must[send(b)];
        if (!killed && clock.elapsed() >= killAt) {
            // A frame cut by the kill stores nothing; the test sent just
            // before may or may not have been read.
            mayOnce << lastToA;
            must.remove(lastToA);
            const QByteArray cut = sim::testFrame(sim::simulateTest({.dielectric = 250}, {}, 99999));
            ASSERT_TRUE(a.unit().send(cut.left(cut.size() / 2)));
            QTest::qWait(300);
            a.kill();
            killed = true;
            QTest::qWait(1000);
            ASSERT_TRUE(a.start());
        } else {
            lastToA = send(a);
            ++must[lastToA];
        }
        QTest::qWait(200);
    }
    QTest::qWait(500);

    // Everything waiting is stored within a few retries.
    auto countStored = [&] {
        QHash<QString, int> stored;
        for (const auto& s : storedSamples(lab))
            ++stored[s.raw];
        return stored;
    };
    QHash<QString, int> stored;
    // The counts are checked below, after the stations stop.
    (void)QTest::qWaitFor([&] {
        stored = countStored();
        return std::all_of(must.keyBegin(), must.keyEnd(), [&](const QString& raw) { return stored.value(raw) == 1; });
    }, 15000);
    EXPECT_TRUE(a.stop());
    EXPECT_TRUE(b.stop());
    stored = countStored();

    int missing = 0, twice = 0, foreign = 0;
    for (auto it = must.cbegin(); it != must.cend(); ++it) {
        missing += stored.value(it.key()) == 0;
        twice += stored.value(it.key()) > 1;
    }
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        if (!must.contains(it.key()) && !(mayOnce.contains(it.key()) && it.value() == 1))
            ++foreign;
    }
    EXPECT_GT(must.size(), seconds * 2) << "too few tests were sent";
    EXPECT_EQ(0, missing) << "of " << must.size();
    EXPECT_EQ(0, twice);
    EXPECT_EQ(0, foreign) << "a cut frame or a test was stored that must not be";
    EXPECT_EQ("ok", test::integrityCheck(lab));
    EXPECT_TRUE(spoolFiles(a.home()).isEmpty());
    EXPECT_TRUE(spoolFiles(b.home()).isEmpty());
}
