// The sample report on a large database: a PDF written (database opened
// read-only, report read, file written and closed) for 20 samples, the report
// window's UpdateForm to its painted window, quorvelqc-cli report from start
// to exit, the size of a report without and with pictures, and peak memory.
//
//   bench_report [--db PATH] [--samples N]
//
// With --db it measures that file. Without, it builds two databases of N
// (100,000) samples from the template in child processes, as bench_grid does:
// one with the samples spread over 250 equipments, one with every sample on
// one equipment (the report reads the last 5 or 12 through the equipment
// index either way).

#include "bench_options.h"
#include "sample_db_builder.h"
#include "config/settings.h"
#include "db/sample_database.h"
#include "report/page_settings.h"
#include "report/report_data.h"
#include "report/report_pdf.h"
#include "report/ui/frm_report.h"
#include "util/program_folder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1.0e6; }

struct Figures {
    std::vector<double> v;
    double median() const
    {
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        return s.empty() ? 0.0 : s[s.size() / 2];
    }
    double slowest() const { return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()); }
};

// Twenty samples of the file spread from the oldest to the newest, each with
// an equipment ID.
std::vector<qint32> chosenSamples(qqc::db::Database& db)
{
    const qint64 first = db.queryValue(QStringLiteral("SELECT MIN(SampleID) FROM Samples")).toLongLong();
    const qint64 last = db.queryValue(QStringLiteral("SELECT MAX(SampleID) FROM Samples")).toLongLong();
    std::vector<qint32> ids;
    for (int i = 0; i < 20; ++i) {
        const qint64 near = first + (last - first) * i / 19;
        const QVariant id = db.queryValue(QStringLiteral("SELECT MIN(SampleID) FROM Samples WHERE SampleID >= ? AND "
                                                         "TRIM(COALESCE(EquipmentID, '')) <> ''"),
                                          {near});
        if (id.isValid() && !id.isNull())
            ids.push_back(id.toInt());
    }
    return ids;
}

bool measure(const QString& dbPath, const QString& work, const char* what)
{
    std::unique_ptr<qqc::db::SampleDatabase> store;
    try {
        auto status = qqc::db::SampleDatabase::OpenStatus::NeedsUpgrade;
        store = qqc::db::SampleDatabase::open(dbPath, status);
    } catch (const qqc::db::DbError& e) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(dbPath), e.what());
        return false;
    }
    if (!store)
        return false;
    const std::vector<qint32> ids = chosenSamples(store->database());
    const qint64 count = store->database().queryValue(QStringLiteral("SELECT COUNT(*) FROM Samples")).toLongLong();
    const qint64 sameEquipment =
        ids.empty() ? 0
                    : store->database()
                          .queryValue(QStringLiteral("SELECT COUNT(*) FROM Samples WHERE EquipmentID = "
                                                     "(SELECT EquipmentID FROM Samples WHERE SampleID = ?)"),
                                      {ids.back()})
                          .toLongLong();
    if (ids.empty()) {
        std::fprintf(stderr, "no sample with an equipment ID in %s\n", qPrintable(dbPath));
        return false;
    }

    // PDF: open read-only, read, write, closed file.
    Figures pdf;
    qint64 pdfSize = 0;
    const QString pdfPath = work + QStringLiteral("/report.pdf");
    const qqc::report::PageInput settings = qqc::report::pageSettingsFromProgramFolder(dbPath);
    for (qint32 id : ids) {
        QElapsedTimer t;
        t.start();
        qqc::db::OpenOptions readOnly;
        readOnly.access = qqc::db::OpenOptions::Access::ReadOnly;
        auto db = qqc::db::Database::open(dbPath, readOnly);
        qqc::report::PageInput in = settings;
        in.data = qqc::report::readReport(*db, id);
        db.reset();
        if (!qqc::report::writeReportPdf(pdfPath, in, QPageSize::A4))
            return false;
        pdf.v.push_back(ms(t));
        pdfSize = std::max(pdfSize, QFileInfo(pdfPath).size());
    }

    // The window: UpdateForm to the painted window.
    Figures window;
    {
        qqc::report::frmReport form([&] { return qqc::report::pageSettings(qqc::Settings{}, dbPath); });
        form.resize(1280, 900);
        form.show();
        form.SetDB(&store->database());
        form.UpdateForm(ids.front());
        form.repaint();
        for (qint32 id : ids) {
            QElapsedTimer t;
            t.start();
            form.UpdateForm(id);
            form.repaint();
            window.v.push_back(ms(t));
        }
    }

    // The command line, start to exit.
    Figures cli;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/quorvelqc-cli");
    for (size_t i = 0; i < 5 && i < ids.size(); ++i) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.start(program, {QStringLiteral("report"), QStringLiteral("--db"), dbPath, QStringLiteral("--sample"),
                          QString::number(ids[ids.size() - 1 - i]), QStringLiteral("--pdf"), pdfPath,
                          QStringLiteral("--home"), work});
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            std::fprintf(stderr, "quorvelqc-cli failed: %s\n", p.readAllStandardError().constData());
            return false;
        }
        cli.v.push_back(ms(t));
    }

    std::printf("report on %lld samples, %s (%lld on the last sample's equipment)\n", count, what, sameEquipment);
    std::printf("  PDF written, open to closed file: median %7.1f ms, slowest %.1f ms   (targets 150 / 300 ms; %zu "
                "samples)\n",
                pdf.median(), pdf.slowest(), pdf.v.size());
    std::printf("  UpdateForm to painted window    : median %7.1f ms, slowest %.1f ms   (target 100 ms)\n",
                window.median(), window.slowest());
    std::printf("  quorvelqc-cli report, start-exit: median %7.1f ms, slowest %.1f ms   (target 1000 ms)\n",
                cli.median(), cli.slowest());
    std::printf("  PDF size without pictures       : %7.1f kB   (target < 200 kB)\n", pdfSize / 1024.0);
    return true;
}

