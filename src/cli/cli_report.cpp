#include "cli/cli_report.h"
#include "db/server_uri.h"

#include "db/engine.h"
#include "db/sample_database.h"
#include "report/page_settings.h"
#include "report/report_data.h"
#include "report/report_pdf.h"

#include <QFileInfo>
#include <QLocale>

namespace qqc::cli {

namespace {

void say(std::FILE* err, const QString& text)
{
    const QByteArray line = QStringLiteral("quorvelqc-cli: %1\n").arg(text).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), err);
}

// Why the file cannot be reported from: not the monitor's database, or one
// of an older layout; empty when it can.
QString layoutProblem(db::Database& database, const QString& path)
{
    for (const char* table : {"SystemData", "Samples", "SampleDetails", "Parameters"})
        if (!database.hasTable(QString::fromLatin1(table)))
            return QStringLiteral("%1 is not a QuorvelQC database").arg(path);
    const QVariant version = database.queryValue(QStringLiteral("SELECT Databaseversion FROM SystemData"));
    if (version.toLongLong() < db::CurrentLayoutVersion)
        return QStringLiteral("%1 needs an upgrade; open it in the monitor first").arg(path);
    return {};
}

} // namespace

int runReport(const Options& o, const QString& path, std::FILE* err)
{
    // A server's address is shown without its password, as everywhere.
    const QString shown = db::isServerUri(path) ? db::displayUri(path) : QFileInfo(path).absoluteFilePath();
    report::PageInput in = report::pageSettingsFromProgramFolder(shown);
    try {
        // Read-only: no pragma that writes, no journal change, no upgrade.
        db::OpenOptions readOnly;
        readOnly.access = db::OpenOptions::Access::ReadOnly;
        const std::unique_ptr<db::Database> database = db::Database::open(path, readOnly);
        if (const QString problem = layoutProblem(*database, database->path()); !problem.isEmpty()) {
            say(err, problem);
            return 1;
        }
        in.data = report::readReport(*database, o.sample);
    } catch (const db::DbError& e) {
        say(err, QStringLiteral("%1 (error %2)").arg(e.description()).arg(e.number()));
        return 1;
    }
    if (!in.data.found) {
        say(err, QStringLiteral("no sample with SampleID %1").arg(o.sample));
        return 1;
    }
    if (in.data.equipmentId.trimmed().isEmpty()) {
        say(err, QStringLiteral("Please select a Sample with an Equipment ID."));
        return 1;
    }
    const QPageSize::PageSizeId paper = o.paper == QLatin1String("a4")       ? QPageSize::A4
                                        : o.paper == QLatin1String("letter") ? QPageSize::Letter
                                                                             : report::defaultPaper(QLocale());
    QString error;
    QStringList warnings;
    const bool written = report::writeReportPdf(o.pdf, in, paper, &error, &warnings);
    for (const QString& w : warnings)
        say(err, w);
    if (!written) {
        say(err, QStringLiteral("cannot write %1: %2").arg(o.pdf, error));
        return 1;
    }
    return 0;
}

} // namespace qqc::cli
