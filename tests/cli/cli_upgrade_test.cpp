// quorvelqc-cli upgrade as a process on an old-layout file the test builds;
// the other commands only report such a file.

#include "db/old_layout.h"
#include "db/upgrade.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

using namespace qqc;

namespace {

struct Outcome {
    int status = -1;
    QString err;
};

Outcome cli(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QUORVELQC_HOME");
    p.setProcessEnvironment(env);
    p.start(test::binDir() + "/quorvelqc-cli", args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(CliUpgrade, UpgradesAnOldFileWithASummaryAndTheOtherCommandsOnlyReportIt)
{
    test::TempHome home;
    const QString path = home.file("lab.mdb");
    test::makeOldLayout(path);
    const QByteArray before = home.read("lab.mdb");

    const Outcome list = cli({"list", "--db", path});
    EXPECT_EQ(1, list.status);
    EXPECT_TRUE(list.err.contains("older layout (version 299)")) << list.err.toStdString();
    EXPECT_EQ(before, home.read("lab.mdb"));

    const Outcome upgrade = cli({"upgrade", path, "--home", home.path()});
    ASSERT_EQ(0, upgrade.status) << upgrade.err.toStdString();
    for (const char* line : {"Converting table Samples.", "  Samples: 6 rows", "  Calibration rows derived: 2",
                             "  Skipped in CalData: 1 (CalData text is not four 16-bit integers)",
                             "  Alarm set 1 keeps the template's limits for parameters 56, 60, 73"})
        EXPECT_TRUE(upgrade.err.contains(line)) << line << "\n" << upgrade.err.toStdString();
    EXPECT_EQ(300, db::readLayoutVersion(path));

    EXPECT_EQ(0, cli({"list", "--db", path}).status);
    const Outcome again = cli({"upgrade", path});
    EXPECT_EQ(0, again.status);
    EXPECT_TRUE(again.err.contains("already has the current layout"));

    home.write("foreign.mdb", QByteArray(4096, 'x'));
    EXPECT_EQ(1, cli({"upgrade", home.file("foreign.mdb")}).status);
}
