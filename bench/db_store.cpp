// Sample store benchmark: builds a database of realistic samples through the
// store's own code (the same storeTestResult the monitor runs for each test)
// and prints samples stored per second in one bulk transaction, the latency
// of a live store (one test, one committed transaction with its fsync), the
// same with the spool the monitor keeps every test in until it is committed
// (the entry written and synced, the store, the commit, the entry removed),
// and the database's size.
//
//   bench_db_store [--samples N] [--live M] [--db PATH|URI] [--journal rollback|wal]
//
// The file keeps the rollback journal, as every new database does, unless
// --journal wal asks for the write-ahead log (a station's own file).
//
// The database is left at PATH (default bench_db_store.mdb in the current
// folder; --out is the same option) for other benchmarks, e.g. the sample
// grid's, to reuse. A PostgreSQL address (postgresql://...) names an empty
// server database: the samples are stored in a temporary file as above and
// copied into the server as `quorvelqc-cli copy-db` copies them (the bulk
// load figure), then the live stores run on the server.
#include "bench_options.h"
#include "core/record.h"
#include "db/sample_database.h"
#include "db/server_uri.h"
#include "sample_db_builder.h"
#include "util/spool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace qqc;

namespace {

// A test record with the shape of a real one: three channels of 100
// readings around their base counts, room temperatures, the unit's
// intermediate values and results in their usual ranges.
TestRecord realisticRecord(QRandomGenerator& rng)
{
    TestRecord r;
    const int base[3] = {31000, 18500, 22800};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < TestRecord::ReadingCount; ++i)
            r.raw8700[size_t(c * TestRecord::ReadingCount + i)] = base[c] + rng.bounded(-400, 400) + i * 3;
    for (auto& t : r.Temp)
        t = std::int16_t(rng.bounded(24, 31));
    for (auto& v : r.Calc8700)
        v = rng.bounded(-2000, 30000);
    r.PCCalc = r.Calc8700;
    r.Rslt8700[Rslt::diel] = rng.bounded(205, 265);
    r.Rslt8700[Rslt::iron] = rng.bounded(0, 90);
    r.Rslt8700[Rslt::water] = rng.bounded(0, 350);
    r.Rslt8700[Rslt::lcont] = rng.bounded(0, 20) == 0 ? rng.bounded(1, 8) : 0;
    r.Rslt8700[Rslt::cont10] = r.Rslt8700[Rslt::water] * 10;
    r.PCRslt = r.Rslt8700;
    r.CalData = {3512, 2897, 220, 300};
    return r;
}

struct Figures {
    double median = 0, p95 = 0, max = 0;
};

Figures figuresOf(std::vector<double> ms)
{
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 95 / 100)], ms.back()};
}

// Stores every sample through storeTestResult inside one transaction;
// returns the seconds it took and, in `commitSeconds`, the commit's share.
double storeBulk(db::SampleDatabase& store, const std::vector<TestRecord>& records,
                 const std::vector<QDateTime>& dates, double& commitSeconds)
{
    QElapsedTimer timer;
    timer.start();
    qint64 commitStart = 0;
    {
        db::Transaction t(store.database(), db::Transaction::WholeOrNothing);
        for (size_t i = 0; i < dates.size(); ++i)
            store.storeTestResult(records[i % records.size()], dates[i]);
        commitStart = timer.nsecsElapsed();
        t.commit();
    }
    commitSeconds = double(timer.nsecsElapsed() - commitStart) / 1e9;
    return double(timer.nsecsElapsed()) / 1e9;
}

