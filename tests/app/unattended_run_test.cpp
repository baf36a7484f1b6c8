// Runs the real program the way a station without anyone at it does:
// quorvelqc --home T --unattended, then SIGTERM.
#include "app/mdi_form_8700.h"

#include "support/temp_home.h"
#include "config/settings.h"
#include "util/ini_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace qqc {
namespace {

// The program under test sits beside the test executable in <build>/bin.
QString programPath()
{
    const QString dir = test::binDir().isEmpty() ? QCoreApplication::applicationDirPath() : test::binDir();
    return QDir(dir).filePath("quorvelqc");
}

class UnattendedRun : public ::testing::Test {
protected:
    test::TempHome home;
    QProcess process;
    QByteArray errors;

    void start(const QStringList& extra = {}, bool unattended = true)
    {
        const QString program = programPath();
        ASSERT_TRUE(QFile::exists(program)) << program.toStdString();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.remove("QUORVELQC_HOME");
        process.setProcessEnvironment(env);
        process.start(program, QStringList{"--home", home.path()} + (unattended ? QStringList{"--unattended"} : QStringList{}) + extra);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    // Reads standard error until `text` shows up or the time runs out.
    bool waitForError(const QByteArray& text, int msecs = 30000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!errors.contains(text) && timer.elapsed() < msecs) {
            process.waitForReadyRead(200);
            errors += process.readAllStandardError();
            if (process.state() == QProcess::NotRunning) {
                errors += process.readAllStandardError();
                break;
            }
        }
        return errors.contains(text);
    }

    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

double fraction(const QString& layout, int index) { return layout.split('|').value(index).toDouble(); }

TEST_F(UnattendedRun, StartsWithoutSettingsAndSavesTheLayoutOnSigtermOrSigint)
{
#ifndef Q_OS_UNIX
    GTEST_SKIP() << "needs SIGTERM and SIGINT";
#else
    start();
    ASSERT_TRUE(waitForError("quorvelqc: start-up finished")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("Please specify serial port for Quorvel unit.")) << errors.toStdString();
    EXPECT_TRUE(home.read("quorvelqc.log").contains("Please specify serial port for Quorvel unit."));

    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);

    // Shutdown ran: the windows, opened at the file defaults, are saved there
    // (within a pixel of rounding; every layout is checked in the frame's tests).
    const QString saved = IniFile(home.file("quorvelqc.ini")).readText("WINDOWS", "WIN_2", "");
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(fraction(saved, i), fraction(WindowSettings::kLayouts[1].fileDefault, i), 0.01)
            << saved.toStdString();

    // SIGINT shuts down the same way, with a named device instead of a port.
    errors.clear();
    home.write("quorvelqc.ini", "[COMM]\r\nDEVICE=/dev/null-no-such-port\r\n[WINDOWS]\r\nWIN_2=0.1,0.1,0.5,0.3\r\n");
    start();
    ASSERT_TRUE(waitForError("quorvelqc: start-up finished")) << errors.toStdString();
    // A named device counts as a chosen port: no port prompt.
    EXPECT_FALSE(errors.contains("Please specify serial port")) << errors.toStdString();
    // A device that is not there is named with the system's reason.
    EXPECT_TRUE(errors.contains("Error opening comm port: ")) << errors.toStdString();
    EXPECT_FALSE(errors.contains("Error opening comm port: No error")) << errors.toStdString();
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray ini = home.read("quorvelqc.ini");
    EXPECT_TRUE(ini.startsWith("[COMM]\r\nDEVICE=/dev/null-no-such-port\r\n[WINDOWS]\r\nWIN_2=")) << ini.toStdString();
    IniFile file(home.file("quorvelqc.ini"));
    const QString win2 = file.readText("WINDOWS", "WIN_2", "");
    EXPECT_NEAR(fraction(win2, 0), 0.1, 0.01) << win2.toStdString();
    EXPECT_NEAR(fraction(win2, 3), 0.3, 0.01) << win2.toStdString();
#endif
}

// With the widget prompter (a person's station), the start-up box "Error
// opening comm port" waits for a click; SIGTERM answers it and exits at once,
// and windows that start-up never placed are not saved over the layout.
TEST_F(UnattendedRun, SigtermWithTheStartUpBoxOpenExitsAndKeepsTheLayout)
{
#ifndef Q_OS_UNIX
    GTEST_SKIP() << "needs SIGTERM";
#else
    const QByteArray ini = "[COMM]\r\nDEVICE=/dev/null-no-such-port\r\n[WINDOWS]\r\nWIN_1=0.3|0.2|0.4|0.4\r\n"
                           "WIN_2=0.1,0.1,0.5,0.3\r\nWIN_6=0.7|0.01|0.29|0.5\r\n";
    home.write("quorvelqc.ini", ini);
    start({}, false);
    // Start-up reaches the box within a moment; the log line below proves
    // the box was open when the signal came.
    QThread::msleep(3000);
    ASSERT_EQ(process.state(), QProcess::Running);
    QElapsedTimer timer;
    timer.start();
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray log = home.read("quorvelqc.log");
    EXPECT_TRUE(log.contains("Message: Error opening comm port: ")) << log.toStdString();
    EXPECT_TRUE(log.contains(" [answered OK]\r\n")) << log.toStdString();
    EXPECT_EQ(home.read("quorvelqc.ini"), ini);
#endif
}

TEST_F(UnattendedRun, VersionAndHelpNeedNoDisplay)
{
    const QString program = programPath();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    p.setProcessEnvironment(env);
    p.start(program, {"--version"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().startsWith("quorvelqc 3.1"));
    p.start(program, {"--help"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray help = p.readAllStandardOutput();
    EXPECT_TRUE(help.contains("--home <DIR>")) << help.toStdString();
    EXPECT_TRUE(help.contains("--unattended"));
}

} // namespace
} // namespace qqc
