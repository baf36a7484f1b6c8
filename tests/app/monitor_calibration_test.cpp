// The Monitor's calibration handlers: a new calibration, the check after each
// test (run on the whole road in test_road_test.cpp), new fluid dielectrics
// and the download.

#include "analysis/calibration.h"
#include "app/frm_setup.h"
#include "app/monitor.h"
#include "db/db_fixture.h"
#include "db/engine.h"
#include "db/sample_database.h"
#include "link/unit_link.h"
#include "sim/pty_unit.h"
#include "support/file_size_limit.h"
#include "support/scripted_prompter.h"
#include "util/ole_date.h"

#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace qqc {
namespace {

const QString kWarning = QStringLiteral(
    "WARNING\r\n\r\n  The same calibration oil may have been used for both tests or the order of their use has been switched");
const QString kFailed = QStringLiteral("Write to QuorvelQC failed.  Check power, cables, etc.");

// A copy of the built template waits at `path`; the Monitor opens it only
// where a test needs a database.
struct MonitorCalibration : test::TemplateCopy {
    test::ScriptedPrompter prompter;
    Monitor monitor;

    // The log's lines without the time each trace line ends with.
    QStringList logLines() const
    {
        QStringList lines = QString::fromUtf8(home.read(QStringLiteral("quorvelqc.log")))
                                .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        for (QString& line : lines) {
            if (const qsizetype comma = line.lastIndexOf(QStringLiteral(", ")); comma >= 0)
                line.truncate(comma);
        }
        return lines;
    }
    QByteArray calFile() const { return home.read(QString::fromLatin1(kCalFileName)); }

    static QByteArray calFrame(int f220, int f300, int d220, int d300, int b9 = 0, int b10 = 0)
    {
        QByteArray f("C");
        for (int b : {f220 >> 8, f220, f300 >> 8, f300, d220 >> 8, d220, d300 >> 8, d300, b9, b10})
            f.append(char(b & 0xFF));
        return f;
    }
};

TEST_F(MonitorCalibration, NewCalibrationIsLoggedStoredInFileAndDatabaseAndWarnsUnder300CountsApart)
{
    ASSERT_EQ(monitor.OpenSampleDatabase(path), 0);
    QSignalSpy history(&monitor, &Monitor::calHistoryRequested);
    const double before = ToOleDate(QDateTime::currentDateTime());
    monitor.ProcessNewCalibration(calFrame(5000, 4700, 220, 300, 3, 9));

    EXPECT_TRUE(prompter.messages.empty());  // 300 apart: no warning
    EXPECT_EQ(logLines(), QStringList{QStringLiteral("NewCal,5000,4700,220,300,3,9")});
    const QByteArray bytes = calFile();
    ASSERT_EQ(bytes.size(), kCalRecordSize);
    const CalRecord rec = CalRecord::fromBytes(bytes);
    EXPECT_EQ(rec.valid, 1);
    EXPECT_EQ(rec.set(), (CalibrationSet{5000, 4700, 220, 300}));
    EXPECT_GE(rec.CalDate, before - 1e-6);
    EXPECT_LE(rec.CalDate, ToOleDate(QDateTime::currentDateTime()) + 1e-6);
    EXPECT_EQ(monitor.calRecord(), rec);
    EXPECT_EQ(history.count(), 1);

    auto rs = monitor.sampleDatabase()->database().openTable(QStringLiteral("CalData"));
    ASSERT_EQ(rs->recordCount(), 1);
    for (const auto& [field, value] :
         {std::pair{"Freq220", 5000}, {"Freq300", 4700}, {"Diel220", 220}, {"Diel300", 300}})
        EXPECT_EQ(rs->value(QString::fromLatin1(field)).toInt(), value) << field;
    EXPECT_LE(qAbs(rs->value(QStringLiteral("CalDate")).toDateTime().secsTo(QDateTime::currentDateTime())), 60);

    // 299 apart: the warning, and the calibration is stored all the same.
    monitor.ProcessNewCalibration(calFrame(5000, 4701, 220, 300));
    ASSERT_EQ(prompter.texts(), QStringList{kWarning});
    EXPECT_EQ(logLines().mid(1), (QStringList{QStringLiteral("NewCal,5000,4701,220,300,0,0"),
                                              QStringLiteral("Invalid calibration, Freq220 5000 Freq300 4701")}));
    EXPECT_EQ(CalRecord::fromBytes(calFile()).Freq300, 4701);
}

TEST_F(MonitorCalibration, WordThatDoesNotFitSixteenBitsOrAShortFrameChangesNothing)
{
    const CalRecord old{1, 45000.0, 5000, 4000, 220, 300};
    ASSERT_TRUE(WriteCalFile(monitor.calDefPath(), old));
    QSignalSpy history(&monitor, &Monitor::calHistoryRequested);
    const std::pair<QByteArray, QString> rejected[] = {
        {calFrame(0x9000, 4000, 220, 300), QStringLiteral("NewCal rejected: Freq220 36864")},
        {QByteArray("C\x13\x88\x0F"), QStringLiteral("NewCal rejected: 3 payload bytes")}};
    for (const auto& [frame, reason] : rejected) {
        monitor.ProcessNewCalibration(frame);
        EXPECT_EQ(calFile(), old.toBytes());
        EXPECT_EQ(monitor.calRecord(), CalRecord{});
        ASSERT_EQ(logLines().size(), 1);
        EXPECT_TRUE(logLines()[0].startsWith(reason)) << logLines()[0].toStdString();
        QFile::remove(home.file(QStringLiteral("quorvelqc.log")));
    }
    EXPECT_EQ(history.count(), 0);
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(MonitorCalibration, AllZeroTestCalibrationShowsTheProblemThenTheWarning)
{
    TestRecord test;
    test.CalData = {0, 0, 0, 0};
    monitor.CheckTestCalibration(test);
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].text,
              QStringLiteral("A problem has been detected with the calibration data.\r\nPlease recalibrate and email "
                             "your database, quorvelqc.log, and quorqccal.def to ")
                  + monitor.supportEmail());
    EXPECT_EQ(prompter.messages[1].text, kWarning);
    EXPECT_EQ(logLines(), QStringList{QStringLiteral("Invalid calibration, Freq220 0 Freq300 0")});
}

