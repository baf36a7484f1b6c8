// A server database that cannot be opened: the station says which address
// and why, keeps the remembered address (and, while the server does not
// answer, the tests it measures), and never shows, logs or keeps a password,
// whether typed into the address or refused by the server.
#include "app/data_window.h"
#include "app/monitor.h"
#include "app/spool_support.h"
#include "app/station.h"
#include "config/settings.h"
#include "util/ini_file.h"
#include "support/pg_cluster.h"
#include "core/record.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "sim/unit_model.h"
#include "support/scripted_prompter.h"
#include "views/ui/frm_data.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;

namespace {

QString allText(const test::TempHome& home, const test::ScriptedPrompter& prompts)
{
    return prompts.texts().join("\n") + QString::fromUtf8(home.read("quorvelqc.log") + home.read("quorvelqc.ini"));
}

} // namespace

TEST(ServerRefusal, AnUnreachableServerIsNamedWithItsReasonAndStaysRemembered)
{
    const std::pair<QString, QString> cases[] = {
        {"postgresql://lab@127.0.0.1:1/oillab?connect_timeout=2", "refused"},
        {"postgresql://lab@/oillab?host=/tmp/qqc-no-such-folder&port=5432", "No such file or directory"}};
    for (const auto& [address, why] : cases) {
        SCOPED_TRACE(address.toStdString());
        test::TempHome home;
        test::ScriptedPrompter prompts;
        home.write("quorvelqc.ini", test::stationSettings("/dev/null", address));
        Monitor monitor;
        monitor.readStartupSettings();
        monitor.openDatabaseAtStartup();
        EXPECT_EQ(nullptr, monitor.sampleDatabase());
        ASSERT_EQ(1u, prompts.messages.size());
        EXPECT_TRUE(prompts.messages[0].text.startsWith(" Cannot open Database: " + address + "\r\n"))
            << prompts.messages[0].text.toStdString();
        EXPECT_TRUE(prompts.messages[0].text.contains(why)) << prompts.messages[0].text.toStdString();
        // Down for a moment: the station opens it again at the next start.
        EXPECT_EQ(address, DatabaseSettings::readFile(IniFile(home.file("quorvelqc.ini"))));
    }
}

TEST(ServerRefusal, ARefusedPasswordIsSaidAndNoPasswordIsEverShownLoggedOrKept)
{
    if (test::serverAdminUri().isEmpty())
        GTEST_SKIP() << "no test server installed (QQC_TEST_PG_URI unset)";
    // A cluster of this test's own: the shared one trusts every login.
    test::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error().toStdString();
    ASSERT_TRUE(cluster.addPasswordLogin("lab", "Right-Secret-7"));
    test::runSql(cluster.adminUri(), {"CREATE DATABASE oillab OWNER lab"});
    const QString address = cluster.uri("oillab", "lab");
    QString typed = address;
    typed.replace("lab@", "lab:Right-Secret-7@");
    ASSERT_NO_THROW(db::createServerDatabase(typed, test::builtTemplate()));

    test::TempHome home;
    test::ScriptedPrompter prompts;
    home.write("quorvelqc.ini", test::stationSettings("/dev/null", home.file("lab.mdb")));
    Monitor monitor;
    monitor.readStartupSettings();

    // A wrong password typed into the address: refused, and said so.
    QString wrong = address;
    wrong.replace("lab@", "lab:Wrong-Secret-3@");
    prompts.fileNames = {wrong};
    monitor.mnuDBOpen_Click();
    EXPECT_EQ(nullptr, monitor.sampleDatabase());
    ASSERT_EQ(1u, prompts.messages.size());
    EXPECT_TRUE(prompts.messages[0].text.contains("password authentication failed")) << prompts.messages[0].text.toStdString();
    EXPECT_TRUE(prompts.messages[0].text.contains(address)) << prompts.messages[0].text.toStdString();

    // A wrong one from the environment, then the right one typed: opened,
    // and remembered and shown without it.
    qputenv("PGPASSWORD", "Wrong-Secret-4");
    prompts.fileNames = {address};
    monitor.mnuDBOpen_Click();
    qunsetenv("PGPASSWORD");
    EXPECT_EQ(nullptr, monitor.sampleDatabase());
    EXPECT_EQ(2u, prompts.messages.size());
    prompts.fileNames = {typed};
    monitor.mnuDBOpen_Click();
    ASSERT_NE(nullptr, monitor.sampleDatabase()) << prompts.texts().join("\n").toStdString();
    EXPECT_EQ(address, DatabaseSettings::readFile(IniFile(home.file("quorvelqc.ini"))));
    EXPECT_TRUE(monitor.frameTitle().contains(address)) << monitor.frameTitle().toStdString();
    EXPECT_EQ(2u, prompts.messages.size());
    for (const char* secret : {"Wrong-Secret-3", "Wrong-Secret-4", "Right-Secret-7"})
        EXPECT_FALSE(allText(home, prompts).contains(secret)) << secret;
    monitor.closeDatabase();
}

// A station started while its server is down (restarting, say) keeps the
// tests it measures in the spool, and opens the database and stores them
// once the server answers.
TEST(ServerRefusal, AStationStartedWhileTheServerIsDownStoresItsTestsWhenItAnswers)
{
    if (test::serverAdminUri().isEmpty())
        GTEST_SKIP() << "no test server installed (QQC_TEST_PG_URI unset)";
    test::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error().toStdString();
    test::runSql(cluster.adminUri(), {"CREATE DATABASE lab"});
    const QString lab = cluster.uri("lab");
    ASSERT_NO_THROW(db::createServerDatabase(lab, test::builtTemplate()));
    cluster.restartInBackground(6);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !db::serverAnswers(lab); }, 20000));

    test::TempHome home;
    test::ScriptedPrompter prompts;
    sim::PtyUnit unit;
    ASSERT_TRUE(unit.ok());
    home.write("quorvelqc.ini", test::stationSettings(unit.device(), lab));
    Monitor monitor;
    std::unique_ptr<frmData> grid;
    ASSERT_NO_FATAL_FAILURE(test::startStation(monitor, grid));
    ASSERT_EQ(nullptr, monitor.sampleDatabase());
    ASSERT_EQ(1u, prompts.messages.size());

    const TestRecord t = sim::simulateTest({.dielectric = 238, .ferrous = 9}, {}, 77);
    ASSERT_TRUE(unit.send(sim::testFrame(t)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return test::spoolFiles(home).size() == 1; }, 10000));
    EXPECT_TRUE(monitor.frameTitle().contains("1 test not stored yet")) << monitor.frameTitle().toStdString();

    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.sampleDatabase() && test::spoolFiles(home).isEmpty(); }, 40000));
    EXPECT_TRUE(cluster.restarted(1000));
    const auto stored = test::storedSamples(lab);
    ASSERT_EQ(1u, stored.size());
    EXPECT_EQ(testRecordFieldText(t, "raw8700"), stored[0].raw);
    ASSERT_EQ(1, grid->model().rowCount());
    EXPECT_EQ(stored[0].id, grid->model().sampleIdAt(0));
    EXPECT_EQ(1u, prompts.messages.size()) << prompts.texts().join("\n").toStdString();
    monitor.closeSerialLink();
}
