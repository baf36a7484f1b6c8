// The Jet conversion benchmark: the store benchmark's database of simulated
// samples (layout 300) streamed by the stand-in reader as a Jet file would
// arrive, then read into the staging file and copied into a new database.
// Prints the time of the reading and copying phases, the whole run, the
// peak memory of the converting process and of the reader, the latency of
// Cancel while reading and while copying; then the real reader's rate on
// the public Jet databases when they are present.
//
//   bench_jet_conversion [--samples N] [--fixtures DIR]   (or QQC_JET_FIXTURES)
//
// Files are made in a temporary folder; the conversion runs in a second
// process of this program (--measure DIR), so that its peak memory is the
// conversion's, not the building's.
#include "sample_db_builder.h"
#include "db/jet_conversion.h"
#include "jet/jet_stream.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace qqc;

namespace {

QString binFile(const char* name) { return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(name)); }

db::JetConversionRequest request(const QString& dir)
{
    db::JetConversionRequest r;
    r.jetPath = QDir(dir).filePath(QStringLiteral("LAB.MDB"));
    r.destination = db::defaultConvertedPath(r.jetPath);
    r.templatePath = db::templatePath();
    r.reader.program = binFile("quorvelqc-jet-standin");
    r.reader.arguments = {QStringLiteral("--from-sqlite"), QDir(dir).filePath(QStringLiteral("source.sqlite"))};
    return r;
}

// Cancel when `when` says so; returns the ms from the request to the return.
double cancelLatency(const QString& dir, const std::function<bool(const db::UpgradeProgress&)>& when)
{
    db::JetConversionRequest r = request(dir);
    QElapsedTimer since;
    bool asked = false;
    r.progress = [&](const db::UpgradeProgress& p) {
        if (!asked && when(p)) {
            asked = true;
            since.start();
        }
    };
    r.cancelRequested = [&] { return asked; };
    const auto result = db::convertJetDatabase(r);
    if (result.outcome != db::JetConversionResult::Cancelled)
        std::printf("  (the run was not cancelled: outcome %d)\n", int(result.outcome));
    return asked ? since.nsecsElapsed() / 1.0e6 : -1;
}

int measure(const QString& dir)
{
    db::JetConversionRequest r = request(dir);
    QElapsedTimer total;
    qint64 readingMs = -1;
    r.progress = [&](const db::UpgradeProgress& p) {
        if (readingMs < 0 && !p.status.startsWith(QLatin1String("Reading")))
            readingMs = total.elapsed();
    };
    total.start();
    const auto result = db::convertJetDatabase(r);
    const qint64 totalMs = total.elapsed();
    if (result.outcome != db::JetConversionResult::Done) {
        std::fprintf(stderr, "conversion failed: %s\n", qPrintable(result.error));
        return 1;
    }
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    std::printf("Jet path, %lld samples, %lld detail rows:\n", result.upgrade.summary.rowsOf(QStringLiteral("Samples")),
                result.upgrade.summary.rowsOf(QStringLiteral("SampleDetails")));
    std::printf("  reading into the staging file  %7.2f s\n", readingMs / 1000.0);
    std::printf("  copy, compaction, rename       %7.2f s\n", (totalMs - readingMs) / 1000.0);
    std::printf("  whole conversion               %7.2f s   (target 30 s)\n", totalMs / 1000.0);
    const auto cpu = [](const rusage& u) {
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1.0e6;
    };
    std::printf("  CPU time: converting process %.2f s, reader %.2f s (wall times grow with the machine's load)\n",
                cpu(self), cpu(children));
    std::printf("  peak memory: converting process %ld MB (target 200 MB), reader %ld MB\n", self.ru_maxrss / 1024,
                children.ru_maxrss / 1024);
    QFile::remove(r.destination);
    const double whileReading = cancelLatency(dir, [](const db::UpgradeProgress& p) {
        return p.table == QLatin1String("Samples") && p.record > 20000;
    });
    const double whileCopying = cancelLatency(dir, [](const db::UpgradeProgress& p) {
        return !p.status.startsWith(QLatin1String("Reading")) && p.table == QLatin1String("SampleDetails") && p.record > 0;
    });
    std::printf("  Cancel latency: while reading %.0f ms, while copying %.0f ms\n", whileReading, whileCopying);
    return 0;
}

// The real reader on the public databases: bytes and rows per second.
void readerRates(const QString& fixtures)
{
    const QString reader = binFile("quorvelqc-jet-reader");
    if (!QFileInfo::exists(reader) || !QFileInfo::exists(fixtures)) {
        std::printf("reader rate: skipped (reader or %s absent)\n", qPrintable(fixtures));
        return;
    }
    for (const QFileInfo& f : QDir(fixtures).entryInfoList({QStringLiteral("*.mdb"), QStringLiteral("*.accdb")})) {
        const int runs = 5;
        qint64 rows = 0;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < runs; ++i) {
            QProcess p;
            p.start(reader, {f.absoluteFilePath()});
            p.waitForFinished(60000);
            jet::StreamParser parser;
            const QByteArray out = p.readAllStandardOutput();
            parser.feed(out.constData(), out.size());
            jet::StreamParser::Event e;
            while (parser.next(e))
                rows += e.kind == e.Row ? 1 : 0;
        }
        const double s = t.nsecsElapsed() / 1.0e9 / runs;
        std::printf("reader on %-22s %6.0f kB  %6.1f ms per run  %5.1f MB/s  %8.0f rows/s\n",
                    qPrintable(f.fileName()), f.size() / 1024.0, s * 1000, f.size() / 1.0e6 / s, rows / runs / s);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int count = 100000;
    // The build folder sits in the source tree, beside which the shared
    // fixtures are.
    QString fixtures = qEnvironmentVariable("QQC_JET_FIXTURES");
    if (fixtures.isEmpty())
        fixtures = QDir::cleanPath(binFile("../../../shared/fixtures/jet"));
    for (int i = 1; i + 1 < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--measure")
            return measure(QString::fromLocal8Bit(argv[i + 1]));
        if (a == "--samples")
            count = std::atoi(argv[++i]);
        else if (a == "--fixtures")
            fixtures = QString::fromLocal8Bit(argv[++i]);
    }
    QTemporaryDir dir;
    if (bench::buildDatabase(dir.filePath(QStringLiteral("source.sqlite")), count) != 0)
        return 1;
    QFile jet(dir.filePath(QStringLiteral("LAB.MDB")));
    jet.open(QIODevice::WriteOnly);
    jet.write(QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(2028, 'Z'));
    jet.close();
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure"), dir.path()});
    child.waitForFinished(-1);
    readerRates(fixtures);
    return child.exitCode();
}
