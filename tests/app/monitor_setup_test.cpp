// The Setup, Test Time and Diag commands driven through the Monitor as a user
// would, checked against the settings file and the bytes the unit received.
#include "analysis/calibration.h"
#include "app/frm_setup.h"
#include "app/monitor.h"
#include "link/fake_port.h"
#include "link/ui/frm_diag.h"
#include "link/ui/frm_test_time.h"
#include "link/serial_port.h"
#include "sim/pty_unit.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "util/ini_file.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;

namespace {

QString key(const test::TempHome& home, const char* section, const char* name)
{
    return IniFile(home.file("quorvelqc.ini")).readPath(section, name, "<missing>");
}

// Runs `user` on the dialog of type T when the command shows it; the result
// is whatever the user's last click left.
template <typename T>
void whenShown(test::ScriptedPrompter& prompts, const std::function<void(T&)>& user)
{
    prompts.onModal = [user](QDialog& dialog) {
        auto* typed = qobject_cast<T*>(&dialog);
        EXPECT_NE(typed, nullptr);
        if (typed) {
            typed->show();
            user(*typed);
        }
        return dialog.result();
    };
}

void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

// The user picks entry `port` of the port list in the Setup dialog and clicks Ok.
void choosePort(test::ScriptedPrompter& prompts, int port)
{
    whenShown<frmSetup>(prompts, [port](frmSetup& d) {
        d.cboPort()->setCurrentIndex(port);
        click(d.cmdOkCancel(0));
    });
}

// A Monitor whose main link runs on a pty answered by `unit`, with the
// status window open (the unit's status messages reach the Monitor only then).
struct MonitorOnPty {
    sim::PtyUnit unit;
    Monitor monitor;
    UnitStateModel& status = monitor.statusModel();

    explicit MonitorOnPty(const test::TempHome& home, const QByteArray& extraSettings = {})
    {
        home.write("quorvelqc.ini",
                   "[COMM]\r\nPORT=99\r\nDEVICE=" + unit.device().toUtf8() + "\r\n" + extraSettings);
        monitor.readStartupSettings();
        monitor.ReadSettings();
        monitor.setLinkPort(std::make_unique<QtSerialPort>());
        monitor.setWindowOpen(Monitor::StatusWindow, true);
    }
};

// Every command test runs in a program folder of its own with scripted prompts.
struct CommandTest : ::testing::Test {
    test::TempHome home;
    test::ScriptedPrompter prompts;
};
using SetupCommand = CommandTest;
using TestTimeCommand = CommandTest;
using UnitReset = CommandTest;
using DiagCommand = CommandTest;

} // namespace

TEST_F(SetupCommand, CopiesTheSettingsInAndWritesWhatOkConfirms)
{
    home.write("quorvelqc.ini", "[COMM]\r\nPORT=3\r\n[OVLABELS]\r\nREPORT0=Acme Oil Lab\r\n"
                                "COLORREDUCTION=100\r\nDOWNLOADCAL=1\r\n");
    Monitor monitor;
    monitor.readStartupSettings();
    ASSERT_TRUE(monitor.ReadSettings());

    whenShown<frmSetup>(prompts, [](frmSetup& d) {
        EXPECT_EQ(d.cboPort()->currentText(), "Comm 3");
        EXPECT_EQ(d.RepLabel(0), "Acme Oil Lab");
        EXPECT_EQ(d.RepLabel(7), "Trend Report");
        EXPECT_EQ(d.ColorSlider()->value(), 100);
        EXPECT_TRUE(d.chkDownloadCal()->isChecked());
        // No calibration definition file: nothing to edit or send.
        EXPECT_FALSE(d.f_dlec(0)->isEnabled());
        EXPECT_FALSE(d.cmdDownloadCal()->isEnabled());

        d.f_Rep(0)->clear();
        QTest::keyClicks(d.f_Rep(0), "Beta Labs");
        d.f_Rep(7)->setText("Monthly Trend");
        d.ColorSlider()->setValue(40);
        d.chkDownloadCal()->setChecked(false);
        click(d.cmdOkCancel(0));
    });
    monitor.runSetupCommand();

    EXPECT_EQ(key(home, "COMM", "PORT"), "3");
    EXPECT_EQ(key(home, "COMM", "DEVICE"), "");
    EXPECT_EQ(key(home, "OVLABELS", "REPORT0"), "Beta Labs");
    EXPECT_EQ(key(home, "OVLABELS", "REPORT7"), "Monthly Trend");
    EXPECT_EQ(key(home, "OVLABELS", "COLORREDUCTION"), "40");
    EXPECT_EQ(key(home, "OVLABELS", "DOWNLOADCAL"), "0");
    EXPECT_EQ(monitor.settings().labels.labels[0], "Beta Labs");
    EXPECT_EQ(monitor.settings().labels.colorReduction, 40);
    EXPECT_EQ(monitor.settings().labels.downloadCal, 0);
    EXPECT_FALSE(monitor.windowOpen(Monitor::SetupWindow));
}

