#pragma once
// A PostgreSQL cluster of one test's own (scripts/pg_cluster.sh), for what
// the shared test server must not go through: a restart, a login that needs
// a password. Started in /tmp (the server's own user must reach its socket),
// stopped and removed when the object goes.
#include "support/temp_home.h"

#include <QCoreApplication>
#include <QProcess>
#include <QUrl>

#include <atomic>

namespace qqc::test {

class PgCluster {
public:
    PgCluster()
    {
        static std::atomic<int> counter{0};
        dir_ = QStringLiteral("/tmp/qqc-pg-own-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        QProcess p;
        p.start(script(), {"start", dir_});
        if (p.waitForFinished(120000) && p.exitCode() == 0)
            adminUri_ = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        else
            error_ = QString::fromUtf8(p.readAllStandardError());
    }
    ~PgCluster()
    {
        if (restart_.state() != QProcess::NotRunning)
            restart_.waitForFinished(60000);
        QProcess::execute(script(), {"stop", dir_});
    }
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    bool ok() const { return !adminUri_.isEmpty(); }
    const QString& error() const { return error_; }
    // The "postgres" database, and another database's address on this cluster.
    const QString& adminUri() const { return adminUri_; }
    QString uri(const QString& database, const QString& user = QString()) const
    {
        QUrl url(adminUri_);
        url.setPath("/" + database);
        if (!user.isEmpty())
            url.setUserName(user);
        return url.toString();
    }

    // Stops the server (its sessions are cut), waits `seconds` and starts it
    // again, in the background: the caller's event loop goes on meanwhile.
    void restartInBackground(int seconds) { restart_.start(script(), {"restart", dir_, QString::number(seconds)}); }
    bool restarted(int msecs)
    {
        if (restart_.state() != QProcess::NotRunning)
            restart_.waitForFinished(msecs);
        return restart_.state() == QProcess::NotRunning && restart_.exitStatus() == QProcess::NormalExit
               && restart_.exitCode() == 0;
    }

    // A login `role` that must give `password` (scram-sha-256).
    bool addPasswordLogin(const QString& role, const QString& password)
    {
        QProcess p;
        p.start(script(), {"password", dir_, role});
        p.write(password.toUtf8() + "\n");
        p.closeWriteChannel();
        return p.waitForFinished(30000) && p.exitCode() == 0;
    }

private:
    static QString script() { return sourceDir() + "/scripts/pg_cluster.sh"; }
    QString dir_, adminUri_, error_;
    QProcess restart_;
};

} // namespace qqc::test
