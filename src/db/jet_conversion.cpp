#include "db/jet_conversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace qqc::db {

namespace {

// A unique name beside the destination for the staging file; removed with
// its journal whatever happens.
class StagingFile {
public:
    explicit StagingFile(const QString& destination)
    {
        const QFileInfo info(destination);
        QTemporaryFile pick(info.dir().filePath(info.completeBaseName() + QStringLiteral("-jet-XXXXXX.staging")));
        pick.setAutoRemove(false);
        if (pick.open())
            path_ = pick.fileName();
    }
    ~StagingFile()
    {
        if (path_.isEmpty())
            return;
        QFile::remove(path_);
        QFile::remove(path_ + QStringLiteral("-journal"));
    }
    const QString& path() const { return path_; }

private:
    QString path_;
};

} // namespace

QString shortCountText(const std::vector<JetTableRows>& tables)
{
    QStringList lines;
    for (const auto& t : tables)
        lines << QStringLiteral("%1: %2 rows read, %3 in its table definition").arg(t.table).arg(t.read).arg(t.declared);
    return lines.join(QLatin1Char('\n'));
}

JetConversionResult convertJetDatabase(const JetConversionRequest& request)
{
    JetConversionResult result;
    const QString shownJet = QDir::toNativeSeparators(request.jetPath);
    if (QFileInfo(request.destination).absoluteFilePath() == QFileInfo(request.jetPath).absoluteFilePath()) {
        result.outcome = JetConversionResult::Refused;
        result.error = QStringLiteral("%1 cannot be converted onto itself; choose another name.").arg(shownJet);
        return result;
    }
    StagingFile staging(request.destination);
    if (staging.path().isEmpty()) {
        result.error = QStringLiteral("cannot read %1: no staging file can be written beside %2")
                           .arg(shownJet, QDir::toNativeSeparators(request.destination));
        return result;
    }

    JetStagingRequest read;
    read.jetPath = request.jetPath;
    read.stagingPath = staging.path();
    read.reader = request.reader;
    read.stallMs = request.stallMs;
    read.cancelRequested = request.cancelRequested;
    if (request.progress)
        read.progress = [&request](const JetReadProgress& p) {
            UpgradeProgress up;
            up.step = UpgradeStep::CopyData;
            up.status = p.table.isEmpty() ? QStringLiteral("Reading the Jet file.")
                                          : QStringLiteral("Reading table %1.").arg(p.table);
            up.table = p.table;
            up.record = p.row;
            up.records = p.rows;
            up.tablesDone = p.tablesDone;
            up.tablesTotal = p.tablesTotal;
            request.progress(up);
        };
    const JetStagingResult staged = readJetIntoStaging(read);
    result.tables = staged.tables;
    switch (staged.outcome) {
    case JetStagingResult::Done:
        break;
    case JetStagingResult::Cancelled:
        result.outcome = JetConversionResult::Cancelled;
        return result;
    case JetStagingResult::Refused:
        result.outcome = JetConversionResult::Refused;
        result.error = QStringLiteral("%1 cannot be converted: %2.").arg(shownJet, staged.error);
        return result;
    case JetStagingResult::Failed:
        result.error = staged.error;
        return result;
    }
    const std::vector<JetTableRows> shortTables = staged.shortTables();
    if (!shortTables.empty() && !(request.acceptShortCounts && request.acceptShortCounts(shortTables))) {
        result.outcome = JetConversionResult::ShortRows;
        result.error = QStringLiteral("%1: fewer rows were read than its tables declare:\n%2")
                           .arg(shownJet, shortCountText(shortTables));
        return result;
    }

    UpgradeRequest copy;
    copy.source = staging.path();
    copy.destination = request.destination;
    copy.templatePath = request.templatePath;
    copy.backup = false;   // the Jet file itself stays as it is
    copy.autoNumberCounters = staged.autoNumberCounters;
    copy.progress = request.progress;
    copy.cancelRequested = request.cancelRequested;
    copy.freeSpace = request.freeSpace;
    result.upgrade = upgradeDatabase(copy);
    switch (result.upgrade.outcome) {
    case UpgradeResult::Done:
        result.outcome = JetConversionResult::Done;
        break;
    case UpgradeResult::Cancelled:
        result.outcome = JetConversionResult::Cancelled;
        break;
    case UpgradeResult::NoSpace:
        result.outcome = JetConversionResult::NoSpace;
        result.error = QStringLiteral("Not enough disk space to convert %1: %2 kB needed, %3 kB free.")
                           .arg(shownJet)
                           .arg(result.upgrade.requiredBytes / 1024)
                           .arg(result.upgrade.freeBytes / 1024);
        break;
    case UpgradeResult::Failed:
        // The copy names the staging file; the user knows the Jet file.
        result.error = QStringLiteral("%1 cannot be converted: %2")
                           .arg(shownJet, QString(result.upgrade.error).replace(staging.path(), request.jetPath));
        break;
    }
    return result;
}

} // namespace qqc::db