// The download over a pseudo-terminal to a unit that answers as the real
// one: "R" (82), the answer 92, then the four words high byte first.
struct CalibrationDownload : MonitorCalibration {
    sim::PtyUnit unit;

    void SetUp() override
    {
        MonitorCalibration::SetUp();
        ASSERT_TRUE(unit.ok());
        monitor.setLinkPort(nullptr);
        ASSERT_TRUE(monitor.unitLink().open(unit.device())) << monitor.unitLink().errorString().toStdString();
    }
};

TEST_F(CalibrationDownload, WithoutAWholeFileNothingIsSentOtherwiseRThenFourWordsHighByteFirst)
{
    EXPECT_FALSE(monitor.DownloadCalibration());
    EXPECT_TRUE(prompter.messages.empty());
    home.write(QString::fromLatin1(kCalFileName), QByteArray(7, '\1'));
    EXPECT_FALSE(monitor.DownloadCalibration());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("7 bytes instead of 18")));
    EXPECT_EQ(calFile(), QByteArray(7, '\1'));

    prompter.messages.clear();
    ASSERT_TRUE(WriteCalFile(monitor.calDefPath(), CalRecord{1, 45000.0, 5000, 4000, 220, 300}));
    EXPECT_TRUE(monitor.DownloadCalibration());
    ASSERT_TRUE(unit.waitForReceived(9, 3000));
    EXPECT_EQ(unit.received().toHex(' '), QByteArray("52 13 88 0f a0 00 dc 01 2c"));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(logLines().mid(1), QStringList{QStringLiteral("Download,5000,4000,220,300")});  // after the short file's
}

