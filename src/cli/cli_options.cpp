#include "cli/cli_options.h"

#include <QRegularExpression>

#include <limits>

namespace qqc::cli {

namespace {

constexpr qint64 kLargestRange = 10'000'000;

std::optional<qint32> sampleId(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,10}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const qint64 n = text.toLongLong();
    if (n < 1 || n > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(n);
}

} // namespace

std::optional<std::set<qint32>> parseSampleList(const QString& text)
{
    std::set<qint32> ids;
    const QStringList items = text.split(QLatin1Char(','));
    for (const QString& raw : items) {
        const QString item = raw.trimmed();
        const qsizetype dash = item.indexOf(QLatin1Char('-'));
        const auto first = sampleId(dash < 0 ? item : item.left(dash).trimmed());
        const auto last = dash < 0 ? first : sampleId(item.mid(dash + 1).trimmed());
        if (!first || !last || *last < *first || qint64(*last) - *first > kLargestRange)
            return std::nullopt;
        for (qint64 id = *first; id <= *last; ++id)
            ids.insert(qint32(id));
    }
    return ids;
}

QString helpText()
{
    return QStringLiteral(
        "Usage: quorvelqc-cli COMMAND [options]\n"
        "\n"
        "Commands:\n"
        "  export-csv      Write samples to a CSV table (--out FILE)\n"
        "  export-generic  Write samples to a generic exchange file (--out FILE)\n"
        "  import-generic FILE\n"
        "                  Add the new samples of a generic exchange file\n"
        "  list            Print samples, one tab-separated line each\n"
        "  report          Write one sample's report as a PDF file\n"
        "                  (--sample N --pdf FILE [--paper a4|letter])\n"
        "  upgrade FILE    Bring a database of an older layout to the current one\n"
        "                  (a backup FILE.bak is kept; the summary goes to stderr).\n"
        "                  A Jet file (.mdb, .accdb) is converted into a new database,\n"
        "                  FILE-converted.mdb or --out F, read by this program only;\n"
        "                  FILE itself is never changed\n"
        "  copy-db --from DB --to DB\n"
        "                  Copy a laboratory's samples, alarm sets, oils, customers\n"
        "                  and calibrations between a file and a PostgreSQL database\n"
        "                  (postgresql://user@host/dbname), either way, in one\n"
        "                  transaction; the target is made from the template when\n"
        "                  it does not exist or is empty, and must hold no samples\n"
        "\n"
        "Options:\n"
        "  --db FILE       The database (default: the one the settings name)\n"
        "  --home DIR      The program folder holding quorvelqc.ini\n"
        "                  (default: $QUORVELQC_HOME, else the program's folder)\n"
        "  --all           Every sample (exports need --all or --samples)\n"
        "  --samples LIST  SampleIDs and ranges, e.g. 3,5-9\n"
        "  --out FILE      The file an export writes (replaced whole)\n"
        "  --quiet         No progress line\n"
        "  --sample N      The SampleID of the report (its \"Sample #\")\n"
        "  --pdf FILE      The PDF file the report writes (replaced whole)\n"
        "  --paper SIZE    a4 or letter (default: Letter in US and Canadian\n"
        "                  locales, A4 elsewhere)\n"
        "  --accept-row-counts\n"
        "                  Convert a Jet file whose tables gave fewer rows than their\n"
        "                  definitions declare (a file not closed cleanly)\n"
        "  --help          This text\n"
        "\n"
        "Samples are written newest first, as the sample window lists them.\n"
        "Exports, list and report open the database read-only; report takes\n"
        "its labels, colours and pictures from the program folder. Exit status: 0 done,\n"
        "1 failed (nothing stored, no file written), 2 a command line that\n"
        "cannot be parsed.\n");
}

Parsed parseCommandLine(const QStringList& arguments)
{
    Parsed parsed;
    const auto fail = [&parsed](const QString& why) {
        parsed.error = why;
        parsed.options.reset();
        return parsed;
    };
    Options o;
    std::optional<Command> command;
    bool all = false;
    bool someSamples = false;
    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const auto value = [&](QString& into) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--")))
                return false;
            into = arguments[++i];
            return true;
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            parsed.help = true;
            return parsed;
        }
        if (a == QLatin1String("--db")) {
            if (!value(o.database))
                return fail(QStringLiteral("--db needs a file"));
        } else if (a == QLatin1String("--home")) {
            if (!value(o.home))
                return fail(QStringLiteral("--home needs a folder"));
        } else if (a == QLatin1String("--out")) {
            if (!value(o.out))
                return fail(QStringLiteral("--out needs a file"));
        } else if (a == QLatin1String("--from") || a == QLatin1String("--to")) {
            if (!value(a == QLatin1String("--from") ? o.from : o.to))
                return fail(QStringLiteral("%1 needs a database file or postgresql:// address").arg(a));
        } else if (a == QLatin1String("--all")) {
            all = true;
        } else if (a == QLatin1String("--samples")) {
            QString list;
            if (!value(list))
                return fail(QStringLiteral("--samples needs a list such as 3,5-9"));
            const auto ids = parseSampleList(list);
            if (!ids)
                return fail(QStringLiteral("--samples: \"%1\" is not a list of SampleIDs such as 3,5-9").arg(list));
            o.samples.insert(ids->begin(), ids->end());
            someSamples = true;
        } else if (a == QLatin1String("--sample")) {
            QString n;
            const auto id = value(n) ? sampleId(n) : std::nullopt;
            if (!id)
                return fail(QStringLiteral("--sample needs a SampleID"));
            o.sample = *id;
        } else if (a == QLatin1String("--pdf")) {
            if (!value(o.pdf))
                return fail(QStringLiteral("--pdf needs a file"));
        } else if (a == QLatin1String("--paper")) {
            if (!value(o.paper) || (o.paper != QLatin1String("a4") && o.paper != QLatin1String("letter")))
                return fail(QStringLiteral("--paper takes a4 or letter"));
        } else if (a == QLatin1String("--quiet")) {
            o.quiet = true;
        } else if (a == QLatin1String("--accept-row-counts")) {
            o.acceptRowCounts = true;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return fail(QStringLiteral("unknown option %1").arg(a));
        } else {
            positional << a;
        }
    }
    if (positional.isEmpty())
        return fail(QStringLiteral("no command given"));
    const QString name = positional.takeFirst();
    if (name == QLatin1String("export-csv"))
        command = Command::ExportCsv;
    else if (name == QLatin1String("export-generic"))
        command = Command::ExportGeneric;
    else if (name == QLatin1String("import-generic"))
        command = Command::ImportGeneric;
    else if (name == QLatin1String("list"))
        command = Command::List;
    else if (name == QLatin1String("report"))
        command = Command::Report;
    else if (name == QLatin1String("upgrade"))
        command = Command::Upgrade;
    else if (name == QLatin1String("copy-db"))
        command = Command::CopyDb;
    else
        return fail(QStringLiteral("unknown command %1").arg(name));
    o.command = *command;
    const bool exporting = o.command == Command::ExportCsv || o.command == Command::ExportGeneric;
    if (o.command == Command::ImportGeneric) {
        if (positional.size() != 1)
            return fail(QStringLiteral("import-generic needs one file"));
        if (all || someSamples || !o.out.isEmpty())
            return fail(QStringLiteral("import-generic takes no --all, --samples or --out"));
        o.importFile = positional.front();
    } else if (o.command == Command::Upgrade) {
        if (positional.size() != 1)
            return fail(QStringLiteral("upgrade needs one file"));
        if (all || someSamples || !o.database.isEmpty())
            return fail(QStringLiteral("upgrade takes no --db, --all or --samples"));
        o.upgradeFile = positional.front();
    } else if (!positional.isEmpty()) {
        return fail(QStringLiteral("unexpected argument %1").arg(positional.front()));
    }
    const bool report = o.command == Command::Report;
    if (report && (o.sample == 0 || o.pdf.isEmpty()))
        return fail(QStringLiteral("report needs --sample N and --pdf FILE"));
    if (report && (all || someSamples || !o.out.isEmpty()))
        return fail(QStringLiteral("report takes no --all, --samples or --out"));
    if (!report && (o.sample != 0 || !o.pdf.isEmpty() || !o.paper.isEmpty()))
        return fail(QStringLiteral("--sample, --pdf and --paper belong to report"));
    if (o.acceptRowCounts && o.command != Command::Upgrade)
        return fail(QStringLiteral("--accept-row-counts is an option of upgrade"));
    if ((o.command == Command::CopyDb) != (!o.from.isEmpty() || !o.to.isEmpty()))
        return fail(o.command == Command::CopyDb ? QStringLiteral("copy-db needs --from DB and --to DB")
                                                 : QStringLiteral("--from and --to belong to copy-db"));
    if (o.command == Command::CopyDb && (o.from.isEmpty() || o.to.isEmpty() || all || someSamples || !o.out.isEmpty()))
        return fail(QStringLiteral("copy-db takes --from DB and --to DB only"));
    if (all && someSamples)
        return fail(QStringLiteral("--all and --samples exclude each other"));
    if (exporting && !all && !someSamples)
        return fail(QStringLiteral("%1 needs --all or --samples").arg(name));
    if (exporting && o.out.isEmpty())
        return fail(QStringLiteral("%1 needs --out FILE").arg(name));
    if (o.command == Command::List && !o.out.isEmpty())
        return fail(QStringLiteral("list writes to standard output; it takes no --out"));
    o.all = !someSamples;
    parsed.options = o;
    return parsed;
}

} // namespace qqc::cli