TEST_F(SetupCommand, ReopensTheLineOnlyWhenThePortChanged)
{
    home.write("quorvelqc.ini", "[COMM]\r\nPORT=3\r\n");
    auto fake = std::make_unique<test::FakePort>();
    test::FakePort* line = fake.get();
    line->close();
    Monitor monitor;
    monitor.setLinkPort(std::move(fake));
    monitor.ReadSettings();
    ASSERT_TRUE(monitor.openSerialLink());
    ASSERT_EQ(line->opens, 1);
    EXPECT_EQ(line->deviceName(), test::FakePort::deviceNameForPortNumber(3));

    whenShown<frmSetup>(prompts, [](frmSetup& d) { click(d.cmdOkCancel(0)); });
    monitor.runSetupCommand();
    EXPECT_EQ(line->opens, 1);
    EXPECT_TRUE(line->isOpen());

    choosePort(prompts, 2);
    monitor.runSetupCommand();
    EXPECT_EQ(line->opens, 2);
    EXPECT_TRUE(line->isOpen());
    EXPECT_EQ(line->deviceName(), test::FakePort::deviceNameForPortNumber(2));

    // "None" closes the line and leaves it closed.
    choosePort(prompts, 0);
    monitor.runSetupCommand();
    EXPECT_FALSE(line->isOpen());
    EXPECT_EQ(line->opens, 2);
    EXPECT_TRUE(prompts.messages.empty());

    // A port that will not open says why; the choice is stored all the same.
    line->openSucceeds = false;
    choosePort(prompts, 4);
    monitor.runSetupCommand();
    EXPECT_EQ(prompts.texts(), QStringList{"Error opening comm port: No such device"});
    EXPECT_EQ(key(home, "COMM", "PORT"), "4");
}

TEST_F(SetupCommand, AtStartUpOnlyTakesTheChoiceForTheLinkToOpen)
{
    Monitor monitor;
    whenShown<frmSetup>(prompts, [](frmSetup& d) {
        EXPECT_EQ(d.cboPort()->currentText(), "None");
        d.cboPort()->setCurrentIndex(2);
        click(d.cmdOkCancel(0));
    });
    // No port set: the message, then the Setup command, before the link opens.
    EXPECT_TRUE(monitor.ReadSettings());
    EXPECT_EQ(prompts.texts(), QStringList{"Please specify serial port for Quorvel unit."});
    EXPECT_EQ(monitor.settings().comm.port, 2);
    EXPECT_EQ(monitor.linkPort(), nullptr);
    EXPECT_EQ(key(home, "COMM", "PORT"), "2");
}

