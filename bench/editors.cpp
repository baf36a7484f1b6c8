// The editors on a large database: the in-use check (beside a full scan of
// Samples on the same file), deleting an unused alarm set, reference oil and
// customer with its commit, an alarm set assignment with its recalculation
// and commit, marking the three editors on one sample click, and the
// customer window with 10,000 customers (UpdateForm to painted rows, a
// header sort).
//
//   bench_editors [--db PATH] [--samples N]
//
// Without --db it first builds a database of N (100,000) samples in a
// temporary folder, as bench_grid does. With --db the file is changed (new
// records, assignments, customers), so pass a copy.

#include "app/editor_windows.h"
#include "app/monitor.h"
#include "bench_options.h"
#include "sample_db_builder.h"
#include "views/ui/editor_grid.h"
#include "views/editor_store.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace qqc;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Median milliseconds of `runs` calls of `f` (with the run's number).
double timed(int runs, const std::function<void(int)>& f)
{
    std::vector<double> times;
    QElapsedTimer t;
    for (int i = 0; i < runs; ++i) {
        t.start();
        f(i);
        times.push_back(t.nsecsElapsed() / 1.0e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv)
{
    QString dbPath;
    QString samples = QStringLiteral("100000");
    if (const int rc = bench::readOptions(argc, argv, "bench_editors [--db PATH] [--samples N]",
                                          {{"--db", &dbPath}, {"--samples", &samples}});
        rc >= 0)
        return rc;
    const int count = samples.toInt();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    if (dbPath.isEmpty()) {
        dbPath = tmp.filePath(QStringLiteral("editors-bench.mdb"));
        if (bench::buildDatabase(dbPath, count) != 0)
            return 1;
    }

    Monitor monitor;
    if (monitor.OpenSampleDatabase(dbPath) != 0)
        return 1;
    db::Database& db = monitor.sampleDatabase()->database();
    EditorStore store(&db);
    try {
        const int samples = db.queryValue(QStringLiteral("SELECT COUNT(*) FROM Samples")).toInt();
        std::printf("database: %s, %d samples\n", qPrintable(dbPath), samples);

        // In-use check: a set nobody uses (the whole answer) and the
        // template's set every sample uses.
        const qint32 unusedSet = store.addAlarmSet();
        store.firstSampleUsing(alarmSetTable(), unusedSet);  // makes sure of the index
        const double inUseFree = timed(200, [&](int) { store.firstSampleUsing(alarmSetTable(), unusedSet); });
        const double inUseUsed = timed(200, [&](int) { store.firstSampleUsing(referenceTable(), 1); });
        const double scan = timed(5, [&](int) {
            db.queryValue(QStringLiteral("SELECT MIN(SampleID) FROM Samples NOT INDEXED WHERE AlarmID = ?"), {unusedSet});
        });
        std::printf("in-use check: %.3f ms median (unused set), %.3f ms (oil in use); full scan of Samples %.1f ms\n",
                    inUseFree, inUseUsed, scan);

        // Deleting unused records, commit included.
        for (const ListTable* table : {&alarmSetTable(), &referenceTable(), &customerTable()}) {
            std::vector<qint32> ids;
            for (int i = 0; i < 20; ++i)
                ids.push_back(table == &alarmSetTable() ? store.addAlarmSet() : store.add(*table));
            const double del = timed(20, [&](int i) { store.remove(*table, ids[size_t(i)]); });
            std::printf("delete unused %s: %.2f ms median\n", qPrintable(table->table), del);
        }

        // Assignment with recalculation and commit, as the Monitor runs it.
        std::mt19937 rng(13);
        std::uniform_int_distribution<qint32> pick(1, samples);
        const double assign = timed(100, [&](int i) {
            db::Transaction t(db);
            monitor.sampleDatabase()->setAlarm(pick(rng), i % 2 ? 1 : unusedSet);
            t.commit();
        });
        // The same work rolled back: what the commit (its fsync) adds.
        const double work = timed(100, [&](int i) {
            db::Transaction t(db);
            monitor.sampleDatabase()->setAlarm(pick(rng), i % 2 ? 1 : unusedSet);
        });
        std::printf("assign an alarm set + recalculate + commit: %.2f ms median (%.2f ms without the commit)\n", assign,
                    work);

        // 10,000 customers; a few samples each get one.
        {
            db::Transaction t(db);
            for (int i = 0; i < 10000; ++i)
                db.executeOn(QStringLiteral("Customers"),
                             QStringLiteral("INSERT INTO Customers (Lastname, FirstName, City, EMail) VALUES (?, ?, ?, ?)"),
                             {QStringLiteral("Name%1").arg((i * 7919) % 10000), QStringLiteral("First%1").arg(i % 97),
                              QStringLiteral("City%1").arg(i % 300), QStringLiteral("user%1@example.com").arg(i)});
            db.execute(QStringLiteral("UPDATE Samples SET CustomerID = 1 + SampleID % 9000"));
            t.commit();
        }

        std::unique_ptr<frmAlarm> alarms(createAlarmWindow(monitor));
        std::unique_ptr<frmReference> oils(createReferenceWindow(monitor));
        std::unique_ptr<frmCustomer> customers(createCustomerWindow(monitor));
        for (QWidget* w : {static_cast<QWidget*>(alarms.get()), static_cast<QWidget*>(oils.get()),
                           static_cast<QWidget*>(customers.get())}) {
            w->resize(1000, 700);
            w->show();
        }
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        customers->SetDB(&db);
        customers->UpdateForm(0);
        customers->grid().viewport()->repaint();
        const double fill = t.nsecsElapsed() / 1.0e6;
        const double sort = timed(6, [&](int i) {
            customers->gridClick(0, 1 + i % 3);
            customers->grid().viewport()->repaint();
        });
        std::printf("customers: UpdateForm to painted rows with %d customers %.1f ms; header sort %.1f ms median\n",
                    customers->model().rowCount(), fill, sort);

        alarms->SetDB(&db);
        alarms->UpdateForm(0);
        oils->SetDB(&db);
        oils->UpdateForm(0);
        for (auto flag : {Monitor::AlarmWindow, Monitor::ReferenceWindow, Monitor::CustomerWindow})
            monitor.setWindowOpen(flag, true);
        const double mark = timed(200, [&](int) { monitor.fDataFrm_SelFromGrid(pick(rng)); });
        std::printf("marking the three editors on one sample click: %.3f ms median\n", mark);
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    monitor.closeDatabase();
    return 0;
}
