// A "D" frame the unit sends over a pty while the sample window imports a
// generic file, its transaction open and its progress window running the
// event loop: the test becomes a sample after the imported ones, once, and
// nothing of the file is lost (stored inside the import, it took the
// SampleID the import wrote next, so both failed and were rolled back).
#include "app/monitor.h"
#include "core/record.h"
#include "db/db_fixture.h"
#include "db/sample_database.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "app/station.h"
#include "sim/unit_model.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "views/ui/frm_data.h"
#include "views/ui/frm_list.h"

#include <QProgressBar>
#include <QProgressDialog>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

using namespace qqc;

TEST(ImportLink, ATestSentDuringAnImportIsStoredOnceAfterTheImportedSamples)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    sim::PtyUnit unit;
    ASSERT_TRUE(unit.ok());
    const QString dbPath = test::copyTemplate(home, "lab.mdb");
    home.write("quorvelqc.ini", test::stationSettings(unit.device(), dbPath));
    Monitor monitor;
    monitor.readStartupSettings();
    ASSERT_TRUE(monitor.ReadSettings());
    ASSERT_TRUE(monitor.openSerialLink()) << prompts.texts().join("\n").toStdString();
    monitor.openDatabaseAtStartup();
    ASSERT_NE(nullptr, monitor.sampleDatabase()) << prompts.texts().join("\n").toStdString();
    db::Database& database = monitor.sampleDatabase()->database();

    constexpr int kBlocks = 1500;
    QByteArray file = "FILEREV   :1.04\r\n";
    for (int i = 0; i < kBlocks; ++i)
        file += "UNITID#   :PUMP-" + QByteArray::number(i) + "\r\nTAKEDATE  :03/05/2004\r\nOVFERR    :"
                + QByteArray::number(i) + "         ,0\r\n";
    home.write("in.dat", file);

    // The frame goes out when the progress window shows (the file is being
    // checked); once the import writes, the run waits until the frame's bytes
    // have surely arrived, and lets its progress steps run on.
    const TestRecord sent = sim::simulateTest({.dielectric = 262, .ferrous = 55, .water = 20}, {}, 7);
    bool frameSent = false;
    bool waitedInsideTheTransaction = false;
    frmData form;
    form.SetDB(&database);
    form.UpdateForm();
    form.show();
    form.setProgressDelay(0);
    form.setProgressShownHook([&](QProgressDialog& dialog) {
        auto* bar = dialog.findChild<QProgressBar*>();
        QObject::connect(bar, &QProgressBar::valueChanged, bar, [&](int value) {
            if (value >= 500 && !waitedInsideTheTransaction && database.transactionDepth() > 0) {
                frameSent = unit.send(sim::testFrame(sent));
                QThread::msleep(400);
                waitedInsideTheTransaction = true;
            }
        });
    });
    prompts.fileNames = {home.file("in.dat")};
    QString report;
    prompts.onModal = [&](QDialog& dialog) {
        if (auto* list = qobject_cast<frmList*>(&dialog))
            report = list->text();
        return int(QDialog::Accepted);
    };
    form.importVqm();
    ASSERT_TRUE(frameSent);
    ASSERT_TRUE(waitedInsideTheTransaction);
    EXPECT_EQ(report.count("Adding: "), kBlocks) << prompts.texts().join("\n").toStdString();

    // The test waited for the import's commit and was stored after it.
    const auto tests = [&] { return database.queryValue("SELECT COUNT(*) FROM Samples WHERE raw8700 IS NOT NULL").toInt(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return tests() > 0; }, 15000)) << prompts.texts().join("\n").toStdString();
    EXPECT_EQ(database.queryValue("SELECT COUNT(*) FROM Samples").toInt(), kBlocks + 1);
    EXPECT_EQ(tests(), 1);
    EXPECT_EQ(database.queryValue("SELECT raw8700 FROM Samples WHERE SampleID = ?", {kBlocks + 1}).toString(),
              testRecordFieldText(sent, "raw8700"));
    EXPECT_EQ(database.queryValue("SELECT COUNT(*) FROM SampleDetails WHERE ParmID = 59 AND SampleID <= ?", {kBlocks})
                  .toInt(),
              kBlocks);
    EXPECT_EQ(database.queryValue("SELECT EquipmentID FROM Samples WHERE SampleID = ?", {kBlocks}).toString(),
              QStringLiteral("PUMP-%1").arg(kBlocks - 1));
    monitor.closeSerialLink();
}
