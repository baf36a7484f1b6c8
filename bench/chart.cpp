// The engineering chart and the calibration history on a large database:
// selecting a sample until the open chart window has repainted that sample's
// test (median and 95th percentile over random samples, in both modes), and a
// history of many calibrations: SetDB + UpdateForm to the painted window, and
// each switch of the horizontal axis to the painted window.
//
//   bench_chart [--db PATH] [--samples N] [--cals N]
//
// Without --db it first builds a database of N (100,000) samples in a
// temporary folder, as bench_grid does. The file is changed (every sample gets
// a test calibration, 10,000 calibrations by default are added, one a day), so
// with --db pass a copy.

#include "app/chart_windows.h"
#include "app/monitor.h"
#include "db/sample_database.h"
#include "report/ui/frm_cal.h"
#include "report/ui/frm_chart.h"
#include "report/ui/plot_widget.h"
#include "bench_options.h"
#include "sample_db_builder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <ctime>
#include <vector>

using namespace qqc;

namespace {

// CPU time of this process, to tell the work from waiting for a shared CPU.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Wall-clock milliseconds (median, 95th percentile, worst) and the median
// CPU milliseconds.
struct Figures {
    double median = 0.0, p95 = 0.0, worst = 0.0, cpu = 0.0;
};

Figures figuresOf(std::vector<double> times, std::vector<double> cpu)
{
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    const auto at = [&](double q) { return times[std::min(times.size() - 1, size_t(q * double(times.size())))]; };
    return {at(0.5), at(0.95), times.back(), cpu[cpu.size() / 2]};
}

// `runs` calls of `f` (with the run's number).
Figures timed(int runs, const std::function<void(int)>& f)
{
    std::vector<double> times, cpu;
    QElapsedTimer t;
    for (int i = 0; i < runs; ++i) {
        const double c = cpuMs();
        t.start();
        f(i);
        times.push_back(t.nsecsElapsed() / 1.0e6);
        cpu.push_back(cpuMs() - c);
    }
    return figuresOf(times, cpu);
}

void addCalibrations(db::Database& db, int count)
{
    db::Transaction t(db);
    std::mt19937 rng(220);
    std::normal_distribution<double> drift(0.0, 40.0);
    const QDateTime first(QDate(1995, 1, 1), QTime(8, 30));
    for (int i = 0; i < count; ++i)
        db.execute(QStringLiteral("INSERT INTO CalData (CalDate, Freq220, Freq300, Diel220, Diel300)"
                                  " VALUES (?, ?, ?, 220, 300)"),
                   {first.addDays(i), 10000 + int(drift(rng)) - i / 100, 9000 + int(drift(rng)) - i / 100});
    t.commit();
}

} // namespace

int main(int argc, char** argv)
{
    QString dbPath;
    QString samples = QStringLiteral("100000");
    QString calibrations = QStringLiteral("10000");
    if (const int rc = bench::readOptions(argc, argv, "bench_chart [--db PATH] [--samples N] [--cals N]",
                                          {{"--db", &dbPath}, {"--samples", &samples}, {"--cals", &calibrations}});
        rc >= 0)
        return rc;
    const int count = samples.toInt();
    const int cals = calibrations.toInt();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    if (dbPath.isEmpty()) {
        dbPath = tmp.filePath(QStringLiteral("chart-bench.mdb"));
        if (bench::buildDatabase(dbPath, count) != 0)
            return 1;
    }

    Monitor monitor;
    if (monitor.OpenSampleDatabase(dbPath) != 0)
        return 1;
    db::Database& db = monitor.sampleDatabase()->database();
    try {
        const int samples = db.queryValue(QStringLiteral("SELECT COUNT(*) FROM Samples")).toInt();
        std::printf("database: %s, %d samples\n", qPrintable(dbPath), samples);

        // The built tests carry no calibration; give them one, so that
        // "Dielectric" draws series rather than its notice.
        db.execute(QStringLiteral("UPDATE Samples SET CalData = '60000,9000,220,300'"));

        // The chart window as the frame makes it, open and on screen.
        std::unique_ptr<frmChart> chart(createChartWindow(monitor));
        chart->resize(1000, 800);
        chart->show();
        monitor.setWindowOpen(Monitor::ChartWindow, true);
        QCoreApplication::processEvents();
        std::mt19937 rng(16);
        std::uniform_int_distribution<qint32> pick(1, samples);
        const auto select = [&](int) {
            monitor.fDataFrm_SelFromGrid(pick(rng));
            chart->repaint();
        };
        timed(20, select);   // warm the caches and the fonts
        for (int mode = 0; mode < 2; ++mode) {
            chart->Option1(mode)->click();
            const Figures f = timed(500, select);
            std::printf("select a sample to the repainted chart (%s): median %.2f ms, p95 %.2f ms, worst %.2f ms "
                        "(CPU median %.2f ms)\n",
                        qPrintable(chart->Option1(mode)->text()), f.median, f.p95, f.worst, f.cpu);
        }

        addCalibrations(db, cals);
        frmCal cal;
        cal.show();
        QCoreApplication::processEvents();
        const Figures draw = timed(10, [&](int) {
            cal.SetDB(&db);
            cal.UpdateForm();
            cal.CalChart()->repaint();
        });
        std::printf("calibration history, %d calibrations: SetDB + UpdateForm to the painted window median %.1f ms, "
                    "worst %.1f ms (CPU median %.1f ms)\n",
                    cal.NumCal(), draw.median, draw.worst, draw.cpu);
        // Where the time goes: reading the query, the plot's arithmetic, painting.
        QList<CalHistoryRow> rows;
        const Figures read = timed(5, [&](int) { rows = readCalHistory(db); });
        const Figures plot = timed(5, [&](int i) { calPlot(rows, i % 2 ? CalAxis::Date : CalAxis::Number); });
        const Figures paint = timed(5, [&](int) { cal.CalChart()->repaint(); });
        std::printf("  of which (CPU medians): reading CalDataQuery %.1f ms, the plot's arithmetic %.1f ms, painting "
                    "%.1f ms\n",
                    read.cpu, plot.cpu, paint.cpu);
        // Each switch is timed on its own, alternating between the two axes.
        std::vector<double> times[2], cpu[2];
        QElapsedTimer t;
        for (int i = 0; i < 20; ++i) {
            const int axis = 1 - i % 2;   // dates first
            const double c = cpuMs();
            t.start();
            cal.optAxis(axis)->click();
            cal.CalChart()->repaint();
            times[axis].push_back(t.nsecsElapsed() / 1.0e6);
            cpu[axis].push_back(cpuMs() - c);
        }
        for (int axis : {1, 0}) {
            const Figures f = figuresOf(times[axis], cpu[axis]);
            std::printf("axis switch to %s, to the painted window: median %.1f ms, worst %.1f ms (CPU median %.1f ms)\n",
                        axis == 1 ? "dates" : "numbers", f.median, f.worst, f.cpu);
        }
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    monitor.closeDatabase();
    return 0;
}
