#include "app/monitor.h"
#include "app/prompters.h"
#include "config/settings.h"
#include "link/capturing_port.h"
#include "util/program_folder.h"

#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QDialog>
#include <QDir>
#include <gtest/gtest.h>

namespace qqc {
namespace {

TEST(Settings, LabelsPathsAndPortFromTheFile)
{
    test::TempHome home;
    const QString logo = "/srv/lab/shared/pictures/" + QString(50, 'l') + "/logo.bmp";  // > 63 characters
    const QString db = "/srv/lab/databases/" + QString(60, 'd') + "/oil.mdb";
    home.write("quorvelqc.ini", ("[OVLABELS]\nREPORT0= Acme Lab \nREPORT5=" + logo + "\nREPORT6=" + QString(70, 'h')
                                 + "\nREPORT7=ignored\nCOLORREDUCTION=95\nDOWNLOADCAL=1\n[COMM]\nPORT=3\n"
                                   "DEVICE= /dev/ttyUSB0 \n[Database]\nFile="
                                 + db + "\n[MISC]\nCHART=1\nIMG= 1 \nDEBUG=01\nTOTALTESTTIME=100\n")
                                    .toUtf8());
    IniFile ini(home.file("quorvelqc.ini"));
    Settings s;
    s.misc.readStartup(ini);
    s.labels.read(ini);
    s.comm.read(ini);
    s.misc.readImageFlag(ini);
    s.misc.readDebugFlag(ini);
    EXPECT_EQ(s.labels.labels[0], "Acme Lab");
    EXPECT_EQ(s.labels.labels[5], logo);                // a path is read whole
    EXPECT_EQ(s.labels.labels[6], QString(63, 'h'));    // text is cut at 63
    EXPECT_EQ(s.labels.labels[7], "Trend Report");      // never read from the file
    EXPECT_EQ(s.labels.colorReduction, 95);
    EXPECT_EQ(s.labels.downloadCal, 1);
    EXPECT_EQ(s.comm.port, 3);
    EXPECT_EQ(s.comm.device, "/dev/ttyUSB0");
    EXPECT_EQ(s.comm.serialDevice(), "/dev/ttyUSB0");
    EXPECT_TRUE(s.misc.chart);
    EXPECT_TRUE(s.misc.img);
    EXPECT_FALSE(s.misc.debug);
    EXPECT_EQ(s.misc.totalTestTime, 100);
    EXPECT_EQ(DatabaseSettings::readFile(ini), db);

    // Without a named device the port number maps to the platform's port.
    CommSettings c;
    EXPECT_FALSE(c.portIsSet());
    c.port = 2;
#ifdef Q_OS_WIN
    EXPECT_EQ(c.serialDevice(), "COM2");
#else
    EXPECT_EQ(c.serialDevice(), "/dev/ttyS1");
#endif
    c = {0, "COM7"};
    EXPECT_TRUE(c.portIsSet());
}

// What a group writes, the same group reads back (one spelling per key).
TEST(Settings, WhatIsWrittenReadsBack)
{
    test::TempHome home;
    IniFile ini(home.file("quorvelqc.ini"));
    Settings out;
    out.misc.totalTestTime = 700;
    out.misc.testTimeIncrement = 40;
    out.misc.downloadTestTime = 1;
    out.labels.labels[3] = "555-0100";
    out.labels.labels[7] = "Footer";
    out.labels.colorReduction = 40;
    out.labels.downloadCal = 1;
    out.comm = {4, "/dev/ttyUSB1"};
    ASSERT_TRUE(out.misc.writeTestTime(ini) && out.labels.write(ini) && out.comm.write(ini));
    ASSERT_TRUE(WindowSettings::writeLayout(ini, 1, "1E-01|0|5E-01|5E-01"));
    ASSERT_TRUE(DatabaseSettings::writeFile(ini, "/srv/lab/oil.mdb"));

    Settings in;
    in.misc.readStartup(ini);
    in.labels.read(ini);
    in.comm.read(ini);
    EXPECT_EQ(in.misc.totalTestTime, 700);
    EXPECT_EQ(in.misc.testTimeIncrement, 40);
    EXPECT_EQ(in.misc.downloadTestTime, 1);
    EXPECT_EQ(in.labels.labels[3], "555-0100");
    EXPECT_EQ(in.labels.labels[7], "Trend Report");  // written, never read
    EXPECT_EQ(in.labels.colorReduction, 40);
    EXPECT_EQ(in.labels.downloadCal, 1);
    EXPECT_EQ(in.comm.port, 4);
    EXPECT_EQ(in.comm.device, "/dev/ttyUSB1");
    EXPECT_EQ(WindowSettings::readLayout(ini, 1), "1E-01|0|5E-01|5E-01");
    EXPECT_EQ(WindowSettings::readLayout(ini, 0), WindowSettings::kLayouts[0].fileDefault);
    EXPECT_EQ(DatabaseSettings::readFile(ini), "/srv/lab/oil.mdb");
}

TEST(ProgramFolder, OptionThenEnvironmentThenWritableProgramFolderThenUserFolder)
{
    test::TempHome exe;
    EXPECT_EQ(ChooseProgramFolder("/opt/a", "/opt/b", exe.path(), "/home/u/.local"), "/opt/a");
    EXPECT_EQ(ChooseProgramFolder("", "/opt/b", exe.path(), "/home/u/.local"), "/opt/b");
    EXPECT_EQ(ChooseProgramFolder("", "", exe.path(), "/home/u/.local"), QDir(exe.path()).absolutePath());
    EXPECT_EQ(ChooseProgramFolder("", "", "/no/such/folder", "/home/u/.local"), "/home/u/.local");
}

TEST(UnattendedPrompter, LogsAndAnswersWithTheLeastChangingButton)
{
    test::TempHome home;
    UnattendedPrompter p(home.file("quorvelqc.log"));
    EXPECT_EQ(p.message("Retry?", MsgStyle::AbortRetryIgnore | MsgStyle::Critical, ""), Answer::Ignore);
    EXPECT_EQ(p.message("Delete?", MsgStyle::YesNo, "Deleting"), Answer::No);
    EXPECT_EQ(p.message("Go on?", MsgStyle::OkCancel, ""), Answer::Cancel);
    EXPECT_EQ(leastChangingAnswer(MsgStyle::YesNoCancel), Answer::Cancel);
    EXPECT_EQ(leastChangingAnswer(MsgStyle::RetryCancel), Answer::Cancel);
    EXPECT_EQ(p.message("line one\r\nline two", MsgStyle::Ok, ""), Answer::Ok);
    EXPECT_EQ(p.openFileName({"Open Database", home.path(), "", "*.mdb"}), "");
    QDialog dialog;
    dialog.setWindowTitle("Setup");
    bool rejected = false;
    QObject::connect(&dialog, &QDialog::rejected, [&] { rejected = true; });
    EXPECT_EQ(p.runModal(dialog), int(QDialog::Rejected));
    EXPECT_TRUE(rejected);

    const QStringList lines = QString::fromUtf8(home.read("quorvelqc.log")).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_TRUE(lines[0].endsWith(",Message: Retry? [answered Ignore]")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(",Message \"Deleting\": Delete? [answered No]"));
    EXPECT_TRUE(lines[3].endsWith(",Message: line one / line two [answered OK]"));
    EXPECT_TRUE(lines[4].endsWith(",File dialog \"Open Database\" cancelled"));
    EXPECT_TRUE(lines[5].endsWith(",Dialog \"Setup\" cancelled"));
}

TEST(MonitorShell, UnreadableSettingsFileIsReportedAndDefaultsAreUsed)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    QDir(home.path()).mkdir("quorvelqc.ini");  // cannot be opened as a file
    Monitor m;
    m.readStartupSettings();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.startsWith("The settings file " + home.file("quorvelqc.ini") + " cannot be read"))
        << prompts.messages[0].text.toStdString();
    EXPECT_EQ(m.settings().misc.totalTestTime, 50);
}

} // namespace
} // namespace qqc

namespace qqc {
namespace {

// MISC/CAPTURE names the capture file (a relative name in the program
// folder); --capture wins over it; the unit's port is captured.
TEST(MonitorShell, CaptureFromTheKeyOrTheCommandLine)
{
    test::TempHome home;
    home.write("quorvelqc.ini", "[MISC]\r\nCAPTURE=line.capture\r\nCAPTURESIZE=2\r\n");
    Monitor monitor;
    monitor.readStartupSettings();
    ASSERT_NE(nullptr, monitor.lineCapture());
    EXPECT_EQ(home.file("line.capture"), monitor.lineCapture()->path());
    EXPECT_EQ(2 * 1024 * 1024, monitor.lineCapture()->sizeLimit());
    EXPECT_NE(nullptr, dynamic_cast<CapturingPort*>(&monitor.unitLink().port()));

    monitor.setCaptureFile(home.file("given.capture"));
    monitor.readStartupSettings();
    EXPECT_EQ(home.file("given.capture"), monitor.lineCapture()->path());
}

} // namespace
} // namespace qqc