TEST_F(SetupCommand, CancelKeepsEverythingAndANumberedPortClearsTheDevice)
{
    const QByteArray ini = "[COMM]\r\nPORT=99\r\nDEVICE=/dev/ttyUSB7\r\n";
    home.write("quorvelqc.ini", ini);
    Monitor monitor;
    monitor.ReadSettings();
    whenShown<frmSetup>(prompts, [](frmSetup& d) {
        EXPECT_EQ(d.cboPort()->currentText(), "/dev/ttyUSB7");
        d.cboPort()->setCurrentIndex(4);
        d.f_Rep(0)->setText("Changed");
        click(d.cmdOkCancel(1));
    });
    monitor.runSetupCommand();
    EXPECT_EQ(home.read("quorvelqc.ini"), ini);
    EXPECT_EQ(monitor.settings().comm.port, 99);
    EXPECT_EQ(monitor.settings().labels.labels[0], "Company");

    choosePort(prompts, 2);
    monitor.runSetupCommand();
    EXPECT_EQ(key(home, "COMM", "PORT"), "2");
    EXPECT_EQ(key(home, "COMM", "DEVICE"), "");
    EXPECT_EQ(monitor.settings().comm.device, "");
}

TEST_F(SetupCommand, FluidDielectricsComeFromTheCalibrationFileAndSaveWritesThem)
{
    home.write("quorvelqc.ini", "[COMM]\r\nPORT=1\r\n");
    CalRecord record;
    record.valid = 1;
    record.Freq220 = 5000;
    record.Freq300 = 4600;
    record.Diel220 = 215;
    record.Diel300 = 305;
    ASSERT_TRUE(WriteCalFile(home.file("QuorQCcal.def"), record));

    Monitor monitor;
    monitor.ReadSettings();
    whenShown<frmSetup>(prompts, [](frmSetup& d) {
        EXPECT_EQ(d.Dlec(0), "2.15");
        EXPECT_EQ(d.Dlec(1), "3.05");
        EXPECT_TRUE(d.cmdDownloadCal()->isEnabled());
        d.f_dlec(0)->setText("2.30");
        click(d.cmdDownloadCal());
        click(d.cmdOkCancel(1));   // saving acted at once; Cancel does not undo it
    });
    monitor.runSetupCommand();

    CalRecord after;
    ASSERT_EQ(ReadCalFile(home.file("QuorQCcal.def"), after).status, CalFileStatus::Ok);
    EXPECT_EQ(after.Diel220, 230);
    EXPECT_EQ(after.Diel300, 305);
    EXPECT_EQ(after.Freq220, 5000);
}

TEST_F(TestTimeCommand, OpensOnTheStoredTimeAndOkStoresTheChoice)
{
    home.write("quorvelqc.ini", "[MISC]\r\nTOTALTESTTIME=300\r\nTESTTIMEINCREMENT=17\r\n");
    Monitor monitor;
    monitor.readStartupSettings();
    whenShown<frmTestTime>(prompts, [](frmTestTime& d) {
        EXPECT_TRUE(d.rbTestTime(0)->isChecked());   // no "300 seconds" button
        EXPECT_FALSE(d.chkDownloadTestTime()->isChecked());
        d.rbTestTime(3)->click();
        d.chkDownloadTestTime()->click();
        click(d.cmdOkCancel(0));
    });
    monitor.runTestTimeCommand();
    EXPECT_EQ(key(home, "MISC", "TOTALTESTTIME"), "500");
    EXPECT_EQ(key(home, "MISC", "TESTTIMEINCREMENT"), "28");
    EXPECT_EQ(key(home, "MISC", "DOWNLOADTESTTIME"), "1");
    EXPECT_EQ(monitor.settings().misc.totalTestTime, 500);
    EXPECT_EQ(monitor.settings().misc.testTimeIncrement, 28);

    whenShown<frmTestTime>(prompts, [](frmTestTime& d) {
        EXPECT_TRUE(d.rbTestTime(3)->isChecked());
        EXPECT_TRUE(d.chkDownloadTestTime()->isChecked());
        d.rbTestTime(1)->click();
        click(d.cmdOkCancel(1));
    });
    monitor.runTestTimeCommand();
    EXPECT_EQ(key(home, "MISC", "TOTALTESTTIME"), "500");
}

