// Upgrade benchmark: the store benchmark's database of simulated samples
// rewritten as layout 299 (the version, a column since added dropped, the
// calibration history table gone, CalData texts that change every 500
// samples), then upgraded in place with a backup. Prints the time of each
// phase, the whole run, the peak memory of the process and the latency of
// Cancel in the middle of the copy and of the final compaction.
//
//   bench_upgrade [--samples N] [--keep]
//
// Files are made in a temporary folder (removed unless --keep); the
// measurements run in a second process of this program (--measure PATH), so
// that its peak memory is the upgrade's, not the building's.
#include "sample_db_builder.h"
#include "db/upgrade.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <thread>

using namespace qqc;

namespace {

bool rewriteAsOldLayout(const QString& path)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-old"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        for (const char* sql : {"UPDATE SystemData SET Databaseversion = 299",
                                "UPDATE Samples SET CalData = (3500 - (SampleID / 500) % 7) || ',2900,220,300'",
                                "UPDATE Samples SET CalData = '' WHERE SampleID % 97 = 0",
                                "UPDATE Samples SET CalData = 'x,1,2' WHERE SampleID % 991 = 0",
                                "DROP INDEX SamplesGrid", "ALTER TABLE Samples DROP COLUMN OilAdded",
                                "DROP TABLE CalData", "DROP TABLE Images", "VACUUM"})
            if (ok && !q.exec(QString::fromLatin1(sql))) {
                std::fprintf(stderr, "%s: %s\n", sql, qPrintable(q.lastError().text()));
                ok = false;
            }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-old"));
    return ok;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

const char* stepName(db::UpgradeStep s)
{
    switch (s) {
    case db::UpgradeStep::FreeSpace: return "free space";
    case db::UpgradeStep::Backup: return "backup (compacted copy)";
    case db::UpgradeStep::CopyTemplate: return "template copy";
    case db::UpgradeStep::CopyData: return "tables and history";
    case db::UpgradeStep::Compact: return "compaction";
    case db::UpgradeStep::Replace: return "replace";
    case db::UpgradeStep::Done: return "done";
    }
    return "?";
}

// Cancels once the run reaches `step` (after `delayMs` in it); returns the
// time from the request to upgradeDatabase() returning.
double cancelLatencyMs(const QString& path, db::UpgradeStep step, int delayMs)
{
    std::atomic<bool> cancel{false};
    std::atomic<bool> reached{false};
    db::UpgradeRequest r;
    r.source = r.destination = path;
    r.templatePath = db::templatePath();
    r.backup = false;
    r.progress = [&](const db::UpgradeProgress& p) {
        if (p.step == step)
            reached = true;
    };
    r.cancelRequested = [&] { return cancel.load(); };
    QElapsedTimer sinceCancel;
    db::UpgradeResult result;
    std::thread worker([&] { result = db::upgradeDatabase(r); });
    while (!reached)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    sinceCancel.start();
    cancel = true;
    worker.join();
    const double ms = sinceCancel.nsecsElapsed() / 1e6;
    if (result.outcome != db::UpgradeResult::Cancelled)
        std::printf("  (cancel at %s: the run ended %d first)\n", stepName(step), int(result.outcome));
    return ms;
}

// Runs the upgrade measurements on `path` in this process (started on its
// own, so that the peak memory is the upgrade's alone).
int measure(const QString& path, int samples)
{
    const qint64 bytes = QFileInfo(path).size();
    std::printf("layout-299 database: %d samples, %.1f MB\n", samples, bytes / 1e6);

    // The cancel latencies first, on the untouched old file.
    const double cancelCopy = cancelLatencyMs(path, db::UpgradeStep::CopyData, 1500);
    const double cancelCompact = cancelLatencyMs(path, db::UpgradeStep::Compact, 300);

    std::map<db::UpgradeStep, double> phase;
    QElapsedTimer total, inPhase;
    db::UpgradeStep current = db::UpgradeStep::FreeSpace;
    db::UpgradeRequest r;
    r.source = r.destination = path;
    r.templatePath = db::templatePath();
    r.progress = [&](const db::UpgradeProgress& p) {
        if (p.step == current)
            return;
        phase[current] += inPhase.nsecsElapsed() / 1e9;
        inPhase.start();
        current = p.step;
    };
    total.start();
    inPhase.start();
    const db::UpgradeResult result = db::upgradeDatabase(r);
    const double seconds = total.nsecsElapsed() / 1e9;
    if (result.outcome != db::UpgradeResult::Done) {
        std::fprintf(stderr, "upgrade failed: %s\n", qPrintable(result.error));
        return 1;
    }
    for (const auto& [step, s] : phase)
        std::printf("  %-26s %6.2f s\n", stepName(step), s);
    std::printf("upgrade of %d samples: %.2f s (%.0f samples/s), %.1f MB after\n", samples, seconds, samples / seconds,
                QFileInfo(path).size() / 1e6);
    for (const QString& line : result.summary.lines())
        std::printf("  %s\n", qPrintable(line));
    std::printf("peak memory of the upgrade process: %.0f MB\n", peakMegabytes());
    std::printf("cancel latency: %.0f ms in the copy, %.0f ms in the compaction\n", cancelCopy, cancelCompact);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int samples = 100000;
    bool keep = false;
    QString measureOnly;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--samples") && i + 1 < args.size())
            samples = args[++i].toInt();
        else if (args[i] == QLatin1String("--keep"))
            keep = true;
        else if (args[i] == QLatin1String("--measure") && i + 1 < args.size())
            measureOnly = args[++i];
    }
    if (!measureOnly.isEmpty())
        return measure(measureOnly, samples);
    QTemporaryDir dir;
    dir.setAutoRemove(!keep);
    const QString path = dir.filePath(QStringLiteral("lab.mdb"));
    if (bench::buildDatabase(path, samples) != 0 || !rewriteAsOldLayout(path))
        return 1;
    std::fflush(stdout);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(app.applicationFilePath(), {QStringLiteral("--measure"), path, QStringLiteral("--samples"), QString::number(samples)});
    if (!child.waitForFinished(-1))
        return 1;
    return child.exitCode();
}
