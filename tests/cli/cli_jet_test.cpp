// quorvelqc-cli upgrade on a Jet file, with the stand-in reader streaming an
// old-layout database the test builds.

#include "db/old_layout.h"
#include "db/upgrade.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace qqc;

namespace {

struct Outcome {
    int status = -1;
    QString err;
};

class CliJet : public ::testing::Test {
protected:
    test::TempHome home;
    QString source = home.file("source.sqlite");
    QString jet = home.file("lab.mdb");
    QString converted = home.file("lab-converted.mdb");

    void SetUp() override
    {
        test::makeOldLayout(source);
        home.write("lab.mdb", QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(2028, 'J'));
    }

    Outcome cli(const QStringList& args, const QString& standinArgs = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QUORVELQC_HOME");
        env.insert("QUORVELQC_JET_READER", test::binDir() + "/quorvelqc-jet-standin");
        env.insert("QQC_JET_STANDIN_SOURCE", source);
        env.insert("QQC_JET_STANDIN_ARGS", standinArgs);
        p.setProcessEnvironment(env);
        p.start(test::binDir() + "/quorvelqc-cli", args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
    }
};

} // namespace

TEST_F(CliJet, ConvertsBesideTheFileWhichStaysAsItWasAndTheOtherCommandsOnlyReportIt)
{
    const QByteArray before = home.read("lab.mdb");
    const Outcome list = cli({"list", "--db", jet});
    EXPECT_EQ(1, list.status);
    EXPECT_TRUE(list.err.contains("is a Jet database; convert it first")) << list.err.toStdString();

    home.write("lab.ldb", "station 2");
    const Outcome up = cli({"upgrade", jet, "--home", home.path()});
    ASSERT_EQ(0, up.status) << up.err.toStdString();
    for (const QString& line : QStringList{"lab.ldb exists: another station may be writing", "Reading table Samples.",
                                "Converted " + jet + " (layout 299) into " + converted, "  Samples: 6 rows"})
        EXPECT_TRUE(up.err.contains(line)) << line.toStdString() << "\n" << up.err.toStdString();
    EXPECT_EQ(300, db::readLayoutVersion(converted));
    EXPECT_EQ(before, home.read("lab.mdb"));
    EXPECT_EQ(0, cli({"list", "--db", converted}).status);

    const Outcome again = cli({"upgrade", jet});
    EXPECT_EQ(1, again.status);
    EXPECT_TRUE(again.err.contains("already exists")) << again.err.toStdString();
}

TEST_F(CliJet, AShortfallStopsUnlessAcceptedAndOutNamesTheNewFile)
{
    const QString out = home.file("elsewhere.mdb");
    const Outcome stopped = cli({"upgrade", jet, "--out", out}, "--declare Samples=8");
    EXPECT_EQ(1, stopped.status);
    EXPECT_TRUE(stopped.err.contains("Samples: 6 rows read, 8 in its table definition")) << stopped.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));

    const Outcome accepted = cli({"upgrade", jet, "--out", out, "--accept-row-counts"}, "--declare Samples=8");
    ASSERT_EQ(0, accepted.status) << accepted.err.toStdString();
    EXPECT_TRUE(accepted.err.contains("  Samples: 6 rows read, 8 declared")) << accepted.err.toStdString();
    EXPECT_EQ(300, db::readLayoutVersion(out));
    EXPECT_FALSE(QFile::exists(converted));
}
