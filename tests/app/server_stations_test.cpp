// Two stations storing into one server database for a minute while the
// server is restarted and one station is killed: every test sent is stored
// exactly once and whole, and a station's grid shows the other's samples.
#include "app/data_window.h"
#include "app/monitor.h"
#include "app/spool_support.h"
#include "app/soak_run.h"
#include "app/station.h"
#include "app/station_process.h"
#include "sim/pty_unit.h"
#include "support/pg_cluster.h"
#include "support/scripted_prompter.h"
#include "views/ui/frm_data.h"

#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;

TEST(ServerStations, TwoStationsKeepEveryTestThroughAServerRestartAndAKilledStation)
{
    if (test::serverAdminUri().isEmpty())
        GTEST_SKIP() << "no test server installed (QQC_TEST_PG_URI unset)";
    const int seconds = test::SoakRun::seconds();
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

    test::SoakRun run(500);
    QSet<QString> fromB;
    QElapsedTimer clock;
    clock.start();
    const qint64 killAt = seconds * 1000 / 3, restartAt = seconds * 1000 * 3 / 5;
    bool killed = false, restarted = false;
    QString lastToB;
    while (clock.elapsed() < seconds * 1000) {
        run.send(unitA);
        if (!killed && clock.elapsed() >= killAt) {
            run.mayBeLost(lastToB);
            ASSERT_TRUE(b.unit().send(test::SoakRun::cutFrame()));
            QTest::qWait(300);
            b.kill();
            killed = true;
            QTest::qWait(1000);
            ASSERT_TRUE(b.start());
        } else {
            lastToB = run.send(b.unit());
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

    // Everything waiting is stored within a few retries; counted after
    // station B stops.
    run.waitUntilStored(lab, 20000);
    EXPECT_TRUE(b.stop());
    run.expectEachStoredOnce(lab);
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
