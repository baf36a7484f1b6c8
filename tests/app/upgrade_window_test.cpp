// The upgrade window on the real path: start-up with the settings naming an
// old-layout file shows it offscreen, "Start Update" upgrades while a test
// from the simulated unit waits in the spool, and the grid opens on the
// upgraded samples with that test stored after them. Cancel leaves the file
// and the remembered database as they were; a lack of disk space ends the
// program with the figures.
#include "app/frm_upgrade_mdb.h"
#include "app/mdi_form_8700.h"
#include "app/spool_support.h"
#include "db/old_layout.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "app/station.h"
#include "sim/unit_model.h"
#include "support/scripted_prompter.h"
#include "util/ini_file.h"
#include "views/ui/frm_data.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace qqc;

namespace {

class UpgradeWindow : public ::testing::Test {
protected:
    test::TempHome home;
    test::ScriptedPrompter prompts;
    QString path = home.file("lab.mdb");
    void SetUp() override { test::makeOldLayout(path); }
};

// Blocks the upgrade's free-space query (on its worker thread) until
// `release` is set, so the test acts while it runs.
auto heldFreeSpace(std::atomic<bool>& release)
{
    return [&release](const QString&) {
        for (int i = 0; i < 400 && !release; ++i)
            QThread::msleep(10);
        return std::optional<qint64>(qint64(1) << 40);
    };
}

} // namespace

TEST_F(UpgradeWindow, StartUpUpgradesWhileATestWaitsInTheSpoolAndOpensTheGridOnTheUpgradedFile)
{
    sim::PtyUnit unit;
    ASSERT_TRUE(unit.ok());
    home.write("quorvelqc.ini", test::stationSettings(unit.device(), path));
    int shown = 0;
    prompts.onModal = [&](QDialog& d) {
        auto* form = qobject_cast<frmUpgradeMdb*>(&d);
        if (!form)
            return int(QDialog::Rejected);
        ++shown;
        EXPECT_EQ("Form1", form->windowTitle());
        EXPECT_EQ(path, form->tbDBName[0]->text());
        EXPECT_EQ(home.file("lab.bak"), form->tbDBName[1]->text());
        EXPECT_EQ("Start Update", form->cmdUpgrade->text());
        std::atomic<bool> release{false};
        form->setFreeSpace(heldFreeSpace(release));
        form->show();
        form->cmdUpgrade->click();
        EXPECT_TRUE(form->running());
        EXPECT_TRUE(unit.send(sim::testFrame(sim::simulateTest({.dielectric = 226, .ferrous = 3, .water = 20}, {}, 1))));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !test::spoolFiles(home).isEmpty(); }, 10000));
        release = true;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form->running(); }, 30000));
        EXPECT_EQ(form->Pbar[1]->maximum(), form->Pbar[1]->value());
        return form->result();
    };
    MDIForm8700 frame;
    frame.startUp();
    EXPECT_EQ(1, shown) << prompts.texts().join(" / ").toStdString();
    ASSERT_NE(nullptr, frame.monitor().sampleDatabase());
    EXPECT_EQ(path, frame.monitor().databasePath());
    EXPECT_EQ(300, db::readLayoutVersion(path));
    // The six copied samples, then the test that arrived meanwhile, numbered
    // after the deleted sample 13.
    const auto samples = test::storedSamples(path);
    ASSERT_EQ(7u, samples.size());
    EXPECT_EQ(14, samples.back().id);
    EXPECT_TRUE(test::spoolFiles(home).isEmpty());
    auto* grid = qobject_cast<frmData*>(frame.fDataFrm());
    ASSERT_NE(nullptr, grid);
    EXPECT_EQ(7, grid->model().rowCount());
}

TEST_F(UpgradeWindow, CancelKeepsTheFileAndTheRememberedDatabaseAndTheNextOpenOffersItAgain)
{
    home.write("quorvelqc.ini", "[Database]\r\nFile=" + path.toUtf8());
    const QByteArray before = home.read("lab.mdb");
    int shown = 0;
    prompts.onModal = [&](QDialog& d) {
        auto* form = qobject_cast<frmUpgradeMdb*>(&d);
        if (!form)
            return int(QDialog::Rejected);
        if (++shown > 1)
            return int(QDialog::Rejected);
        std::atomic<bool> release{false};
        form->setFreeSpace(heldFreeSpace(release));
        form->show();
        form->cmdUpgrade->click();
        form->cmdCancel->click();
        release = true;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 10000));
        EXPECT_FALSE(form->running());
        EXPECT_EQ(db::UpgradeResult::Cancelled, form->upgradeResult().outcome);
        return form->result();
    };
    MDIForm8700 frame;
    QSignalSpy shutdown(&frame.monitor(), &Monitor::shutdownRequested);
    frame.startUp();
    EXPECT_EQ(nullptr, frame.monitor().sampleDatabase());
    EXPECT_EQ(before, home.read("lab.mdb"));
    EXPECT_EQ(QStringList{"lab.mdb"}, QDir(home.path()).entryList({"lab*", "new*", ".lab*"}, QDir::Files | QDir::Hidden));
    EXPECT_EQ(path, IniFile(home.file("quorvelqc.ini")).readPath("Database", "File", ""));
    EXPECT_EQ(0, shutdown.count());
    ASSERT_EQ(1, int(std::count_if(prompts.messages.begin(), prompts.messages.end(),
                                   [](const test::ShownMessage& m) { return m.text.contains("was not upgraded"); })));

    // Offered again; never started this time (as an unattended station answers).
    EXPECT_EQ(1, frame.monitor().OpenSampleDatabase(path));
    EXPECT_EQ(2, shown);
    EXPECT_EQ(before, home.read("lab.mdb"));
}

TEST_F(UpgradeWindow, OneByteTooLittleFreeSpaceShowsTheFiguresAndEndsTheProgram)
{
    const qint64 needed = db::upgradeSpaceNeeded(QFileInfo(path).size(), QFileInfo(test::builtTemplate()).size(), true);
    frmUpgradeMdb form;
    form.setTemplateDB(test::builtTemplate());
    form.setDB(path);
    form.setFreeSpace([&](const QString&) { return std::optional<qint64>(needed - 1); });
    form.cmdUpgrade_Click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.running(); }, 10000));
    EXPECT_TRUE(form.UpgradeError());
    ASSERT_EQ(1u, prompts.messages.size());
    EXPECT_EQ(QString("Insufficient disk space to update database.\r\nRequired Disk space: %1 Kb\r\nFree Disk Space: "
                      "%2 Kb.\r\n\r\nProgram will exit.")
                  .arg(needed / 1024)
                  .arg((needed - 1) / 1024),
              prompts.messages[0].text);
}
