// quorvelqc-cli (and quorvelqc --list-samples) as processes on copies of the
// built template: every command, bad command lines, exit statuses, a
// write-protected database, and an export equal to the sample window's.

#include "cli/cli_options.h"
#include "db/db_fixture.h"
#include "support/scripted_prompter.h"
#include "views/ui/frm_data.h"

#include <QFile>
#include <QLocale>
#include <QProcess>

#include <gtest/gtest.h>

using namespace qqc;

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

class CliTest : public test::TemplateCopy {
protected:
    void SetUp() override
    {
        TemplateCopy::SetUp();
        test::runSql(path, {
            "INSERT INTO Samples (SampleID, SampleNum, SampleDate, EquipmentID, WearSev, ContamSev, ChemSev) VALUES"
            " (1, '1', '2004-03-05T10:00:00', 'A', 1, 2, 3), (2, '2', '2004-03-06T10:00:00', NULL, -1, -1, -1),"
            " (3, '3', '2004-03-07T10:00:00', 'C, D', 0, 0, 0)",
            "INSERT INTO SampleDetails VALUES (1, 59, 1234.5, 3)"});
    }
    Outcome cli(const QStringList& args, const QString& program = "quorvelqc-cli")
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "en_US.UTF-8");
        env.remove("QUORVELQC_HOME");
        p.setProcessEnvironment(env);
        p.start(test::binDir() + "/" + program, args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QByteArray read(const QString& name)
    {
        QFile f(home.file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST(CliOptions, SampleListsAndCommandLinesThatCannotBeParsed)
{
    EXPECT_EQ(cli::parseSampleList("3,5-7, 9"), (std::set<qint32>{3, 5, 6, 7, 9}));
    for (const char* bad : {"", "3,", "a", "5-3", "-4", "0", "1-", "3.5", "99999999999", "1-2147483647"})
        EXPECT_FALSE(cli::parseSampleList(bad)) << bad;
    for (const QStringList& bad : {QStringList{}, {"frobnicate"}, {"export-csv", "--all"}, {"export-csv", "--out", "x"},
                                   {"list", "--all", "--samples", "1"}, {"import-generic"}, {"list", "--bogus"},
                                   {"import-generic", "a", "b"}, {"export-generic", "--samples", "x", "--out", "f"}})
        EXPECT_FALSE(cli::parseCommandLine(bad).options) << bad.join(' ').toStdString();
    const auto list = cli::parseCommandLine({"list", "--db", "f.mdb"});
    ASSERT_TRUE(list.options);
    EXPECT_TRUE(list.options->all);
}

TEST_F(CliTest, ListExportsAndExitStatuses)
{
    const Outcome list = cli({"list", "--db", path});
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    const QStringList lines = list.out.split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith("SampleID\tSample #\tDate\tEquip. ID\tWear\tContam\tChem\tDielectric Change\t"));
    EXPECT_EQ(lines[1], "3\t3\t2004-03-07 10:00:00\tC, D\t0\t0\t0" + QString(9, '\t'));
    EXPECT_EQ(lines[3], "1\t1\t2004-03-05 10:00:00\tA\t1\t2\t3\t\t\t1,234.5" + QString(6, '\t'));

    const Outcome csv = cli({"export-csv", "--db", path, "--samples", "1-2,7", "--out", home.file("out.csv")});
    EXPECT_EQ(csv.status, 0) << csv.err.toStdString();
    EXPECT_TRUE(csv.err.contains("no sample with SampleID 7")) << csv.err.toStdString();
    EXPECT_TRUE(csv.err.contains("no equipment ID in sample(s) 2")) << csv.err.toStdString();
    EXPECT_TRUE(read("out.csv").contains("\r\n2,2,3/6/2004 10:00,,"));

    EXPECT_EQ(cli({"export-generic", "--db", path, "--samples", "8", "--out", home.file("none.dat")}).status, 1);
    EXPECT_FALSE(QFile::exists(home.file("none.dat")));
    EXPECT_EQ(cli({"export-generic", "--db", home.file("missing.mdb"), "--all", "--out", home.file("none.dat")}).status, 1);
    EXPECT_EQ(cli({"list", "--samples", "2-1"}).status, 2);
    EXPECT_EQ(cli({"--help"}).status, 0);

    // The monitor's --list-samples fails on a file it cannot read.
    home.write("quorvelqc.ini", "[Database]\nFile=" + home.file("garbage.mdb").toUtf8() + "\n");
    home.write("garbage.mdb", "not a database");
    EXPECT_EQ(cli({"--list-samples", "--home", home.path()}, "quorvelqc").status, 1);
}

TEST_F(CliTest, ExportsReadAWriteProtectedFileAndEqualTheWindowsExport)
{
    QFile::setPermissions(path, QFile::ReadOwner);
    QFile original(path);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    const Outcome run = cli({"export-generic", "--db", path, "--all", "--out", home.file("cli.dat"), "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QFile again(path);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), bytes) << "a read-only run never changes the file";

    // The window: every sample highlighted, answered OK at the missing ID.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    test::ScriptedPrompter prompter;
    auto store = openStore();
    frmData form;
    form.SetDB(&store->database());
    form.UpdateForm();
    form.show();
    form.vsFlexData_MouseDown(Qt::LeftButton, 1);
    form.vsFlexData_MouseMove(3, true);
    form.vsFlexData_MouseUp(3);
    prompter.fileNames = {home.file("window.dat")};
    prompter.answers = {Answer::Ok};
    form.ExportVQM();
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(read("cli.dat"), read("window.dat"));
    EXPECT_FALSE(read("cli.dat").isEmpty());
}

TEST_F(CliTest, ImportReportsOnStdoutAndABadFileStoresNothing)
{
    home.write("in.dat", "UNITID#   :NEW\r\nTAKEDATE  :01/02/2004\r\nOVFERR    :7.5       ,0\r\n");
    const Outcome first = cli({"import-generic", home.file("in.dat"), "--db", path});
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, "Adding: NEW, 01/02/2004\n");
    home.write("bad.dat", "UNITID#   :X\r\nTAKEDATE  :01/03/2004\r\nOVFERR    :abc       ,0\r\n");
    const Outcome bad = cli({"import-generic", home.file("bad.dat"), "--db", path});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.contains("Line 3, not a number")) << bad.err.toStdString();
    const Outcome list = cli({"list", "--db", path, "--samples", "4-5"});
    EXPECT_EQ(list.out.count('\n'), 2) << "header and the one imported sample";
}

} // namespace
