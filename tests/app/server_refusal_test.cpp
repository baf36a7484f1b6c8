// A server database that cannot be opened: the station says which address
// and why, keeps the remembered address, and never shows, logs or keeps a
// password, whether typed into the address or refused by the server.
#include "app/monitor.h"
#include "app/station.h"
#include "config/settings.h"
#include "util/ini_file.h"
#include "support/pg_cluster.h"
#include "support/scripted_prompter.h"

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
