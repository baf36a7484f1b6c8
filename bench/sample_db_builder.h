#pragma once
// A large sample database for the benchmarks: the template with `count`
// simulated tests stored through the store's own code (storeTestResult, one
// transaction), with equipment, usage and comment fields filled in. Built in
// a child process (buildInChild), so a benchmark's memory figure is its own.
// A server database (an empty one, named by its address) gets the same
// samples built in a file and copied in as `quorvelqc-cli copy-db` does.

#include "bench_options.h"
#include "core/record.h"
#include "db/database_copy.h"
#include "db/sample_database.h"
#include "db/server_uri.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace qqc::bench {

// A fresh copy of the template at `path`, writable by its owner.
inline bool copyTemplate(const QString& path)
{
    const QString tpl = qqc::db::templatePath();
    QFile::remove(path);
    if (!QFile::copy(tpl, path)) {
        std::fprintf(stderr, "cannot copy template %s\n", qPrintable(tpl));
        return false;
    }
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

// Fills the fields of one stored sample a benchmark needs (equipment ID,
// usages, comments, ...), inside the build's transaction: the new SampleID
// and the sample's place in the run (from 0).
using SampleFields = std::function<void(qqc::db::Database&, qint32 sampleId, int index)>;

// Copies the laboratory in the file `from` into the server database `to`
// (made from the template when empty) as copy-db does, and prints the rate.
inline int copyToServer(const QString& from, const QString& to)
{
    try {
        qqc::db::OpenOptions readOnly;
        readOnly.access = qqc::db::OpenOptions::Access::ReadOnly;
        auto source = qqc::db::Database::open(from, readOnly);
        auto target = qqc::db::openCopyTarget(to, qqc::db::templatePath());
        const qint64 samples = source->queryValue(QStringLiteral("SELECT COUNT(*) FROM Samples")).toLongLong();
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuSeconds(), serverCpu = serverCpuSeconds(*target);
        const qint64 rows = qqc::db::copyDataTables(*source, *target);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("copied %lld samples (%lld rows) into the server in %.2f s = %.0f samples/s%s\n",
                    samples, rows, seconds, double(samples) / std::max(0.001, seconds),
                    qPrintable(cpuFigures(cpu, serverCpu, target.get())));
    } catch (const qqc::db::DbError& e) {
        std::fprintf(stderr, "copy into %s failed: %s\n", qPrintable(qqc::db::displayUri(to)), e.what());
        return 1;
    }
    return 0;
}

// Builds `path` from the template with `count` simulated tests. Without
// `fields`, they are spread over `equipments` equipment IDs (PUMP-0, PUMP-1,
// ...) with usages and a comment on every tenth; with it, `fields` fills
// each sample instead. A server address: the database is built in a
// temporary file and copied in.
inline int buildDatabase(const QString& path, int count, int equipments = 250, const SampleFields& fields = {})
{
    if (qqc::db::isServerUri(path)) {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("build.mdb"));
        const int rc = buildDatabase(file, count, equipments, fields);
        return rc != 0 ? rc : copyToServer(file, path);
    }
    if (!copyTemplate(path))
        return 1;
    try {
        auto status = qqc::db::SampleDatabase::OpenStatus::NeedsUpgrade;
        auto store = qqc::db::SampleDatabase::open(path, status);
        if (!store)
            return 1;
        std::mt19937 rng(8700);
        std::uniform_int_distribution<int> diel(215, 330), iron(0, 250), water(0, 400), lcont(0, 40), raw(9000, 60000);
        qqc::TestRecord record;
        QElapsedTimer timer;
        timer.start();
        QDateTime when = QDateTime::currentDateTime().addDays(-count / 20);
        qqc::db::Transaction tx(store->database());
        for (int i = 0; i < count; ++i) {
            for (auto& r : record.raw8700)
                r = raw(rng);
            record.Rslt8700[qqc::Rslt::diel] = diel(rng);
            record.Rslt8700[qqc::Rslt::iron] = iron(rng);
            record.Rslt8700[qqc::Rslt::water] = water(rng);
            const int l = lcont(rng);
            record.Rslt8700[qqc::Rslt::lcont] = l < 8 ? l : 0;
            const qint32 id = store->storeTestResult(record, when);
            if (fields)
                fields(store->database(), id, i);
            when = when.addSecs(20 * 60 + i % 600);
        }
        if (!fields)
            store->database().execute(QStringLiteral(
                "UPDATE Samples SET EquipmentID = 'PUMP-' || (SampleID % ?), UnitUsage = (SampleID * 7) % 5000,"
                " OilUsage = (SampleID * 3) % 800, OilAdded = CASE WHEN SampleID % 9 = 0 THEN 2 ELSE -1 END,"
                " Comments = CASE WHEN SampleID % 10 = 0 THEN 'checked by lab, resample in 250 h' END"),
                {std::max(1, equipments)});
        tx.commit();
        std::printf("built %d samples in %.1f s (%.0f samples/s)\n", count, timer.elapsed() / 1000.0,
                    count / std::max(0.001, timer.elapsed() / 1000.0));
    } catch (const qqc::db::DbError& e) {
        std::fprintf(stderr, "build failed: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Builds the database in a child process; false when that failed.
inline bool buildInChild(int argc, char** argv, const QString& path, int count, int equipments = 250,
                         const SampleFields& fields = {})
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        QCoreApplication core(argc, argv);
        const int rc = buildDatabase(path, count, equipments, fields);
        std::fflush(stdout);
        _exit(rc);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace qqc::bench
