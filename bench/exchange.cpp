// Exchange files on a large database: export to CSV, export to the generic
// file, import of that file into a fresh database, the same import again
// (every block a duplicate), and the window's CSV export (offscreen, its
// progress window shown) against the bare run. Each run is a child process
// of its own, so each peak-memory figure is that run's alone.
//
//   bench_exchange [--samples N] [--keep DIR] [--only csv|generic|import]
//                  [--db PATH|URI] [--into PATH|URI]
//
// --only runs one export, or the import into the kept fresh database, on
// files kept earlier with --keep (for a profiler). --db names the database
// the samples are built in and exported from, --into the fresh one the
// import fills (files in the --keep folder by default); either may be an
// empty PostgreSQL database (postgresql://...).
//
// The database is built as the other benchmarks build theirs
// (sample_db_builder.h), each sample given equipment IDs, usages and
// comments with commas, quotes and line breaks.

#include "bench_options.h"
#include "sample_db_builder.h"
#include "util/prompter.h"
#include "views/exchange.h"
#include "views/sample_grid_store.h"
#include "views/ui/frm_data.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::unique_ptr<qqc::db::SampleDatabase> openStore(const QString& path)
{
    auto status = qqc::db::SampleDatabase::OpenStatus::NeedsUpgrade;
    return qqc::db::SampleDatabase::open(path, status);
}

// The fields exchange files carry: equipment IDs (some with a comma), usages
// and, on every third sample, a comment with a comma, quotes and a line
// break.
void exchangeFields(qqc::db::Database& db, qint32 id, int i)
{
    static std::mt19937 rng(8700);
    static std::uniform_int_distribution<int> unit(1, 400);
    const int u = unit(rng);
    db.executeOn(QStringLiteral("Samples"),
                 QStringLiteral("UPDATE Samples SET EquipmentID = ?, UnitUsage = ?, OilUsage = ?, Comments = ?"
                                " WHERE SampleID = ?"),
                 {u % 7 == 0 ? QStringLiteral("GEARBOX %1, LEFT").arg(u) : QStringLiteral("PUMP-%1").arg(u),
                  QString::number(1000 + i % 5000), QString::number(i % 700),
                  i % 3 == 0 ? QStringLiteral("drained, \"hot\"\r\nrefilled %1").arg(i) : QString(), id});
}

// Runs `work` in a child process; it prints its own figures.
int inChild(const std::function<int()>& work)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const int status = work();
        std::fflush(stdout);
        _exit(status);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// Processor time of this process so far (user + system), in seconds: on a
// busy machine a fairer figure than the elapsed time.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double cpuAtStart = 0.0;
// The server's processor time at the start, and its database (a local
// server's figure is printed too).
double serverAtStart = -1.0;
qqc::db::Database* serverDb = nullptr;

void startClocks(qqc::db::Database& db)
{
    serverDb = db.onServer() ? &db : nullptr;
    serverAtStart = serverDb ? qqc::bench::serverCpuSeconds(db) : -1.0;
    cpuAtStart = cpuSeconds();
}

void report(const char* what, qint64 ms, const QString& detail = QString())
{
    const QString server = serverDb && serverAtStart >= 0
        ? QStringLiteral(", server %1 s").arg(qqc::bench::serverCpuSeconds(*serverDb) - serverAtStart, 0, 'f', 2)
        : QString();
    std::printf("%-34s %7.2f s (cpu %5.2f s%s)   peak %6.1f MB   %s\n", what, double(ms) / 1000.0,
                cpuSeconds() - cpuAtStart, qPrintable(server), double(peakRssKb()) / 1024.0, qPrintable(detail));
}

int exportRun(const QString& db, const QString& out, qqc::ExportFormat format, const char* what)
{
    QCoreApplication app(*new int(0), nullptr);
    auto store = openStore(db);
    startClocks(store->database());
    QElapsedTimer t;
    t.start();
    qqc::ExportRequest request;
    request.format = format;
    request.path = out;
    request.sampleIds = qqc::SampleGridStore(&store->database()).loadSampleIds(qqc::GridSortKey{});
    request.askMissingEquipment = false;
    const qqc::ExportResult r = qqc::exportSamples(store->database(), request);
    report(what, t.elapsed(), QStringLiteral("%1 samples, %2 MB").arg(r.written).arg(QFileInfo(out).size() / 1e6, 0, 'f', 1));
    return r.status == qqc::ExchangeOutcome::Done ? 0 : 1;
}

int importRun(const QString& db, const QString& file, const char* what)
{
    QCoreApplication app(*new int(0), nullptr);
    auto store = openStore(db);
    startClocks(store->database());
    QElapsedTimer t;
    t.start();
    const qqc::ImportResult r = qqc::importGenericFile(store->database(), file);
    report(what, t.elapsed(), QStringLiteral("%1 added, %2 duplicates").arg(r.added).arg(r.duplicates));
    return r.status == qqc::ExchangeOutcome::Done ? 0 : 1;
}

