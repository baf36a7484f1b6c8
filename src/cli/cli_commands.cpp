#include "cli/cli_commands.h"

#include "cli/cli_report.h"
#include "cli/cli_upgrade.h"

#include "config/settings.h"
#include "db/database_copy.h"
#include "db/sample_database.h"
#include "db/server_uri.h"
#include "util/ini_file.h"
#include "util/program_folder.h"
#include "util/vb_format.h"
#include "views/exchange.h"
#include "views/exchange_format.h"
#include "views/grid_columns.h"
#include "views/sample_grid_store.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace qqc::cli {

namespace {

constexpr size_t kPage = 512;

void print(std::FILE* to, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

void warn(std::FILE* err, const QString& text) { print(err, QStringLiteral("quorvelqc-cli: %1\n").arg(text)); }

QString idList(const std::vector<qint32>& ids)
{
    QStringList names;
    for (qint32 id : ids)
        names << QString::number(id);
    return names.join(QStringLiteral(", "));
}

// The database the command names, or the one the settings file names. The
// program folder (settings, Img) is chosen as the monitor chooses it.
QString databasePath(const Options& o)
{
    setProgramFolder(ChooseProgramFolder(o.home, qEnvironmentVariable("QUORVELQC_HOME"),
                                         QCoreApplication::applicationDirPath(),
                                         QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
    if (!o.database.isEmpty())
        return o.database;
    return DatabaseSettings::readFile(IniFile(programFile(QStringLiteral("quorvelqc.ini"))));
}

// The progress line: in place on a terminal, nothing elsewhere or with --quiet.
ExchangeProgress progressLine(const Options& o, std::FILE* err, const QString& what)
{
    if (o.quiet || !isatty(fileno(err)))
        return {};
    return [err, what](qint64 done, qint64 total) {
        print(err, QStringLiteral("\r%1 %2 of %3").arg(what).arg(done).arg(total));
        if (done >= total)
            print(err, QStringLiteral("\n"));
        std::fflush(err);
        return true;
    };
}

// The chosen samples, newest first as the sample window lists them; warns of
// SampleIDs that do not exist.
std::vector<qint32> selection(const Options& o, const SampleGridStore& store, std::FILE* err)
{
    const std::vector<qint32> all = store.loadSampleIds(GridSortKey{});
    if (o.all)
        return all;
    std::vector<qint32> chosen;
    std::set<qint32> missing = o.samples;
    for (qint32 id : all)
        if (missing.erase(id) > 0)
            chosen.push_back(id);
    if (!missing.empty()) {
        std::vector<qint32> unknown(missing.begin(), missing.end());
        warn(err, QStringLiteral("warning: no sample with SampleID %1").arg(idList(unknown)));
    }
    return chosen;
}

QString severityText(const QVariant& v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    return v.isNull() || !ok ? QString() : SingleToText(float(d));
}

void listSamples(const SampleGridStore& store, const std::vector<qint32>& ids, std::FILE* out)
{
    const ExchangeCatalogue catalogue(store.loadParameters());
    QStringList header = {QStringLiteral("SampleID"), QStringLiteral("Sample #"), QStringLiteral("Date"),
                          QStringLiteral("Equip. ID"), QStringLiteral("Wear"), QStringLiteral("Contam"),
                          QStringLiteral("Chem")};
    for (const GridParameter& p : catalogue.parameters())
        header << p.description;
    print(out, header.join(QLatin1Char('\t')) + QLatin1Char('\n'));
    for (size_t from = 0; from < ids.size(); from += kPage) {
        const std::vector<qint32> page(ids.begin() + qsizetype(from),
                                       ids.begin() + qsizetype(std::min(ids.size(), from + kPage)));
        const QHash<qint32, GridSampleRow> rows = store.fetchRows(page);
        QString text;
        for (qint32 id : page) {
            const auto it = rows.constFind(id);
            if (it == rows.cend())
                continue;
            const GridSampleRow& r = *it;
            const QDateTime date = storedDateTime(r.sampleDate);
            QStringList f = {QString::number(id),
                             r.sampleNum.isNull() ? QString::number(id) : r.sampleNum.toString(),
                             date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString(),
                             r.equipmentId.toString(), severityText(r.wearSev), severityText(r.contamSev),
                             severityText(r.chemSev)};
            for (const GridParameter& p : catalogue.parameters()) {
                const GridDetail* d = r.detail(p.parmId);
                f << (d ? catalogue.valueText(p.parmId, d->value) : QString());
            }
            // One sample, one line: tabs and line breaks inside texts become blanks.
            for (QString& field : f)
                for (QChar& c : field)
                    if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                        c = QLatin1Char(' ');
            text += f.join(QLatin1Char('\t')) + QLatin1Char('\n');
        }
        print(out, text);
    }
}

int runReading(const Options& o, const QString& path, std::FILE* out, std::FILE* err)
{
    db::OpenOptions readOnly;
    readOnly.access = db::OpenOptions::Access::ReadOnly;
    std::unique_ptr<db::Database> database = db::Database::open(path, readOnly);
    const SampleGridStore store(database.get());
    const std::vector<qint32> ids = selection(o, store, err);
    if (ids.empty() && !o.all) {
        warn(err, QStringLiteral("the selection names no sample of %1").arg(path));
        return 1;
    }
    if (o.command == Command::List) {
        listSamples(store, ids, out);
        return 0;
    }
    ExportRequest request;
    request.format = o.command == Command::ExportCsv ? ExportFormat::Csv : ExportFormat::Generic;
    request.path = o.out;
    request.sampleIds = ids;
    request.askMissingEquipment = false;
    request.progress = progressLine(o, err, QStringLiteral("Exporting"));
    const ExportResult result = exportSamples(*database, request);
    if (result.status != ExchangeOutcome::Done) {
        warn(err, QStringLiteral("export failed, no file written: %1").arg(result.error));
        return 1;
    }
    if (!result.missingEquipment.empty())
        warn(err, QStringLiteral("warning: no equipment ID in sample(s) %1; exported as if set")
                      .arg(idList(result.missingEquipment)));
    if (!result.replacedCharacters.empty())
        warn(err, QStringLiteral("warning: characters Windows-1252 cannot hold were written as \"?\" in sample(s) %1")
                      .arg(idList(result.replacedCharacters)));
    return 0;
}

int runImport(const Options& o, const QString& path, std::FILE* out, std::FILE* err)
{
    auto status = db::SampleDatabase::OpenStatus::Opened;
    const std::unique_ptr<db::SampleDatabase> store = db::SampleDatabase::open(path, status);
    if (status != db::SampleDatabase::OpenStatus::Opened || !store) {
        warn(err, QStringLiteral("%1 needs an upgrade; open it in the monitor first").arg(path));
        return 1;
    }
    const ImportResult result =
        importGenericFile(store->database(), o.importFile, progressLine(o, err, QStringLiteral("Importing")));
    if (result.status != ExchangeOutcome::Done) {
        warn(err, QStringLiteral("import failed, nothing stored: %1").arg(result.error));
        return 1;
    }
    QString report = result.report;
    print(out, report.replace(QLatin1String("\r\n"), QLatin1String("\n")));
    return 0;
}

int runCopy(const Options& o, std::FILE* out, std::FILE* err)
{
    if (!db::isServerUri(o.from) && !QFileInfo(o.from).isFile()) {
        warn(err, QStringLiteral("no database \"%1\"").arg(o.from));
        return 1;
    }
    db::OpenOptions readOnly;
    readOnly.access = db::OpenOptions::Access::ReadOnly;
    const auto from = db::Database::open(o.from, readOnly);
    const auto to = db::openCopyTarget(o.to, db::templatePath());
    const qint64 rows = db::copyDataTables(*from, *to, progressLine(o, err, QStringLiteral("Copying rows")));
    print(out, QStringLiteral("%1 rows copied from %2 to %3\n").arg(rows).arg(from->path(), to->path()));
    return 0;
}

} // namespace

int run(const Options& o, std::FILE* out, std::FILE* err)
{
    if (o.command == Command::Upgrade)
        return runUpgrade(o, err);
    if (o.command == Command::CopyDb) {
        try {
            return runCopy(o, out, err);
        } catch (const db::DbError& e) {
            warn(err, QStringLiteral("copy failed, nothing copied: %1 (error %2)").arg(e.description()).arg(e.number()));
            return 1;
        }
    }
    const QString path = databasePath(o);
    if (path.isEmpty() || (!db::isServerUri(path) && !QFileInfo(path).isFile())) {
        warn(err, QStringLiteral("no database \"%1\"").arg(path));
        return 1;
    }
    if (const QString refusal = olderLayoutRefusal(path); !refusal.isEmpty()) {
        warn(err, refusal);
        return 1;
    }
    try {
        if (o.command == Command::Report)
            return runReport(o, path, err);
        return o.command == Command::ImportGeneric ? runImport(o, path, out, err) : runReading(o, path, out, err);
    } catch (const db::DbError& e) {
        warn(err, QStringLiteral("%1 (error %2)").arg(e.description()).arg(e.number()));
        return 1;
    }
}

} // namespace qqc::cli