// A fresh copy of the template at `path`.
bool freshFile(const QString& path)
{
    const QString templ = db::templatePath();
    QFile::remove(path);
    if (!QFile::copy(templ, path)) {
        std::fprintf(stderr, "cannot copy the template %s to %s\n", qPrintable(templ), qPrintable(path));
        return false;
    }
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

std::unique_ptr<db::SampleDatabase> openStore(const QString& where)
{
    auto status = db::SampleDatabase::OpenStatus::Opened;
    return db::SampleDatabase::open(where, status);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString samplesText = QStringLiteral("100000"), liveText = QStringLiteral("200");
    QString out = QStringLiteral("bench_db_store.mdb"), journal = QStringLiteral("rollback");
    if (const int rc = bench::readOptions(
            argc, argv, "bench_db_store [--samples N] [--live M] [--db PATH|URI] [--journal rollback|wal]",
            {{"--samples", &samplesText}, {"--live", &liveText}, {"--db", &out}, {"--out", &out},
             {"--journal", &journal}});
        rc >= 0)
        return rc;
    const int samples = samplesText.toInt();
    const int live = liveText.toInt();
    const bool wal = journal == QLatin1String("wal");
    const bool server = db::isServerUri(out);
    if (!wal && journal != QLatin1String("rollback")) {
        std::fprintf(stderr, "--journal is rollback or wal\n");
        return 2;
    }

    try {
        if (server) {
            auto target = db::Database::open(out);
            if (target->queryValue(QStringLiteral("SELECT COUNT(*) FROM information_schema.tables "
                                                  "WHERE table_schema = current_schema()")).toLongLong() > 0) {
                std::fprintf(stderr, "%s is not empty; the benchmark needs an empty database (createdb NAME)\n",
                             qPrintable(target->path()));
                return 1;
            }
        } else if (!freshFile(out)) {
            return 1;
        }
        if (wal && !server)
            db::Database::setJournal(out, db::JournalMode::Wal);
        QRandomGenerator rng(8700);
        std::vector<TestRecord> records;
        for (int i = 0; i < 64; ++i)
            records.push_back(realisticRecord(rng));

        // Test dates every quarter of an hour, made before the clock starts:
        // stepping a local time asks the time-zone database each time, which
        // is the input's cost, not the store's.
        std::vector<QDateTime> dates;
        dates.reserve(size_t(samples));
        for (QDateTime when(QDate(2020, 1, 1), QTime(8, 0)); int(dates.size()) < samples; when = when.addSecs(900))
            dates.push_back(when);

        // Bulk: every sample through storeTestResult inside one transaction
        // (on a server: into a file, then copied in as copy-db does).
        double commitSeconds = 0;
        double bulkSeconds = 0;
        QTemporaryDir temp;
        const QString bulkFile = server ? temp.filePath(QStringLiteral("bulk.mdb")) : out;
        if (server && !freshFile(bulkFile))
            return 1;
        {
            auto bulk = openStore(bulkFile);
            bulkSeconds = storeBulk(*bulk, records, dates, commitSeconds);
        }
        std::printf("samples stored (bulk, one transaction%s): %d in %.2f s = %.0f samples/s (commit %.2f s)\n",
                    server ? ", into a file" : "", samples, bulkSeconds, samples / bulkSeconds, commitSeconds);
        if (server && bench::copyToServer(bulkFile, out) != 0)
            return 1;

        auto store = openStore(out);
        std::printf("journal mode: %s\n", server ? "server" : qPrintable(store->database().journalMode()));

        // Live: one test, one committed transaction, as the monitor stores it;
        // then the same with the spool around it. Alternated, so both see the
        // same file and disk.
        const QString spoolDir = server ? temp.filePath(QStringLiteral("spool")) : out + QStringLiteral(".spool");
        QDir(spoolDir).removeRecursively();
        Spool spool(spoolDir);
        std::vector<double> ms, spooledMs;
        QElapsedTimer timer;
        const double cpu = bench::cpuSeconds(), serverCpu = bench::serverCpuSeconds(store->database());
        for (int i = 0; i < 2 * live; ++i) {
            const TestRecord& record = records[size_t(i) % records.size()];
            const bool spooled = i % 2 == 1;
            timer.restart();
            SpoolEntry entry{QStringLiteral("D"), out, QDateTime::currentDateTime(), {}, {}, false};
            if (spooled) {
                for (const QString& field : testRecordFieldNames())
                    entry.fields.append({field, testRecordFieldText(record, field)});
                QString error;
                if (!spool.write(entry, &error)) {
                    std::fprintf(stderr, "spool write failed: %s\n", qPrintable(error));
                    return 1;
                }
            }
            {
                db::Transaction t(store->database(), db::Transaction::WholeOrNothing);
                store->storeTestResult(record, entry.arrival);
                t.commit();
            }
            if (spooled && !spool.remove(entry)) {
                std::fprintf(stderr, "spool removal failed\n");
                return 1;
            }
            (spooled ? spooledMs : ms).push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        const QString liveCpu = bench::cpuFigures(cpu, serverCpu, &store->database());
        QDir(spoolDir).removeRecursively();
        const double size = server ? store->database()
                                         .queryValue(QStringLiteral("SELECT pg_database_size(current_database())"))
                                         .toDouble()
                                   : 0.0;
        store.reset();

        if (live > 0) {
            const Figures plain = figuresOf(ms), spooled = figuresOf(spooledMs);
            std::printf("live store + commit (%s), %d tests: median %.2f ms, p95 %.2f ms, max %.2f ms\n",
                        server ? "server" : "fsync", live, plain.median, plain.p95, plain.max);
            std::printf("live store + commit with the spool (entry written, synced, removed), %d tests: "
                        "median %.2f ms, p95 %.2f ms, max %.2f ms\n",
                        live, spooled.median, spooled.p95, spooled.max);
            std::printf("processor time of the %d live stores:%s\n", 2 * live, qPrintable(liveCpu));
        }
        if (server) {
            std::printf("server database: %s, %.1f MB (%.0f bytes per sample)\n", qPrintable(db::displayUri(out)),
                        size / 1048576.0, size / std::max(1, samples + 2 * live));
        } else {
            const double fileSize = double(QFileInfo(out).size());
            std::printf("database file: %s, %.1f MB (%.0f bytes per sample)\n",
                        qPrintable(QFileInfo(out).absoluteFilePath()), fileSize / 1048576.0,
                        fileSize / std::max(1, samples + live));
        }
    } catch (const db::RoutineFailure& f) {
        std::fprintf(stderr, "store failed in %s: %d %s\n", qPrintable(f.routine), f.number, qPrintable(f.description));
        return 1;
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "store failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