TEST_F(TestTimeCommand, SaveAndDownloadSendsTheChoiceAndSetsTheCountDown)
{
    MonitorOnPty m(home);
    ASSERT_TRUE(m.monitor.openSerialLink());

    whenShown<frmTestTime>(prompts, [&m, this](frmTestTime& d) {
        d.rbTestTime(2)->click();
        click(d.cmdDownloadCal());
        EXPECT_TRUE(d.isVisible());   // the dialog stays open
        // "J" 0x4A, the setting byte 10, "S" 0x53, each answered (+10).
        EXPECT_EQ(m.unit.received(), QByteArray::fromHex("4a0a53"));
        EXPECT_EQ(m.unit.testTimeSetting(), 10);
        EXPECT_EQ(m.status.totalTestTime(), 200);
        EXPECT_EQ(key(home, "MISC", "TOTALTESTTIME"), "200");
        EXPECT_EQ(key(home, "MISC", "TESTTIMEINCREMENT"), "10");
        m.unit.clearReceived();
        d.rbTestTime(4)->click();
        click(d.cmdOkCancel(0));
    });
    m.monitor.runTestTimeCommand();
    EXPECT_EQ(key(home, "MISC", "TOTALTESTTIME"), "700");
    QTest::qWait(50);   // "Ok" sends nothing
    EXPECT_TRUE(m.unit.received().isEmpty());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(UnitReset, SendsTheTestTimeOnlyWhenItsDownloadIsOn)
{
    MonitorOnPty m(home, "[MISC]\r\nDOWNLOADTESTTIME=0\r\nTESTTIMEINCREMENT=40\r\n");
    ASSERT_TRUE(m.monitor.openSerialLink());
    const QByteArray reset("<S>K\xFE<E>", 8);
    ASSERT_TRUE(m.unit.send(reset));
    QTest::qWait(300);
    EXPECT_TRUE(m.unit.received().isEmpty());

    m.monitor.settings().misc.downloadTestTime = 1;
    ASSERT_TRUE(m.unit.send(reset));
    EXPECT_TRUE(QTest::qWaitFor([&m] { return m.unit.received().size() >= 3; }, 3000));
    EXPECT_EQ(m.unit.received(), QByteArray::fromHex("4a2853"));
}

TEST_F(DiagCommand, TakesTheLineOverAndPollsWithTheMagnetOnlyForFirmware31)
{
    MonitorOnPty m(home);
    m.unit.configure([](sim::CommandResponder& r) {
        r.grid().frequency = 10000;
        r.grid().magnetDrop = {0, 50, 30};
    });
    ASSERT_TRUE(m.monitor.openSerialLink());
    bool openDuring = true;
    prompts.onModal = [&](QDialog& d) {
        openDuring = m.monitor.linkPort() != nullptr;
        EXPECT_TRUE(static_cast<frmDiag&>(d).cbMag()->isHidden());   // firmware before 3.1
        return int(QDialog::Rejected);
    };
    m.monitor.runDiagCommand();
    EXPECT_FALSE(openDuring);
    EXPECT_NE(m.monitor.linkPort(), nullptr);

    m.monitor.setFirmware31(true);
    whenShown<frmDiag>(prompts, [](frmDiag& d) {
        EXPECT_FALSE(d.cbMag()->isHidden());
        d.cbMag()->setChecked(true);
        d.PollScroll()->setValue(0);
        click(d.CmdButton());
        EXPECT_EQ(d.value(DiagPoll::RowFrequency), "10000");
        EXPECT_EQ(d.value(DiagPoll::RowHex), "2710");
        EXPECT_EQ(d.value(DiagPoll::RowFe), "80");
        EXPECT_TRUE(d.port().isOpen());
    });
    m.monitor.runDiagCommand();
    EXPECT_EQ(m.unit.received(), QByteArray::fromHex("4d01444d02444d004444"));
    EXPECT_TRUE(prompts.messages.empty()) << qPrintable(prompts.texts().join("\n"));
}
