// Sample grid on a large database: time from UpdateForm to the first painted
// rows, time to sort by each kind of column (header click to painted rows:
// the first sort by that column in this process, then later ones both ways),
// time to refresh one row, and peak memory.
//
//   bench_grid [--db PATH|URI] [--samples N] [--keep PATH|URI]
//
// With --db it uses an existing database, a file (e.g. one bench_db_store
// left; sorting writes nothing to it) or a PostgreSQL database
// (postgresql://...). Without, it first builds a database of N (100,000)
// samples from the template through the store's own code (storeTestResult,
// one transaction) in a child process, so the memory figure is the grid's
// alone; --keep keeps that file for later runs, or names an empty server
// database the samples are copied into (as copy-db copies them).

#include "bench_options.h"
#include "sample_db_builder.h"
#include "db/sample_database.h"
#include "views/ui/frm_data.h"
#include "views/ui/sample_grid_view.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentRssKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

double ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1.0e6; }

// CPU time of this process, to tell the work from waiting for a shared CPU.
double cpuMs() { return qqc::bench::cpuSeconds() * 1e3; }

// Paints the grid now, as the screen would after the change.
void paint(qqc::frmData& form)
{
    form.grid().viewport()->repaint();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QString dbPath;
    QString keep;
    QString samples = QStringLiteral("100000");
    if (const int rc = qqc::bench::readOptions(argc, argv,
                                               "bench_grid [--db PATH|URI] [--samples N] [--keep PATH|URI]",
                                               {{"--db", &dbPath}, {"--samples", &samples}, {"--keep", &keep}});
        rc >= 0)
        return rc;
    const int count = samples.toInt();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir tmp;
    if (dbPath.isEmpty()) {
        dbPath = keep.isEmpty() ? tmp.filePath(QStringLiteral("grid-bench.mdb")) : keep;
        if (!qqc::bench::buildInChild(argc, argv, dbPath, count))
            return 1;
    }

    QApplication app(argc, argv);
    const long baseKb = currentRssKb();
    auto status = qqc::db::SampleDatabase::OpenStatus::NeedsUpgrade;
    std::unique_ptr<qqc::db::SampleDatabase> store;
    try {
        store = qqc::db::SampleDatabase::open(dbPath, status);
    } catch (const qqc::db::DbError& e) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(dbPath), e.what());
        return 1;
    }
    if (!store)
        return 1;

    qqc::frmData form;
    form.resize(1280, 900);
    form.show();
    QCoreApplication::processEvents();

    // The server's processor time too, when it runs on this machine.
    const auto serverMs = [&] { return qqc::bench::serverCpuSeconds(store->database()) * 1e3; };
    QElapsedTimer t;
    const double updateServer = serverMs();
    const double updateCpu = cpuMs();
    t.start();
    form.SetDB(&store->database());
    form.UpdateForm();
    paint(form);
    const double firstRows = ms(t);
    const double firstRowsCpu = cpuMs() - updateCpu;
    const double firstRowsServer = serverMs() - updateServer;
    const int rows = form.model().rowCount();
    t.restart();
    const size_t idCount = qqc::SampleGridStore(&store->database()).loadSampleIds(qqc::GridSortKey{}).size();
    const double readIds = ms(t);
    t.restart();
    paint(form);
    const double fullPaint = ms(t);

    // Sort: every kind of column, each clicked twice (descending, ascending).
    struct SortFigure {
        QString name;
        double first, firstCpu, firstServer, desc, asc;
    };
    std::vector<SortFigure> sorts;
    const int diel = form.model().dielectricColumn();
    const std::vector<int> columns = {qqc::SampleGridModel::ColSampleNum, qqc::SampleGridModel::ColDate,
                                      qqc::SampleGridModel::ColEquipment, qqc::SampleGridModel::ColUnitUsage,
                                      qqc::SampleGridModel::ColWear,      diel,
                                      form.model().commentsColumn()};
    double worstSort = 0;
    for (int c : columns) {
        if (c < 0)
            continue;
        SortFigure f{form.model().headerText(c).trimmed(), 0, 0, 0, 0, 0};
        const double server = serverMs();
        const double cpu = cpuMs();
        t.restart();
        form.vsFlexData_Click(0, c);
        paint(form);
        f.first = ms(t);
        f.firstCpu = cpuMs() - cpu;
        f.firstServer = serverMs() - server;
        worstSort = std::max(worstSort, f.first);
        t.restart();
        form.vsFlexData_Click(0, c);
        paint(form);
        t.restart();
        form.vsFlexData_Click(0, c);
        paint(form);
        f.desc = ms(t);
        t.restart();
        form.vsFlexData_Click(0, c);
        paint(form);
        f.asc = ms(t);
        worstSort = std::max({worstSort, f.desc, f.asc});
        sorts.push_back(f);
    }

    // Scroll to the middle and the end: rows read on demand.
    t.restart();
    form.grid().scrollTo(form.model().index(rows / 2, 1));
    paint(form);
    const double scrollMiddle = ms(t);
    t.restart();
    form.grid().scrollToBottom();
    paint(form);
    const double scrollEnd = ms(t);

    // One-row refresh of a visible row (as after a recalculation).
    form.grid().scrollToTop();
    paint(form);
    std::vector<double> refresh;
    const qint32 id = form.model().sampleIdAt(3);
    for (int i = 0; i < 200; ++i) {
        t.restart();
        form.RefreshSampleDisplay(id);
        QCoreApplication::processEvents();  // repaints the changed row
        refresh.push_back(ms(t));
    }

    std::vector<double> refreshOnly, paintOnly;
    for (int i = 0; i < 50; ++i) {
        t.restart();
        form.RefreshSampleDisplay(id);
        refreshOnly.push_back(ms(t));
        t.restart();
        QCoreApplication::processEvents();
        paintOnly.push_back(ms(t));
    }

    // A new sample arriving while the grid is open.
    qint32 newId = 0;
    {
        qqc::TestRecord record;
        record.Rslt8700[qqc::Rslt::diel] = 250;
        qqc::db::Transaction tx(store->database());
        newId = store->storeTestResult(record, QDateTime::currentDateTime());
        tx.commit();
    }
    t.restart();
    form.AddDataToGrid(newId);
    paint(form);
    const double addRow = ms(t);

    const long peakKb = peakRssKb();
    const bool onServer = store->database().onServer();
    const bool gridIndex = store->database()
                               .queryValue(onServer ? QStringLiteral("SELECT 1 FROM pg_indexes WHERE indexname = 'samplesgrid'")
                                                    : QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'SamplesGrid'"))
                               .isValid();
    std::printf("sample grid on %d samples (%s; %s)\n", rows,
                qPrintable(onServer ? store->database().path() : QDir::toNativeSeparators(dbPath)),
                gridIndex ? "with the template's SamplesGrid index" : "an older file without the SamplesGrid index");
    const auto serverText = [&](double serverCpu) {
        return onServer && serverCpu >= 0 ? QStringLiteral(", server %1 ms").arg(serverCpu, 0, 'f', 1) : QString();
    };
    std::printf("  UpdateForm to first painted rows : %8.1f ms   (target < 300 ms; cpu %.1f ms%s)\n", firstRows,
                firstRowsCpu, qPrintable(serverText(firstRowsServer)));
    std::printf("  of which reading %zu keys %.1f ms; one full repaint %.1f ms\n", idCount, readIds, fullPaint);
    for (const SortFigure& f : sorts)
        std::printf("  sort %-14s desc / asc     : %8.1f / %.1f ms   (first sort by it: %.1f ms, cpu %.1f ms%s)\n",
                    qPrintable(f.name), f.desc, f.asc, f.first, f.firstCpu, qPrintable(serverText(f.firstServer)));
    std::printf("  slowest sort (first or later)    : %8.1f ms   (target < 1000 ms)\n", worstSort);
    std::printf("  scroll to middle / end + paint   : %8.1f / %.1f ms\n", scrollMiddle, scrollEnd);
    std::printf("  one-row refresh + paint (median) : %8.3f ms   (target < 5 ms; max %.3f ms)\n", median(refresh),
                *std::max_element(refresh.begin(), refresh.end()));
    std::printf("  of which reading the row         : %8.3f ms, painting it %.3f ms\n", median(refreshOnly),
                median(paintOnly));
    std::printf("  new sample as first row + paint  : %8.3f ms\n", addRow);
    std::printf("  rows held in the cache           : %8d\n", form.model().cachedRowCount());
    std::printf("  memory: before open %.1f MB, peak %.1f MB   (target < 200 MB)\n", baseKb / 1024.0,
                peakKb / 1024.0);
    return 0;
}