// Without a calibration, or with a fluid text that is not a number, the file
// stays and nothing is sent.
TEST_F(CalibrationDownload, NewDielectricsReachTheUnit)
{
    monitor.fSetupFrm_NewDielectric(QStringLiteral("2.20"), QStringLiteral("3.00"));
    EXPECT_FALSE(QFile::exists(monitor.calDefPath()));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.startsWith(QStringLiteral("No calibration has been received")));

    prompter.messages.clear();
    ASSERT_TRUE(WriteCalFile(monitor.calDefPath(), CalRecord{1, 45000.0, 5000, 4000, 210, 290}));
    const QByteArray before = calFile();
    monitor.fSetupFrm_NewDielectric(QStringLiteral("x"), QStringLiteral("3.00"));
    EXPECT_EQ(calFile(), before);
    EXPECT_EQ(prompter.texts(), QStringList{QStringLiteral("Error 13(Type mismatch) in routine: fSetupFrm_NewDielectric ")});

    monitor.fSetupFrm_NewDielectric(QStringLiteral("2.21"), QStringLiteral("3.02"));
    ASSERT_TRUE(unit.waitForReceived(9, 3000));
    EXPECT_EQ(unit.received().toHex(' '), QByteArray("52 13 88 0f a0 00 dd 01 2e"));
    EXPECT_EQ(logLines().mid(1), (QStringList{QStringLiteral("Setup5000,4000,221,302"),
                                            QStringLiteral("Download,5000,4000,221,302")}));
    // The counts stay, the fluid values and the date change.
    const CalRecord rec = CalRecord::fromBytes(calFile());
    EXPECT_EQ(rec.set(), (CalibrationSet{5000, 4000, 221, 302}));
    EXPECT_GT(rec.CalDate, 45000.0);
}

// A calibration the file could not take (a real full disk) is the one the
// Monitor holds: a reset's download, the setup dialog and new fluid values
// start from it, never from the stale file.
TEST_F(CalibrationDownload, AfterAFailedFileWriteTheCalibrationHeldInMemoryIsSent)
{
    const CalRecord stale{1, 45000.0, 5000, 4000, 220, 300};
    ASSERT_TRUE(WriteCalFile(monitor.calDefPath(), stale));
    {
        test::FileSizeLimit fullDisk(8);
        monitor.ProcessNewCalibration(calFrame(5200, 4700, 221, 301));
    }
    EXPECT_EQ(calFile(), stale.toBytes());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("ProcessNewCalibration")));

    EXPECT_TRUE(monitor.DownloadCalibration());
    ASSERT_TRUE(unit.waitForReceived(9, 3000));
    EXPECT_EQ(unit.received().toHex(' '), QByteArray("52 14 50 12 5c 00 dd 01 2d"));
    EXPECT_EQ(monitor.calRecord().set(), (CalibrationSet{5200, 4700, 221, 301}));

    // The setup dialog shows the held fluid values; a new one keeps the held
    // counts, and once it is written the file is the source again.
    unit.clearReceived();
    prompter.onModal = [](QDialog& dialog) {
        auto* setup = qobject_cast<frmSetup*>(&dialog);
        EXPECT_NE(setup, nullptr);
        if (setup) {
            setup->show();
            EXPECT_EQ(setup->Dlec(0), QStringLiteral("2.21"));
            EXPECT_EQ(setup->Dlec(1), QStringLiteral("3.01"));
            setup->f_dlec(0)->setText(QStringLiteral("2.25"));
            QTest::mouseClick(setup->cmdDownloadCal(), Qt::LeftButton);
            QTest::mouseClick(setup->cmdOkCancel(1), Qt::LeftButton);
        }
        return dialog.result();
    };
    monitor.runSetupCommand();
    ASSERT_TRUE(unit.waitForReceived(9, 3000));
    EXPECT_EQ(unit.received().toHex(' '), QByteArray("52 14 50 12 5c 00 e1 01 2d"));
    EXPECT_EQ(CalRecord::fromBytes(calFile()).set(), (CalibrationSet{5200, 4700, 225, 301}));
    EXPECT_EQ(prompter.messages.size(), 1u);
}

TEST_F(CalibrationDownload, SilentUnitGivesTheFailureMessageAndSendsNoWords)
{
    unit.configure([](sim::CommandResponder& r) { r.setSilent(true); });
    const CalRecord rec{1, 45000.0, 5000, 4000, 220, 300};
    ASSERT_TRUE(WriteCalFile(monitor.calDefPath(), rec));
    EXPECT_FALSE(monitor.DownloadCalibration());
    EXPECT_EQ(prompter.texts(), QStringList{kFailed});
    ASSERT_TRUE(unit.waitForReceived(1, 1000));
    EXPECT_EQ(unit.received(), QByteArray("R"));
    EXPECT_EQ(calFile(), rec.toBytes());
    EXPECT_TRUE(logLines().isEmpty());
}

} // namespace
} // namespace qqc
