// A station whose connection to the server is cut at an exact point of a
// test's transaction: half-way (nothing of it is kept, the spool stores it
// whole later) or after the server committed but before its reply arrived
// (the spool finds the test already stored and does not store it twice).
#include "app/data_window.h"
#include "app/monitor.h"
#include "app/pg_cut_proxy.h"
#include "app/spool_support.h"
#include "app/station.h"
#include "core/record.h"
#include "db/server_uri.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "sim/unit_model.h"
#include "support/scripted_prompter.h"
#include "views/ui/frm_data.h"

#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace qqc;

namespace {

class ServerOutage : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::serverAdminUri().isEmpty())
            GTEST_SKIP() << "no test server (QQC_TEST_PG_URI unset; scripts/pg_cluster.sh starts one)";
        server = std::make_unique<test::ServerDatabase>();
        ASSERT_NO_THROW(db::createServerDatabase(server->uri(), test::builtTemplate()));
        // The station reaches the server only through the proxy.
        db::ServerAddress a;
        ASSERT_TRUE(db::parseServerUri(server->uri(), a));
        proxy = std::make_unique<test::PgCutProxy>(QString("%1/.s.PGSQL.%2").arg(a.host).arg(a.port), a.port);
        ASSERT_TRUE(proxy->ok());
        QUrl url(server->uri());
        QUrlQuery query(url);
        query.removeQueryItem("host");
        query.addQueryItem("host", proxy->folder());
        url.setQuery(query);
        ASSERT_TRUE(unit.ok());
        home.write("quorvelqc.ini", test::stationSettings(unit.device(), url.toString()));
        monitor.readStartupSettings();
        ASSERT_TRUE(monitor.ReadSettings());
        ASSERT_TRUE(monitor.openSerialLink());
        grid.reset(createDataWindow(monitor));
        grid->show();
        monitor.setWindowOpen(Monitor::DataWindow, true);
        monitor.openDatabaseAtStartup();
        ASSERT_NE(nullptr, monitor.sampleDatabase()) << prompts.texts().join("\n").toStdString();
    }
    void TearDown() override
    {
        grid.reset();
        monitor.closeSerialLink();
        monitor.closeDatabase();
    }

    // Sends one test and waits until it has left the spool.
    TestRecord sendAndDrain()
    {
        const TestRecord t = sim::simulateTest({.dielectric = 241, .ferrous = 17, .water = 80}, {}, 31);
        EXPECT_TRUE(unit.send(sim::testFrame(t)));
        drain(1);
        return t;
    }
    void drain(int cuts)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return proxy->cuts() == cuts; }, 15000)) << "the connection was not cut";
        EXPECT_TRUE(QTest::qWaitFor([&] { return test::spoolFiles(home).isEmpty(); }, 15000));
        QTest::qWait(1500);  // a second retry would come within a second
    }

    std::unique_ptr<test::ServerDatabase> server;
    std::unique_ptr<test::PgCutProxy> proxy;
    test::TempHome home;
    test::ScriptedPrompter prompts;
    sim::PtyUnit unit;
    Monitor monitor;
    std::unique_ptr<frmData> grid;
};

} // namespace

TEST_F(ServerOutage, ACommitWhoseReplyIsLostStoresTheTestOnceAndShowsIt)
{
    proxy->cutAfterReply("COMMIT");
    const TestRecord t = sendAndDrain();
    const auto stored = test::storedSamples(server->uri());
    ASSERT_EQ(1u, stored.size()) << "the retry stored the committed test again";
    EXPECT_EQ(testRecordFieldText(t, "raw8700"), stored[0].raw);
    ASSERT_EQ(1, grid->model().rowCount());
    EXPECT_EQ(stored[0].id, grid->model().sampleIdAt(0));

    // A calibration row likewise.
    const size_t calibrations = test::storedSamples(server->uri(), "CalData").size();
    proxy->cutAfterReply("COMMIT");
    monitor.ProcessNewCalibration(test::calibrationMessage(5000, 4700, 220, 300));
    drain(2);
    EXPECT_EQ(calibrations + 1, test::storedSamples(server->uri(), "CalData").size());
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().join("\n").toStdString();
}

TEST_F(ServerOutage, ATestCutHalfWayKeepsNothingAndIsStoredWholeByTheRetry)
{
    // After the sample's row, before its detail rows.
    proxy->cutBefore("INSERT INTO \"sampledetails\"");
    const TestRecord t = sendAndDrain();
    const auto stored = test::storedSamples(server->uri());
    ASSERT_EQ(1u, stored.size());
    EXPECT_EQ(testRecordFieldText(t, "raw8700"), stored[0].raw);
    EXPECT_EQ(QString::number(stored[0].id), test::queryRows(server->uri(), "SELECT MIN(SampleID) FROM SampleDetails"));
    EXPECT_NE("0", test::queryRows(server->uri(), "SELECT COUNT(*) FROM SampleDetails"));
    EXPECT_EQ(stored[0].id, grid->model().sampleIdAt(0));
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().join("\n").toStdString();
}

// An entry left in the spool for a server database is stored at the next
// start, whichever folder the program is started from.
TEST(ServerSpool, AnEntryForTheServerIsStoredByAStationStartedFromAnotherFolder)
{
    if (test::serverAdminUri().isEmpty())
        GTEST_SKIP() << "no test server (QQC_TEST_PG_URI unset; scripts/pg_cluster.sh starts one)";
    test::ServerDatabase server;
    ASSERT_NO_THROW(db::createServerDatabase(server.uri(), test::builtTemplate()));
    test::TempHome home;
    test::ScriptedPrompter prompts;
    sim::PtyUnit unit;
    ASSERT_TRUE(unit.ok());
    home.write("quorvelqc.ini", test::stationSettings(unit.device(), server.uri()));
    QTemporaryDir first, second;
    const QString startFolder = QDir::currentPath();
    const TestRecord t = sim::simulateTest({.dielectric = 233}, {}, 12);
    {
        QDir::setCurrent(first.path());
        Monitor monitor;
        monitor.readStartupSettings();
        ASSERT_TRUE(monitor.ReadSettings());
        ASSERT_TRUE(monitor.openSerialLink());
        monitor.openDatabaseAtStartup();
        ASSERT_NE(nullptr, monitor.sampleDatabase());
        // Another station holds the samples table while the test arrives.
        QSqlDatabase lock = test::plainConnection(server.uri(), "spool-lock");
        ASSERT_TRUE(lock.open());
        QSqlQuery q(lock);
        ASSERT_TRUE(q.exec("BEGIN") && q.exec("LOCK TABLE samples IN ACCESS EXCLUSIVE MODE"));
        ASSERT_TRUE(unit.send(sim::testFrame(t)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.frameTitle().contains("not stored yet"); }, 10000));
        monitor.closeSerialLink();
        q.exec("ROLLBACK");
    }
    QSqlDatabase::removeDatabase("spool-lock");
    ASSERT_EQ(1, test::spoolFiles(home).size());

    QDir::setCurrent(second.path());
    Monitor monitor;
    monitor.readStartupSettings();
    ASSERT_TRUE(monitor.ReadSettings());
    monitor.openDatabaseAtStartup();
    QDir::setCurrent(startFolder);
    ASSERT_NE(nullptr, monitor.sampleDatabase());
    const auto stored = test::storedSamples(server.uri());
    ASSERT_EQ(1u, stored.size());
    EXPECT_EQ(testRecordFieldText(t, "raw8700"), stored[0].raw);
    EXPECT_TRUE(test::spoolFiles(home).isEmpty());
}