// A report with three large pictures: the PDF's size shows they were
// embedded at their printed size's 300 dpi, not at their own.
void measurePictures(const QString& work)
{
    QDir().mkpath(work + QStringLiteral("/Img"));
    qqc::report::PageInput in;
    in.imageFlag = true;
    in.imageFolder = work + QStringLiteral("/Img");
    in.today = QDate::currentDate();
    in.data.found = true;
    in.data.equipmentId = QStringLiteral("PUMP-1");
    for (int i = 0; i < 3; ++i) {
        // A camera's JPEG, as the picture dialog offers first.
        QImage picture(4000, 3000, QImage::Format_RGB32);
        QPainter painter(&picture);
        QLinearGradient gradient(0, 0, 4000, 3000);
        gradient.setColorAt(0, QColor::fromHsv(i * 100, 200, 250));
        gradient.setColorAt(1, QColor::fromHsv(i * 100 + 60, 255, 90));
        painter.fillRect(picture.rect(), gradient);
        for (int k = 0; k < 400; ++k)
            painter.drawEllipse(QPointF((k * 397) % 4000, (k * 211) % 3000), 40 + k % 90, 30 + k % 70);
        painter.end();
        const QString name = QStringLiteral("p%1.jpg").arg(i);
        picture.save(in.imageFolder + QLatin1Char('/') + name);
        in.data.imageFiles[size_t(i)] = name;
    }
    const QString path = work + QStringLiteral("/pictures.pdf");
    QElapsedTimer t;
    t.start();
    qqc::report::writeReportPdf(path, in, QPageSize::A4);
    const double written = ms(t);
    std::printf("report with three 4000 x 3000 JPEG pictures: %.1f kB in %.1f ms (each drawn %.2f inch wide, "
                "embedded at no more than 300 dpi)\n",
                QFileInfo(path).size() / 1024.0, written, ((11906 - 288 - 900) / 3) / 1440.0);
}

} // namespace

int main(int argc, char** argv)
{
    QString dbPath;
    QString samples = QStringLiteral("100000");
    if (const int rc = qqc::bench::readOptions(argc, argv, "bench_report [--db PATH] [--samples N]",
                                               {{"--db", &dbPath}, {"--samples", &samples}});
        rc >= 0)
        return rc;
    const int count = samples.toInt();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir tmp;
    std::vector<std::pair<QString, const char*>> files;
    if (!dbPath.isEmpty()) {
        files.emplace_back(dbPath, "the given file");
    } else {
        files.emplace_back(tmp.filePath(QStringLiteral("spread.mdb")), "250 equipments");
        files.emplace_back(tmp.filePath(QStringLiteral("one.mdb")), "all on one equipment");
        if (!qqc::bench::buildInChild(argc, argv, files[0].first, count, 250) ||
            !qqc::bench::buildInChild(argc, argv, files[1].first, count, 1))
            return 1;
    }

    QApplication app(argc, argv);
    qqc::setProgramFolder(tmp.path());
    for (const auto& [path, what] : files)
        if (!measure(path, tmp.path(), what))
            return 1;
    measurePictures(tmp.path());
    std::printf("peak memory %.1f MB\n", peakRssKb() / 1024.0);
    return 0;
}
