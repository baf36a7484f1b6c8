#include "cli/cli_jet.h"

#include "cli/cli_upgrade.h"
#include "db/jet_conversion.h"
#include "db/sample_database.h"

#include <QFileInfo>

namespace qqc::cli {

int runJetConversion(const Options& o, std::FILE* err)
{
    const auto warn = [err](const QString& text) { printTo(err, QStringLiteral("quorvelqc-cli: %1\n").arg(text)); };
    const QString path = o.upgradeFile;
    db::JetConversionRequest request;
    request.jetPath = path;
    request.destination = o.out.isEmpty() ? db::defaultConvertedPath(path) : o.out;
    request.templatePath = db::templatePath();
    if (QFileInfo::exists(request.destination)) {
        warn(QStringLiteral("%1 already exists; remove it or name another file with --out").arg(request.destination));
        return 1;
    }
    // No station may be asked here: the lock file is reported and the
    // conversion reads what the file holds now.
    if (const QString lock = db::jetLockFile(path); !lock.isEmpty())
        warn(QStringLiteral("%1 exists: another station may be writing to %2 while it is read").arg(lock, path));
    ProgressLines lines(o, err);
    request.progress = [&lines](const db::UpgradeProgress& p) { lines.show(p); };
    InterruptCancels cancels;
    request.cancelRequested = [&cancels] { return cancels.requested(); };
    request.acceptShortCounts = [&o](const std::vector<db::JetTableRows>&) { return o.acceptRowCounts; };
    const db::JetConversionResult result = db::convertJetDatabase(request);
    lines.finish();

    switch (result.outcome) {
    case db::JetConversionResult::Done:
        break;
    case db::JetConversionResult::Cancelled:
        warn(QStringLiteral("cancelled; nothing was written"));
        return 1;
    case db::JetConversionResult::ShortRows:
        warn(result.error + QStringLiteral("\nNothing was written; --accept-row-counts converts what was read."));
        return 1;
    default:
        warn(result.error);
        return 1;
    }
    printTo(err, QStringLiteral("Converted %1 (layout %2) into %3, read by this program only\n")
                     .arg(path)
                     .arg(result.upgrade.summary.sourceVersion)
                     .arg(request.destination));
    for (const auto& t : result.tables)
        if (t.read != t.declared)
            printTo(err, QStringLiteral("  %1: %2 rows read, %3 declared\n").arg(t.table).arg(t.read).arg(t.declared));
    for (const QString& line : result.upgrade.summary.lines())
        printTo(err, QStringLiteral("  %1\n").arg(line));
    try {
        return db::readLayoutVersion(request.destination) == db::CurrentLayoutVersion ? 0 : 1;
    } catch (const db::DbError& e) {
        warn(QStringLiteral("%1 cannot be read after the conversion: %2").arg(request.destination, e.description()));
        return 1;
    }
}

} // namespace qqc::cli
