#pragma once
// Runs the quorvelqc-sim program for an end-to-end test: starts it on a
// scenario, gives the pty path, and reads its record file.

#include "support/temp_home.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTest>

namespace qqc::test {

class SimProcess {
public:
    explicit SimProcess(QString recordPath) : record_(std::move(recordPath)) {}
    ~SimProcess() { stop(); }

    // Starts the simulator (fast, short count-down) and returns its device
    // path, or an empty string when it did not start.
    QString start(const QStringList& extraArgs)
    {
        // The test programs are built into the same bin folder as the simulator.
        const QString bin = binDir().isEmpty() ? QCoreApplication::applicationDirPath() : binDir();
        proc_.start(bin + "/quorvelqc-sim", QStringList{"--fast", "--tick", "20", "--record", record_} + extraArgs);
        if (!proc_.waitForStarted(5000))
            return QString();
        QElapsedTimer t;
        t.start();
        while (!proc_.canReadLine() && t.elapsed() < 5000)
            proc_.waitForReadyRead(100);
        return QString::fromLocal8Bit(proc_.readLine()).trimmed();
    }

    void stop()
    {
        if (proc_.state() == QProcess::NotRunning)
            return;
        proc_.terminate();
        if (!proc_.waitForFinished(3000))
            proc_.kill();
        proc_.waitForFinished(1000);
    }

    bool finished(int msecs) { return proc_.state() == QProcess::NotRunning || proc_.waitForFinished(msecs); }

    // The record file's lines, without the leading milliseconds.
    QStringList events() const
    {
        QFile f(record_);
        QStringList out;
        for (const QByteArray& line : f.open(QIODevice::ReadOnly) ? f.readAll().split('\n') : QList<QByteArray>())
            if (const int space = line.indexOf(' '); space > 0)
                out << QString::fromUtf8(line.mid(space + 1));
        return out;
    }
    bool hasEvent(const QString& e) const { return events().contains(e); }

private:
    QString record_;
    QProcess proc_;
};

// Runs the event loop until `condition` holds or `msecs` have passed; returns
// whether it holds. (QTRY_* report to QtTest, not to GoogleTest.)
template <typename Condition>
bool waitUntil(Condition condition, int msecs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > msecs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

} // namespace qqc::test
