// Opening a Jet file in the monitor: start-up with the settings naming it
// asks for the new name, warns about its lock file, converts it in the
// upgrade window (the stand-in reader streaming an old-layout database) and
// opens the grid on the converted file, which becomes the remembered
// database. A refused row-count shortfall keeps everything as it was.
#include "app/frm_upgrade_mdb.h"
#include "app/mdi_form_8700.h"
#include "db/old_layout.h"
#include "support/scripted_prompter.h"
#include "util/ini_file.h"
#include "views/ui/frm_data.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace qqc;

namespace {

class JetWindow : public ::testing::Test {
protected:
    test::TempHome home;
    test::ScriptedPrompter prompts;
    QString source = home.file("source.sqlite");
    QString jet = home.file("lab.mdb");
    QString converted = home.file("lab-converted.mdb");

    void SetUp() override
    {
        test::makeOldLayout(source);
        home.write("lab.mdb", QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(2028, 'J'));
        home.write("quorvelqc.ini", "[Database]\r\nFile=" + jet.toUtf8());
        qputenv("QUORVELQC_JET_READER", (test::binDir() + "/quorvelqc-jet-standin").toUtf8());
        qputenv("QQC_JET_STANDIN_SOURCE", source.toUtf8());
    }
    void TearDown() override
    {
        qunsetenv("QUORVELQC_JET_READER");
        qunsetenv("QQC_JET_STANDIN_SOURCE");
        qunsetenv("QQC_JET_STANDIN_ARGS");
    }
    // Presses "Start Update" in the Jet form of the window and waits.
    void convertInWindow(int& shown)
    {
        prompts.onModal = [&](QDialog& d) {
            auto* form = qobject_cast<frmUpgradeMdb*>(&d);
            if (!form)
                return int(QDialog::Rejected);
            ++shown;
            EXPECT_EQ(jet, form->tbDBName[0]->text());
            EXPECT_EQ(converted, form->tbDBName[1]->text());
            form->show();
            form->cmdUpgrade->click();
            EXPECT_TRUE(QTest::qWaitFor([&] { return !form->running(); }, 30000));
            return form->result();
        };
    }
};

} // namespace

TEST_F(JetWindow, StartUpConvertsBesideTheJetFileAndOpensTheGridOnTheNewDatabase)
{
    home.write("lab.ldb", "station 2");
    const QByteArray before = home.read("lab.mdb");
    prompts.fileNames = {converted};
    prompts.answers = {Answer::Ok, Answer::Yes};   // the serial port notice, the lock file
    int shown = 0;
    convertInWindow(shown);
    MDIForm8700 frame;
    frame.startUp();
    EXPECT_EQ(1, shown) << prompts.texts().join(" / ").toStdString();
    ASSERT_EQ(1u, prompts.fileRequests.size());
    EXPECT_EQ("lab-converted.mdb", prompts.fileRequests[0].fileName);
    EXPECT_TRUE(prompts.texts().join(" / ").contains("is open on another station")) << prompts.texts().join(" / ").toStdString();
    ASSERT_NE(nullptr, frame.monitor().sampleDatabase());
    EXPECT_EQ(converted, frame.monitor().databasePath());
    EXPECT_EQ(converted, IniFile(home.file("quorvelqc.ini")).readPath("Database", "File", ""));
    EXPECT_EQ(before, home.read("lab.mdb"));
    auto* grid = qobject_cast<frmData*>(frame.fDataFrm());
    ASSERT_NE(nullptr, grid);
    EXPECT_EQ(6, grid->model().rowCount());
}

TEST_F(JetWindow, ARefusedShortfallLeavesTheJetFileRememberedAndNoNewFile)
{
    qputenv("QQC_JET_STANDIN_ARGS", "--declare Samples=8");
    prompts.fileNames = {converted};
    prompts.answers = {Answer::Ok, Answer::No};   // the serial port notice, "Convert the rows that were read?"
    int shown = 0;
    convertInWindow(shown);
    MDIForm8700 frame;
    frame.startUp();
    EXPECT_EQ(1, shown);
    EXPECT_TRUE(prompts.texts().join(" / ").contains("Samples: 6 rows read, 8 in its table definition"))
        << prompts.texts().join(" / ").toStdString();
    EXPECT_EQ(nullptr, frame.monitor().sampleDatabase());
    EXPECT_EQ(jet, IniFile(home.file("quorvelqc.ini")).readPath("Database", "File", ""));
    EXPECT_EQ((QStringList{"lab.mdb"}), QDir(home.path()).entryList({"lab*"}, QDir::Files | QDir::Hidden));
}
