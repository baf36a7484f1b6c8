// Two stations storing into one server database for a minute while the
// server is restarted and one station is killed: every test sent is stored
// exactly once and whole, and a station's grid shows the other's samples.
#include "app/data_window.h"
#include "app/monitor.h"
#include "app/spool_support.h"
#include "app/station.h"
#include "app/station_process.h"
#include "core/record.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "sim/unit_model.h"
#include "support/pg_cluster.h"
#include "support/scripted_prompter.h"
#include "views/ui/frm_data.h"

#include <QHash>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

using namespace qqc;

// QQC_SOAK_SECONDS sets how long the units send (default 55).
TEST(ServerStations, TwoStationsKeepEveryTestThroughAServerRestartAndAKilledStation)
{
    if (test::serverAdminUri().isEmpty())
        GTEST_SKIP() << "no test server installed (QQC_TEST_PG_URI unset)";
    const int seconds = qEnvironmentVariableIsSet("QQC_SOAK_SECONDS") ? qEnvironmentVariableIntValue("QQC_SOAK_SECONDS")
                                                                        : 55;
    // A cluster of this test's own: it is restarted, which the shared one
    // other tests use at the same time must never be.
    test::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error().toStdString();
    test::runSql(cluster.adminUri(), {"CREATE DATABASE lab"});
    const QString lab = cluster.uri("lab");
    ASSERT_NO_THROW(db::createServerDatabase(lab, test::builtTemplate()));

    // Station B is the real program, killed and restarted; station A runs
    // here, with its grid. (B's program folder is made first: the one made
    // last is this process's own.)
    test::StationProcess b(lab);
    ASSERT_TRUE(b.unit().ok());
    test::TempHome homeA;
    test::ScriptedPrompter prompts;
    sim::PtyUnit unitA;
    ASSERT_TRUE(unitA.ok());
    homeA.write("quorvelqc.ini", test::stationSettings(unitA.device(), lab));
    Monitor a;
    a.readStartupSettings();
    ASSERT_TRUE(a.ReadSettings());
    ASSERT_TRUE(a.openSerialLink());
    std::unique_ptr<frmData> grid(createDataWindow(a));
    grid->show();
    a.setWindowOpen(Monitor::DataWindow, true);
    a.openDatabaseAtStartup();
    ASSERT_NE(nullptr, a.sampleDatabase()) << prompts.texts().join("\n").toStdString();
    ASSERT_TRUE(b.start());

    // Every test is told apart by its readings: must[raw] is how often it
    // must be stored, mayOnce those that may be stored once or not at all.
    QHash<QString, int> must;
    QSet<QString> mayOnce, fromB;
    std::uint32_t seed = 500;
    auto send = [&](sim::PtyUnit& unit) {
        const TestRecord t = sim::simulateTest({.dielectric = 220 + int(seed % 40), .ferrous = int(seed % 60),
                                                .water = int(seed % 300)},
                                               {}, seed);
        ++seed;
        EXPECT_TRUE(unit.send(sim::testFrame(t)));
        return testRecordFieldText(t, "raw8700");
    };

    QElapsedTimer clock;
    clock.start();
    const qint64 killAt = seconds * 1000 / 3, restartAt = seconds * 1000 * 3 / 5;
    bool killed = false, restarted = false;
    QString lastToB;
    while (clock.elapsed() < seconds * 1000) {
        ++must[send(unitA)];
        if (!killed && clock.elapsed() >= killAt) {
            // A frame cut by the kill stores nothing; the test sent just
            // before may or may not have been read.
            mayOnce << lastToB;
            must.remove(lastToB);
            const QByteArray cut = sim::testFrame(sim::simulateTest({.dielectric = 250}, {}, 99999));
            ASSERT_TRUE(b.unit().send(cut.left(cut.size() / 2)));
            QTest::qWait(300);
            b.kill();
            killed = true;
            QTest::qWait(1000);
            ASSERT_TRUE(b.start());
        } else {
            lastToB = send(b.unit());
            ++must[lastToB];
            fromB << lastToB;
        }
        if (!restarted && clock.elapsed() >= restartAt) {
            // Down for three seconds: both stations keep measuring into
            // their spools meanwhile.
            cluster.restartInBackground(3);
            restarted = true;
        }
        QTest::qWait(200);
    }
    EXPECT_TRUE(cluster.restarted(30000)) << "the server did not come back";

    auto countStored = [&] {
        QHash<QString, int> stored;
        for (const auto& s : test::storedSamples(lab))
            ++stored[s.raw];
        return stored;
    };
    QHash<QString, int> stored;
    // Everything waiting is stored within a few retries; the counts are
    // checked below, after station B stops.
    (void)QTest::qWaitFor([&] {
        stored = countStored();
        return std::all_of(must.keyBegin(), must.keyEnd(), [&](const QString& raw) { return stored.value(raw) == 1; });
    }, 20000);
    EXPECT_TRUE(b.stop());
    stored = countStored();

    int missing = 0, twice = 0, foreign = 0;
    for (auto it = must.cbegin(); it != must.cend(); ++it) {
        missing += stored.value(it.key()) == 0;
        twice += stored.value(it.key()) > 1;
    }
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        if (!must.contains(it.key()) && !(mayOnce.contains(it.key()) && it.value() == 1))
            ++foreign;
    EXPECT_GT(must.size(), seconds * 2) << "too few tests were sent";
    EXPECT_EQ(0, missing) << "of " << must.size();
    EXPECT_EQ(0, twice);
    EXPECT_EQ(0, foreign) << "a cut frame or a test was stored that must not be";
    EXPECT_TRUE(test::spoolFiles(homeA).isEmpty());
    EXPECT_TRUE(test::spoolFiles(b.home()).isEmpty());
    // Whole: every sample has all its detail rows.
    EXPECT_EQ("", test::queryRows(lab, "SELECT SampleID FROM Samples s WHERE (SELECT COUNT(*) FROM SampleDetails d "
                                       "WHERE d.SampleID = s.SampleID) <> (SELECT MAX(n) FROM (SELECT COUNT(*) AS n "
                                       "FROM SampleDetails GROUP BY SampleID) c)"));

    // A's grid shows B's samples beside its own, read again after the run.
    refreshDataWindow(*grid, a);
    const auto samples = test::storedSamples(lab);
    ASSERT_EQ(int(samples.size()), grid->model().rowCount());
    int shownFromB = 0;
    for (const auto& s : samples)
        shownFromB += fromB.contains(s.raw) && grid->model().rowOfSample(s.id) >= 0;
    EXPECT_GE(shownFromB, fromB.size() - 1);
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().join("\n").toStdString();
    a.closeSerialLink();
}