// Answers the save dialog with a fixed file and every message with OK.
class FixedAnswers : public qqc::Prompter {
public:
    explicit FixedAnswers(QString file) : file_(std::move(file)) {}
    int message(const QString&, int, const QString&) override { return qqc::Answer::Ok; }
    QString openFileName(const qqc::FileDialogRequest&) override { return file_; }
    QString saveFileName(const qqc::FileDialogRequest&) override { return file_; }

private:
    QString file_;
};

int windowRun(const QString& db, const QString& out)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench_exchange";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    auto store = openStore(db);
    FixedAnswers answers(out);
    qqc::setPrompter(&answers);
    qqc::frmData form;
    form.SetDB(&store->database());
    form.UpdateForm();
    form.show();
    form.vsFlexData_MouseDown(Qt::LeftButton, 1);
    form.vsFlexData_MouseMove(form.model().rowCount(), true);
    form.vsFlexData_MouseUp(form.model().rowCount());
    bool shown = false;
    form.setProgressDelay(0);
    form.setProgressShownHook([&](QProgressDialog&) { shown = true; });
    QElapsedTimer t;
    t.start();
    cpuAtStart = cpuSeconds();
    form.ExportCSV();
    report("export CSV, window (progress shown)", t.elapsed(), shown ? QStringLiteral("progress window shown") : QString());
    qqc::setPrompter(nullptr);
    return QFile::exists(out) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QString count = QStringLiteral("100000");
    QString keep;
    QString only, dbOption, intoOption;
    if (const int rc = qqc::bench::readOptions(argc, argv,
                                               "bench_exchange [--samples N] [--keep DIR] [--only csv|generic|import] "
                                               "[--db PATH|URI] [--into PATH|URI]",
                                               {{"--samples", &count}, {"--keep", &keep}, {"--only", &only},
                                                {"--db", &dbOption}, {"--into", &intoOption}});
        rc >= 0)
        return rc;
    const int samples = count.toInt();
    if (only == "import" && !keep.isEmpty())
        return importRun(keep + "/fresh.mdb", keep + "/bench.dat", "import generic");
    if (!only.isEmpty() && !keep.isEmpty()) {
        const bool csv = only == "csv";
        return exportRun(keep + "/bench.mdb", keep + (csv ? "/only.csv" : "/only.dat"),
                         csv ? qqc::ExportFormat::Csv : qqc::ExportFormat::Generic, csv ? "export CSV" : "export generic");
    }
    QTemporaryDir temp;
    const QString dir = keep.isEmpty() ? temp.path() : keep;
    QDir().mkpath(dir);
    const QString db = dbOption.isEmpty() ? dir + QStringLiteral("/bench.mdb") : dbOption;
    const QString fresh = intoOption.isEmpty() ? dir + QStringLiteral("/fresh.mdb") : intoOption;
    std::printf("bench_exchange: %d samples\n", samples);
    QElapsedTimer t;
    t.start();
    if (!qqc::bench::buildInChild(argc, argv, db, samples, 250, exchangeFields)) {
        std::fprintf(stderr, "cannot build the database\n");
        return 1;
    }
    std::printf("(database built in %.1f s)\n", double(t.elapsed()) / 1000.0);
    int failures = 0;
    failures += inChild([&] { return exportRun(db, dir + "/bench.csv", qqc::ExportFormat::Csv, "export CSV"); });
    failures += inChild([&] { return exportRun(db, dir + "/bench.dat", qqc::ExportFormat::Generic, "export generic"); });
    failures += inChild([&] {
        QCoreApplication app(*new int(0), nullptr);
        if (!qqc::db::isServerUri(fresh))
            return qqc::bench::copyTemplate(fresh) ? 0 : 1;
        try {
            qqc::db::createServerDatabase(fresh, qqc::db::templatePath());
        } catch (const qqc::db::DbError& e) {
            std::fprintf(stderr, "cannot make the layout in %s: %s\n", qPrintable(qqc::db::displayUri(fresh)), e.what());
            return 1;
        }
        return 0;
    });
    failures += inChild([&] { return importRun(fresh, dir + "/bench.dat", "import generic, fresh database"); });
    failures += inChild([&] { return importRun(fresh, dir + "/bench.dat", "import generic again (duplicates)"); });
    failures += inChild([&] { return windowRun(db, dir + "/window.csv"); });
    std::printf("window CSV equals the bare CSV: %s\n",
                [&] {
                    QFile a(dir + "/bench.csv"), b(dir + "/window.csv");
                    return a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.readAll() == b.readAll();
                }()
                    ? "yes"
                    : "no");
    return failures == 0 ? 0 : 1;
}
