// Sample store benchmark: builds a database of realistic samples through the
// store's own code (the same storeTestResult the monitor runs for each test)
// and prints samples stored per second in one bulk transaction, the latency
// of a live store (one test, one committed transaction with its fsync), the
// same with the spool the monitor keeps every test in until it is committed
// (the entry written and synced, the store, the commit, the entry removed),
// and the file size.
//
//   bench_db_store [--samples N] [--live M] [--out PATH] [--journal rollback|wal]
//
// The file keeps the rollback journal, as every new database does, unless
// --journal wal asks for the write-ahead log (a station's own file).
//
// The database is left at PATH (default bench_db_store.mdb in the current
// folder) for other benchmarks, e.g. the sample grid's, to reuse.
#include "core/record.h"
#include "db/sample_database.h"
#include "util/spool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int samples = 100000;
    int live = 200;
    QString out = QStringLiteral("bench_db_store.mdb");
    bool wal = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); i += 2) {
        const bool hasValue = i + 1 < args.size();
        if (hasValue && args[i] == QLatin1String("--samples")) {
            samples = args[i + 1].toInt();
        } else if (hasValue && args[i] == QLatin1String("--live")) {
            live = args[i + 1].toInt();
        } else if (hasValue && args[i] == QLatin1String("--out")) {
            out = args[i + 1];
        } else if (hasValue && args[i] == QLatin1String("--journal")
                   && (args[i + 1] == QLatin1String("wal") || args[i + 1] == QLatin1String("rollback"))) {
            wal = args[i + 1] == QLatin1String("wal");
        } else {
            std::fprintf(stderr, "usage: bench_db_store [--samples N] [--live M] [--out PATH] [--journal rollback|wal]\n");
            return 2;
        }
    }

    const QString templ = db::templatePath();
    QFile::remove(out);
    if (!QFile::copy(templ, out)) {
        std::fprintf(stderr, "cannot copy the template %s to %s\n", qPrintable(templ), qPrintable(out));
        return 1;
    }
    QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    try {
        if (wal)
            db::Database::setJournal(out, db::JournalMode::Wal);
        auto status = db::SampleDatabase::OpenStatus::Opened;
        auto store = db::SampleDatabase::open(out, status);
        std::printf("journal mode: %s\n", qPrintable(store->database().journalMode()));
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

        // Bulk: every sample through storeTestResult inside one transaction.
        QElapsedTimer timer;
        qint64 commitStart = 0;
        timer.start();
        {
            db::Transaction t(store->database(), db::Transaction::WholeOrNothing);
            for (int i = 0; i < samples; ++i)
                store->storeTestResult(records[size_t(i) % records.size()], dates[size_t(i)]);
            commitStart = timer.nsecsElapsed();
            t.commit();
        }
        const double bulkSeconds = double(timer.nsecsElapsed()) / 1e9;
        const double commitSeconds = bulkSeconds - double(commitStart) / 1e9;

        // Live: one test, one committed transaction, as the monitor stores it;
        // then the same with the spool around it. Alternated, so both see the
        // same file and disk.
        const QString spoolDir = out + QStringLiteral(".spool");
        QDir(spoolDir).removeRecursively();
        Spool spool(spoolDir);
        std::vector<double> ms, spooledMs;
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
        QDir(spoolDir).removeRecursively();
        store.reset();

        const double size = double(QFileInfo(out).size());
        std::printf("samples stored (bulk, one transaction): %d in %.2f s = %.0f samples/s (commit %.2f s)\n",
                    samples, bulkSeconds, samples / bulkSeconds, commitSeconds);
        if (live > 0) {
            const Figures plain = figuresOf(ms), spooled = figuresOf(spooledMs);
            std::printf("live store + commit (fsync), %d tests: median %.2f ms, p95 %.2f ms, max %.2f ms\n", live,
                        plain.median, plain.p95, plain.max);
            std::printf("live store + commit with the spool (entry written, synced, removed), %d tests: "
                        "median %.2f ms, p95 %.2f ms, max %.2f ms\n",
                        live, spooled.median, spooled.p95, spooled.max);
        }
        std::printf("database file: %s, %.1f MB (%.0f bytes per sample)\n", qPrintable(QFileInfo(out).absoluteFilePath()),
                    size / 1048576.0, size / std::max(1, samples + live));
    } catch (const db::RoutineFailure& f) {
        std::fprintf(stderr, "store failed in %s: %d %s\n", qPrintable(f.routine), f.number, qPrintable(f.description));
        return 1;
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "store failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
