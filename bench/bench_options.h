#pragma once
// The command line of a benchmark: "--name value" options from a fixed list,
// and "--help"; the database a benchmark runs on (a file, or a PostgreSQL
// database named by its postgresql:// address), and the processor time a
// run took on this side and on a local server's side.

#include "db/engine.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <unistd.h>

namespace qqc::bench {

struct Option {
    const char* name;  // with its dashes: "--samples"
    QString* value;
};

// Reads the options into their values. Returns -1 to go on, 0 after
// printing the usage for "--help", 2 after printing it to stderr for an
// option not in the list or one without its value.
inline int readOptions(int argc, char** argv, const char* usage, std::initializer_list<Option> options)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--help") {
            std::printf("usage: %s\n", usage);
            return 0;
        }
        const Option* match = nullptr;
        for (const Option& o : options)
            if (arg == o.name)
                match = &o;
        if (!match || i + 1 >= argc) {
            std::fprintf(stderr, "usage: %s\n", usage);
            return 2;
        }
        *match->value = QString::fromLocal8Bit(argv[++i]);
    }
    return -1;
}

// Processor time of this process so far, in seconds: on a machine shared
// with other work a fairer figure than the elapsed time.
inline double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Processor time of the server process that serves `db`, in seconds, when
// the server runs on this machine; -1 for a file or a remote server.
inline double serverCpuSeconds(qqc::db::Database& db)
{
    if (!db.onServer())
        return -1;
    const qint64 pid = db.queryValue(QStringLiteral("SELECT pg_backend_pid()")).toLongLong();
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command name (which may hold spaces): utime and
    // stime are the 12th and 13th.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// " (cpu 1.23 s, server 2.34 s)" for a run that began at the given times.
inline QString cpuFigures(double cpuAtStart, double serverAtStart, qqc::db::Database* db)
{
    QString text = QStringLiteral(" (cpu %1 s").arg(cpuSeconds() - cpuAtStart, 0, 'f', 2);
    if (db && serverAtStart >= 0)
        text += QStringLiteral(", server %1 s").arg(serverCpuSeconds(*db) - serverAtStart, 0, 'f', 2);
    return text + QLatin1Char(')');
}

} // namespace qqc::bench
