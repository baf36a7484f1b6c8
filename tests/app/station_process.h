#pragma once
// The real program as a station of its own, for the tests that kill it or
// run two at once: its own program folder and simulated unit, and the
// database it stores into (a file or a server address).
#include "app/station.h"
#include "sim/pty_unit.h"
#include "support/temp_home.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <csignal>
#include <memory>

namespace qqc::test {

// One station: the real program in a program folder of its own, reading
// tests from its own simulated unit and storing them in `database`.
class StationProcess {
public:
    explicit StationProcess(const QString& database) : database_(database)
    {
        home_.write("quorvelqc.ini", stationSettings(unit_.device(), database) + "\r\n");
    }
    ~StationProcess() { kill(); }

    sim::PtyUnit& unit() { return unit_; }
    const TempHome& home() const { return home_; }

    // Starts the program and waits until start-up has finished.
    bool start()
    {
        process_ = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.remove("QUORVELQC_HOME");
        process_->setProcessEnvironment(env);
        const QString dir = binDir().isEmpty() ? QCoreApplication::applicationDirPath() : binDir();
        process_->start(dir + "/quorvelqc", {"--home", home_.path(), "--unattended"});
        if (!process_->waitForStarted(10000))
            return false;
        QByteArray errors;
        QElapsedTimer timer;
        timer.start();
        while (!errors.contains("quorvelqc: start-up finished") && timer.elapsed() < 30000
               && process_->state() == QProcess::Running) {
            process_->waitForReadyRead(200);
            errors += process_->readAllStandardError();
        }
        return errors.contains("quorvelqc: start-up finished");
    }
    void kill()
    {
        if (!process_ || process_->state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(process_->processId()), SIGKILL);
        process_->waitForFinished(10000);
    }
    // SIGTERM: the normal shutdown; true when it exited with 0.
    bool stop()
    {
        ::kill(pid_t(process_->processId()), SIGTERM);
        return process_->waitForFinished(20000) && process_->exitStatus() == QProcess::NormalExit
               && process_->exitCode() == 0;
    }

private:
    QString database_;
    TempHome home_;
    sim::PtyUnit unit_;
    std::unique_ptr<QProcess> process_;
};


} // namespace qqc::test
