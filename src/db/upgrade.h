#pragma once
// Bringing a sample database of an older layout to the current one, without
// a window: the upgrade window, quorvelqc-cli and the Jet conversion all run
// upgradeDatabase().
//
// What it does, in order (each step can be cancelled; a failure or Cancel at
// any step leaves the source byte-identical, removes the new and temporary
// files and keeps a finished backup):
//   1. checks the free space of the destination's folder (backup, new file
//      and its compacted copy: about three times the source plus the
//      template);
//   2. with `backup`, writes a compacted copy of the source to its backup
//      path (backupPathFor) through a temporary file and a rename;
//   3. copies the template to a new file beside the destination
//      ("newNNNNN.mdb") and fills it in one transaction with prepared
//      statements: Samples, SampleDetails, Customers (every key kept),
//      AlarmSets, AlarmData, References merged over the template's rows,
//      Images, the Defaults choice, Parameters rows the template lacks, and
//      the calibration history (derived from Samples.CalData in SampleID
//      order below layout 300, the source's own CalData rows at 300); every
//      auto-number continues after the highest copied key or the source's
//      own counter, whichever is higher;
//   4. compacts the new file into a temporary file beside the destination
//      and renames it over the destination. Only this rename replaces
//      anything; the leftover journal files of the database it replaced are
//      removed with it.
//
// The source is only ever read, on a read-only connection. It may be any
// SQLite file with the layout's tables and columns (old layouts lack some
// columns or tables: those keep the template's defaults), such as a staging
// file made from another database format. Values are copied as stored.
//
// upgradeDatabase() runs on any one thread (it opens its own connections);
// `progress` and `cancelRequested` are called on that thread.

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace qqc::db {

// The steps of an upgrade, in order; reported with the progress and handed
// to UpgradeRequest::beforeStep.
enum class UpgradeStep { FreeSpace, Backup, CopyTemplate, CopyData, Compact, Replace, Done };

struct UpgradeProgress {
    UpgradeStep step = UpgradeStep::FreeSpace;
    QString status;          // the status line ("Converting table Samples.")
    QString table;           // the table being copied; empty between tables
    qint64 record = 0;       // records of `table` done so far
    qint64 records = 0;      // records of `table` in the source
    int tablesDone = 0;      // overall progress: tables (and phases) done
    int tablesTotal = 0;     //   ... out of this many
};

struct UpgradeSummary {
    int sourceVersion = 0;
    QString backupPath;      // empty when no backup was asked for (or made)
    struct TableRows {
        QString table;
        qint64 rows = 0;     // rows written to the new database
    };
    std::vector<TableRows> tables;
    qint64 calibrationRowsDerived = 0;
    struct Skipped {
        QString table;
        QString reason;      // "CalData text is not four 16-bit integers", ...
        qint64 rows = 0;
    };
    std::vector<Skipped> skipped;
    // The template's limits kept in a user's alarm set that lacked them.
    struct LimitsAdded {
        qint64 alarmId = 0;
        std::vector<int> parmIds;
    };
    std::vector<LimitsAdded> templateLimitsAdded;

    qint64 rowsOf(const QString& table) const;
    qint64 skippedOf(const QString& table) const;
    // The summary as lines of text (rows per table, calibration rows,
    // skipped rows and why, template limits added, the backup).
    QStringList lines() const;
};

struct UpgradeRequest {
    QString source;          // the database to read (layout version <= 300)
    QString destination;     // where the upgraded database ends up; may equal
                             // `source` (replaced in place). An existing file
                             // there is replaced only by the final rename.
    QString templatePath;    // DBquorqc.tpl
    bool backup = true;      // a compacted backup of the source at backupPathFor(source)
    // Last numbers handed out by the source's auto-numbers that its rows do
    // not show (table -> number), besides its own sqlite_sequence: a staging
    // file carries another format's counters here.
    QHash<QString, qint64> autoNumberCounters;
    // Called with each change of step, table and every few hundred records.
    std::function<void(const UpgradeProgress&)> progress;
    // Polled often (also inside long statements); true cancels.
    std::function<bool()> cancelRequested;
    // Free bytes in a folder; nullopt when the query fails. Null: QStorageInfo.
    std::function<std::optional<qint64>(const QString& folder)> freeSpace;
    // Tests: called before each step; may throw DbError to fail it there.
    std::function<void(UpgradeStep)> beforeStep;
};

struct UpgradeResult {
    enum Outcome { Done, Cancelled, Failed, NoSpace } outcome = Failed;
    // Failed: the engine's number and text (DbErr numbers, 3026 disk full).
    int errorNumber = 0;
    QString error;
    // NoSpace (and always filled once checked): what the upgrade needs and
    // what the folder has; free is -1 when the query failed.
    qint64 requiredBytes = 0;
    qint64 freeBytes = 0;
    UpgradeSummary summary;  // filled as far as the run went
};

// The backup path of a database: its final extension, in any case, becomes
// ".bak" (appended when it has none). Empty when that would be the database
// path itself (a database named "*.bak").
QString backupPathFor(const QString& dbPath);

// Databaseversion of a file, read on a connection that cannot change it;
// throws DbError (NotADatabase, ObjectNotFound for a file without
// SystemData, ...).
int readLayoutVersion(const QString& path);

// The bytes an upgrade of `source` needs free in the destination folder.
qint64 upgradeSpaceNeeded(qint64 sourceBytes, qint64 templateBytes, bool backup);

UpgradeResult upgradeDatabase(const UpgradeRequest& request);

} // namespace qqc::db
