#include "db/upgrade.h"

#include "db/connection.h"
#include "db/engine.h"
#include "db/sample_database.h"
#include "util/common.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace qqc::db {

namespace {

struct CancelledRun {};

// Rows copied per statement: small enough that Cancel and the progress bars
// follow closely, large enough that the statements cost nothing.
constexpr int ChunkRows = 512;

std::atomic<int> connectionCounter{0};

QString quoted(const QString& name) { return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"'); }

QString sqliteUri(const QString& path, bool readOnly)
{
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(readOnly ? QStringLiteral("mode=ro") : QStringLiteral("mode=rw"));
    return url.toString(QUrl::FullyEncoded);
}

// Writes a file's data and the folder entry to disk, so that a rename of
// it is durable once it returns.
void syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw DbError(DbErr::DiskIo, QStringLiteral("Disk or network error (cannot sync '%1').").arg(path));
    }
    ::close(fd);
}

void syncFolder(const QString& folder)
{
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// rename(2): replaces `to` in one step, so the path always names a whole file.
void replaceFile(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw DbError(DbErr::DiskIo, QStringLiteral("Disk or network error (cannot rename '%1' to '%2').").arg(from, to));
}

// A temporary file name beside `path` that does not exist yet.
QString temporaryBeside(const QString& path)
{
    const QFileInfo info(path);
    for (int n = 0;; ++n) {
        const QString name = info.absolutePath() + QLatin1Char('/') + QLatin1Char('.') + info.fileName()
                             + QStringLiteral(".upgrade%1.tmp").arg(n);
        if (!QFileInfo::exists(name))
            return name;
    }
}

// One Qt SQL connection of this run's thread, removed with it.
class SqlConnection {
public:
    SqlConnection(const QString& path, bool readOnly)
        : name_(QStringLiteral("qqc-upgrade-%1").arg(++connectionCounter))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(sqliteUri(path, readOnly));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=3000")
                             + (readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
        if (!db.open()) {
            const DbError e = fromSqlError(db.lastError(), path);
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name_);
            throw e;
        }
    }
    ~SqlConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
};

class Query {
public:
    explicit Query(const QSqlDatabase& db, const QString& sql) : q_(db), sql_(sql)
    {
        q_.setForwardOnly(true);
        if (!q_.prepare(sql))
            throw fromSqlError(q_.lastError(), sql);
    }
    Query& exec(const QVariantList& params = {})
    {
        for (int i = 0; i < params.size(); ++i)
            q_.bindValue(i, params[i]);
        if (!q_.exec())
            throw fromSqlError(q_.lastError(), sql_);
        return *this;
    }
    bool next() { return q_.next(); }
    QVariant value(int i) const { return q_.value(i); }
    int changes() const { return q_.numRowsAffected(); }
    // The first value of the first row; null when there is none.
    QVariant scalar(const QVariantList& params = {})
    {
        exec(params);
        QVariant v = q_.next() ? q_.value(0) : QVariant();
        q_.finish();
        return v;
    }
    void finish() { q_.finish(); }

private:
    QSqlQuery q_;
    QString sql_;
};

void run(const QSqlDatabase& db, const QString& sql, const QVariantList& params = {})
{
    Query(db, sql).exec(params).finish();
}

// Four 16-bit integers separated by ","; false for anything else.
bool parseCalData(const QString& text, std::array<int, 4>& counts)
{
    const QStringList items = text.split(QLatin1Char(','));
    if (items.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int v = items[i].trimmed().toInt(&ok);
        if (!ok || v < -32768 || v > 32767)
            return false;
        counts[size_t(i)] = v;
    }
    return true;
}

class UpgradeRun {
public:
    UpgradeRun(const UpgradeRequest& request, UpgradeResult& result) : req_(request), res_(result) {}
    void execute();
    void cleanUp();
    bool cancelSeen() const { return cancelSeen_; }

private:
    void enter(UpgradeStep step, const QString& status);
    void report() { if (req_.progress) req_.progress(progress_); }
    void checkCancel();
    bool pollCancel();
    void watchCancel(const QSqlDatabase& db, bool on);

    void checkFreeSpace();
    void writeBackup();
    void copyTemplate();
    void copyData();
    void compactAndReplace();

    // Copying from the attached source "src" into the new file "main".
    bool sourceHas(const QString& table);
    QStringList columnsOf(const QString& schema, const QString& table);
    enum class Mode { Plain, Merge, AddMissing };
    void copyTable(const QString& table, Mode mode, const QStringList& keys, const QString& filter = QString());
    void deriveHistory();
    void copyDefaults();
    void noteLimitsAdded();
    void continueAutoNumbers();
    void skip(const QString& table, const QString& reason, qint64 rows);

    const UpgradeRequest& req_;
    UpgradeResult& res_;
    UpgradeProgress progress_;
    QSqlDatabase db_;   // the new file, with the source attached
    QString newFile_, compacted_, backupTemp_;
    bool cancelSeen_ = false;
};

void UpgradeRun::enter(UpgradeStep step, const QString& status)
{
    if (req_.beforeStep)
        req_.beforeStep(step);
    checkCancel();
    progress_.step = step;
    progress_.status = status;
    progress_.table.clear();
    progress_.record = progress_.records = 0;
    report();
}

bool UpgradeRun::pollCancel()
{
    if (!cancelSeen_ && req_.cancelRequested && req_.cancelRequested())
        cancelSeen_ = true;
    return cancelSeen_;
}

void UpgradeRun::checkCancel()
{
    if (pollCancel())
        throw CancelledRun{};
}

// Inside a long statement (a compaction, a large chunk) Cancel interrupts
// the statement itself, through the driver's own handle when it is the
// SQLite library this program links.
void UpgradeRun::watchCancel(const QSqlDatabase& db, bool on)
{
#ifdef QQC_NATIVE_SQLITE
    sqlite3* handle = linkedSqliteHandle(db);
    if (!handle)
        return;
    if (on)
        sqlite3_progress_handler(
            handle, 20000, [](void* self) { return static_cast<UpgradeRun*>(self)->pollCancel() ? 1 : 0; }, this);
    else
        sqlite3_progress_handler(handle, 0, nullptr, nullptr);
#else
    Q_UNUSED(db);
    Q_UNUSED(on);
#endif
}

void UpgradeRun::checkFreeSpace()
{
    enter(UpgradeStep::FreeSpace, QStringLiteral("Checking disk space."));
    const QString folder = QFileInfo(req_.destination).absolutePath();
    const qint64 sourceBytes = QFileInfo(req_.source).size();
    const qint64 templateBytes = QFileInfo(req_.templatePath).size();
    res_.requiredBytes = upgradeSpaceNeeded(sourceBytes, templateBytes, req_.backup);
    std::optional<qint64> free;
    if (req_.freeSpace) {
        free = req_.freeSpace(folder);
    } else {
        QStorageInfo storage(folder);
        if (storage.isValid() && storage.isReady() && storage.bytesAvailable() >= 0)
            free = storage.bytesAvailable();
    }
    res_.freeBytes = free.value_or(-1);
    if (!free || *free < res_.requiredBytes)
        res_.outcome = UpgradeResult::NoSpace;
}

void UpgradeRun::writeBackup()
{
    enter(UpgradeStep::Backup, QStringLiteral("Backup and compact DB."));
    const QString backup = backupPathFor(req_.source);
    if (backup.isEmpty())
        throw DbError(DbErr::Generic, QStringLiteral("The backup of '%1' would be the database itself.").arg(req_.source));
    backupTemp_ = temporaryBeside(backup);
    {
        SqlConnection source(req_.source, true);
        watchCancel(source.db(), true);
        run(source.db(), QStringLiteral("VACUUM INTO ?"), {backupTemp_});
        watchCancel(source.db(), false);
    }
    checkCancel();
    syncFile(backupTemp_);
    replaceFile(backupTemp_, backup);
    backupTemp_.clear();
    syncFolder(QFileInfo(backup).absolutePath());
    res_.summary.backupPath = backup;
    ++progress_.tablesDone;
}

void UpgradeRun::copyTemplate()
{
    enter(UpgradeStep::CopyTemplate, QStringLiteral("Creating the new database."));
    const QString folder = QFileInfo(req_.destination).absolutePath();
    newFile_ = NextNumberedFileName(folder + QLatin1Char('/'), QStringLiteral("new"), QStringLiteral("mdb"));
    QFile::remove(newFile_);
    if (!QFile::copy(req_.templatePath, newFile_))
        throw DbError(DbErr::DiskFull, QStringLiteral("Cannot copy the template '%1' to '%2'.").arg(req_.templatePath, newFile_));
    QFile::setPermissions(newFile_, QFile::permissions(newFile_) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    ++progress_.tablesDone;
}

bool UpgradeRun::sourceHas(const QString& table)
{
    return Query(db_, QStringLiteral("SELECT 1 FROM src.sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"))
        .scalar({table})
        .isValid();
}

QStringList UpgradeRun::columnsOf(const QString& schema, const QString& table)
{
    Query q(db_, QStringLiteral("SELECT name FROM pragma_table_info(?, ?) ORDER BY cid"));
    q.exec({table, schema});
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

void UpgradeRun::skip(const QString& table, const QString& reason, qint64 rows)
{
    if (rows <= 0)
        return;
    for (auto& s : res_.summary.skipped)
        if (s.table == table && s.reason == reason) {
            s.rows += rows;
            return;
        }
    res_.summary.skipped.push_back({table, reason, rows});
}

// Copies the rows of `table` the source holds, in chunks of its rowid (one
// statement for a table without one), every column both tables have.
// Plain: rows whose key is taken are skipped. Merge: a row whose key the
// template holds overwrites the template's fields the source has, the
// others keep the template's values. AddMissing: only rows whose key the
// new file lacks. `filter` narrows the source rows further.
void UpgradeRun::copyTable(const QString& table, Mode mode, const QStringList& keys, const QString& filter)
{
    checkCancel();
    progress_.table = table;
    progress_.status = QStringLiteral("Converting table %1.").arg(table);
    progress_.record = progress_.records = 0;
    qint64 written = 0;
    if (sourceHas(table)) {
        const QStringList target = columnsOf(QStringLiteral("main"), table);
        const QStringList source = columnsOf(QStringLiteral("src"), table);
        QStringList into, from, updates;
        for (const QString& column : target) {
            for (const QString& s : source) {
                if (s.compare(column, Qt::CaseInsensitive) != 0)
                    continue;
                into << quoted(column);
                from << quoted(s);
                if (!keys.contains(column))
                    updates << quoted(column) + QStringLiteral(" = excluded.") + quoted(column);
            }
        }
        QStringList where;
        for (const QString& key : keys) {
            if (!into.contains(quoted(key)))
                throw DbError(DbErr::ItemNotFound, QStringLiteral("Table %1 of '%2' has no field %3.").arg(table, req_.source, key));
            if (mode != Mode::Plain || keys.size() > 1)
                where << quoted(key) + QStringLiteral(" IS NOT NULL");
        }
        if (!filter.isEmpty())
            where << QLatin1Char('(') + filter + QLatin1Char(')');
        const QString src = QStringLiteral("src.") + quoted(table);
        progress_.records = Query(db_, QStringLiteral("SELECT count(*) FROM ") + src).scalar().toLongLong();
        report();

        QString insert = (mode == Mode::Merge ? QStringLiteral("INSERT INTO main.") : QStringLiteral("INSERT OR IGNORE INTO main."))
                         + quoted(table) + QLatin1String(" (") + into.join(QLatin1Char(',')) + QLatin1String(") SELECT ")
                         + from.join(QLatin1Char(',')) + QLatin1String(" FROM ") + src + QLatin1String(" WHERE ");
        const bool byRowid = [&] {
            QSqlQuery probe(db_);
            const bool ok = probe.exec(QStringLiteral("SELECT rowid FROM %1 LIMIT 0").arg(src));
            return ok;
        }();
        QStringList chunkWhere = where;
        if (byRowid)
            chunkWhere.prepend(QStringLiteral("rowid > ? AND rowid <= ?"));
        insert += chunkWhere.isEmpty() ? QStringLiteral("1") : chunkWhere.join(QLatin1String(" AND "));
        if (mode == Mode::Merge) {
            QStringList keyList;
            for (const QString& k : keys)
                keyList << quoted(k);
            insert += QLatin1String(" ON CONFLICT (") + keyList.join(QLatin1Char(',')) + QLatin1String(") DO ")
                      + (updates.isEmpty() ? QStringLiteral("NOTHING") : QLatin1String("UPDATE SET ") + updates.join(QLatin1Char(',')));
        }
        Query write(db_, insert);
        if (byRowid) {
            Query chunkEnd(db_, QStringLiteral("SELECT rowid FROM %1 WHERE rowid > ? ORDER BY rowid LIMIT 1 OFFSET %2")
                                    .arg(src)
                                    .arg(ChunkRows - 1));
            const QVariant last = Query(db_, QStringLiteral("SELECT max(rowid) FROM ") + src).scalar();
            qint64 from = Query(db_, QStringLiteral("SELECT min(rowid) FROM ") + src).scalar().toLongLong() - 1;
            const qint64 lastRowid = last.toLongLong();
            while (last.isValid() && !last.isNull() && from < lastRowid) {
                const QVariant end = chunkEnd.scalar({from});
                const qint64 to = end.isValid() && !end.isNull() ? end.toLongLong() : lastRowid;
                write.exec({from, to});
                written += write.changes();
                progress_.record = std::min(progress_.records, progress_.record + ChunkRows);
                report();
                checkCancel();
                from = to;
            }
        } else {
            write.exec();
            written += write.changes();
        }
        progress_.record = progress_.records;
        if (mode != Mode::AddMissing)
            skip(table, mode == Mode::Merge ? QStringLiteral("no key") : QStringLiteral("duplicate or missing key"),
                 progress_.records - written);
    }
    res_.summary.tables.push_back({table, written});
    ++progress_.tablesDone;
    report();
}

// The calibration history of an older layout: walking the samples in
// SampleID order, a row for each CalData text that differs from the last
// one taken, dated by the sample. Empty texts and texts that are not four
// 16-bit integers leave the last one as it was.
void UpgradeRun::deriveHistory()
{
    checkCancel();
    const QString table = QStringLiteral("CalData");
    progress_.table = table;
    progress_.status = QStringLiteral("Converting table %1.").arg(table);
    progress_.record = progress_.records = 0;
    qint64 derived = 0, malformed = 0;
    const QStringList columns = sourceHas(QStringLiteral("Samples")) ? columnsOf(QStringLiteral("src"), QStringLiteral("Samples")) : QStringList();
    const auto has = [&](const QString& c) { return columns.contains(c, Qt::CaseInsensitive); };
    if (has(QStringLiteral("SampleID")) && has(QStringLiteral("CalData")) && has(QStringLiteral("SampleDate"))) {
        progress_.records = Query(db_, QStringLiteral("SELECT count(*) FROM src.Samples")).scalar().toLongLong();
        report();
        Query walk(db_, QStringLiteral("SELECT SampleDate, CalData FROM src.Samples ORDER BY SampleID"));
        Query add(db_, QStringLiteral("INSERT INTO main.CalData (CalDate, Freq220, Freq300, Diel220, Diel300) VALUES (?, ?, ?, ?, ?)"));
        walk.exec();
        QString previous;
        std::array<int, 4> counts{};
        while (walk.next()) {
            const QString text = walk.value(1).toString();
            if (!text.isEmpty() && text != previous) {
                if (parseCalData(text, counts)) {
                    previous = text;
                    add.exec({walk.value(0), counts[0], counts[1], counts[2], counts[3]});
                    ++derived;
                } else {
                    ++malformed;
                }
            }
            if (++progress_.record % ChunkRows == 0) {
                report();
                checkCancel();
            }
        }
        walk.finish();
    }
    skip(table, QStringLiteral("CalData text is not four 16-bit integers"), malformed);
    res_.summary.calibrationRowsDerived = derived;
    res_.summary.tables.push_back({table, derived});
    ++progress_.tablesDone;
    report();
}

// The template limits a user's alarm set keeps because it lacked them.
void UpgradeRun::noteLimitsAdded()
{
    if (!sourceHas(QStringLiteral("AlarmSets")) || !sourceHas(QStringLiteral("AlarmData")))
        return;
    Query q(db_, QStringLiteral("SELECT t.AlarmID, t.ParmID FROM main.AlarmData t "
                                "WHERE t.AlarmID IN (SELECT AlarmID FROM src.AlarmSets) AND NOT EXISTS "
                                "(SELECT 1 FROM src.AlarmData s WHERE s.AlarmID = t.AlarmID AND s.ParmID = t.ParmID) "
                                "ORDER BY t.AlarmID, t.ParmID"));
    q.exec();
    while (q.next()) {
        const qint64 set = q.value(0).toLongLong();
        auto& added = res_.summary.templateLimitsAdded;
        if (added.empty() || added.back().alarmId != set)
            added.push_back({set, {}});
        added.back().parmIds.push_back(q.value(1).toInt());
    }
}

// The user's default reference oil and alarm set, each where it names a
// record the new file holds (or none, below 1).
void UpgradeRun::copyDefaults()
{
    qint64 written = 0;
    if (sourceHas(QStringLiteral("Defaults"))) {
        const QStringList columns = columnsOf(QStringLiteral("src"), QStringLiteral("Defaults"));
        struct Choice {
            QString field, table, key;
        };
        const Choice choices[] = {{QStringLiteral("Ref"), QStringLiteral("\"References\""), QStringLiteral("RefID")},
                                  {QStringLiteral("Alarm"), QStringLiteral("AlarmSets"), QStringLiteral("AlarmID")}};
        for (const Choice& c : choices) {
            if (!columns.contains(c.field, Qt::CaseInsensitive))
                continue;
            const QVariant v = Query(db_, QStringLiteral("SELECT %1 FROM src.Defaults ORDER BY rowid LIMIT 1").arg(c.field)).scalar();
            if (!v.isValid() || v.isNull())
                continue;
            const bool exists = v.toLongLong() < 1
                                || Query(db_, QStringLiteral("SELECT 1 FROM main.%1 WHERE %2 = ?").arg(c.table, c.key)).scalar({v}).isValid();
            if (!exists) {
                skip(QStringLiteral("Defaults"), QStringLiteral("%1 names a record that does not exist").arg(c.field), 1);
                continue;
            }
            run(db_, QStringLiteral("UPDATE main.Defaults SET %1 = ?").arg(c.field), {v});
            written = 1;
        }
    }
    res_.summary.tables.push_back({QStringLiteral("Defaults"), written});
    ++progress_.tablesDone;
}

// Every auto-number continues after the highest key copied (SQLite keeps
// that by itself) or after the source's own counter, whichever is higher,
// so the number of a deleted sample is never handed out again.
void UpgradeRun::continueAutoNumbers()
{
    QHash<QString, qint64> counters;
    if (Query(db_, QStringLiteral("SELECT 1 FROM src.sqlite_master WHERE name = 'sqlite_sequence'")).scalar().isValid()) {
        Query q(db_, QStringLiteral("SELECT name, seq FROM src.sqlite_sequence"));
        q.exec();
        while (q.next())
            counters[q.value(0).toString()] = std::max(counters.value(q.value(0).toString()), q.value(1).toLongLong());
    }
    for (auto it = req_.autoNumberCounters.cbegin(); it != req_.autoNumberCounters.cend(); ++it)
        counters[it.key()] = std::max(counters.value(it.key()), it.value());
    for (auto it = counters.cbegin(); it != counters.cend(); ++it) {
        const QVariant table = Query(db_, QStringLiteral("SELECT name FROM main.sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE "
                                                         "AND sql LIKE '%AUTOINCREMENT%'")).scalar({it.key()});
        if (!table.isValid())
            continue;
        const QVariant seq = Query(db_, QStringLiteral("SELECT seq FROM main.sqlite_sequence WHERE name = ?")).scalar({table});
        if (!seq.isValid())
            run(db_, QStringLiteral("INSERT INTO main.sqlite_sequence (name, seq) VALUES (?, ?)"), {table, it.value()});
        else if (seq.toLongLong() < it.value())
            run(db_, QStringLiteral("UPDATE main.sqlite_sequence SET seq = ? WHERE name = ?"), {it.value(), table});
    }
}

void UpgradeRun::copyData()
{
    enter(UpgradeStep::CopyData, QStringLiteral("Converting tables."));
    SqlConnection target(newFile_, false);
    db_ = target.db();
    // The new file is not the database until the final rename: no need to
    // sync every commit, and a rollback journal (never a write-ahead log,
    // which one large transaction would make as large as the data).
    run(db_, QStringLiteral("PRAGMA journal_mode = DELETE"));
    run(db_, QStringLiteral("PRAGMA synchronous = OFF"));
    run(db_, QStringLiteral("PRAGMA cache_size = -32768"));
    run(db_, QStringLiteral("ATTACH DATABASE ? AS src"), {sqliteUri(req_.source, true)});
    watchCancel(db_, true);
    try {
        run(db_, QStringLiteral("BEGIN IMMEDIATE"));
        const QString id = QStringLiteral("SampleID");
        copyTable(QStringLiteral("Samples"), Mode::Plain, {id});
        copyTable(QStringLiteral("SampleDetails"), Mode::Plain, {id, QStringLiteral("ParmID")});
        copyTable(QStringLiteral("Customers"), Mode::Plain, {QStringLiteral("CustomerID")});
        noteLimitsAdded();
        copyTable(QStringLiteral("AlarmSets"), Mode::Merge, {QStringLiteral("AlarmID")});
        copyTable(QStringLiteral("AlarmData"), Mode::Merge, {QStringLiteral("AlarmID"), QStringLiteral("ParmID")});
        copyTable(QStringLiteral("References"), Mode::Merge, {QStringLiteral("RefID")});
        copyTable(QStringLiteral("Images"), Mode::Plain, {id}, QStringLiteral("SampleID IS NOT NULL"));
        // Parameters the template lacks keep their column and exchange tag;
        // the catalogue holds 50..132, and numbers from 1000 are kept aside.
        const QString catalogue = QStringLiteral("ParmID BETWEEN 50 AND 132 OR ParmID >= 1000");
        if (sourceHas(QStringLiteral("Parameters")))
            skip(QStringLiteral("Parameters"), QStringLiteral("ParmID outside 50..132 and below 1000"),
                 Query(db_, QStringLiteral("SELECT count(*) FROM src.Parameters WHERE NOT (%1)").arg(catalogue)).scalar().toLongLong());
        copyTable(QStringLiteral("Parameters"), Mode::AddMissing, {QStringLiteral("ParmID")}, catalogue);
        copyDefaults();
        if (res_.summary.sourceVersion >= CurrentLayoutVersion)
            copyTable(QStringLiteral("CalData"), Mode::Plain, {});
        else
            deriveHistory();
        continueAutoNumbers();
        checkCancel();
        run(db_, QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
        watchCancel(db_, false);
        QSqlQuery(db_).exec(QStringLiteral("DETACH DATABASE src"));
        db_ = QSqlDatabase();
        throw;
    }
    watchCancel(db_, false);
    run(db_, QStringLiteral("DETACH DATABASE src"));
    db_ = QSqlDatabase();
}

void UpgradeRun::compactAndReplace()
{
    enter(UpgradeStep::Compact, QStringLiteral("Compacting new database."));
    compacted_ = temporaryBeside(req_.destination);
    {
        SqlConnection fresh(newFile_, false);
        watchCancel(fresh.db(), true);
        run(fresh.db(), QStringLiteral("VACUUM INTO ?"), {compacted_});
        watchCancel(fresh.db(), false);
    }
    syncFile(compacted_);
    ++progress_.tablesDone;
    enter(UpgradeStep::Replace, QStringLiteral("Replacing the database."));
    replaceFile(compacted_, req_.destination);
    compacted_.clear();
    // The journal files of the database just replaced belong to it, never
    // to the new file.
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(req_.destination + QLatin1String(suffix));
    syncFolder(QFileInfo(req_.destination).absolutePath());
    QFile::remove(newFile_);
    newFile_.clear();
    ++progress_.tablesDone;
}

void UpgradeRun::execute()
{
    progress_.tablesTotal = 10 + 3 + (req_.backup ? 1 : 0);
    res_.summary.sourceVersion = readLayoutVersion(req_.source);
    if (res_.summary.sourceVersion > CurrentLayoutVersion)
        throw DbError(DbErr::NotADatabase, QStringLiteral("'%1' was made by a newer program (layout %2).")
                                               .arg(req_.source)
                                               .arg(res_.summary.sourceVersion));
    if (req_.backup && backupPathFor(req_.source).isEmpty())
        throw DbError(DbErr::Generic, QStringLiteral("The backup of '%1' would be the database itself.").arg(req_.source));
    checkFreeSpace();
    if (res_.outcome == UpgradeResult::NoSpace)
        return;
    if (req_.backup)
        writeBackup();
    copyTemplate();
    copyData();
    compactAndReplace();
    enter(UpgradeStep::Done, QStringLiteral("Done."));
    res_.outcome = UpgradeResult::Done;
}

void UpgradeRun::cleanUp()
{
    for (QString* file : {&newFile_, &compacted_, &backupTemp_}) {
        if (file->isEmpty())
            continue;
        QFile::remove(*file);
        QFile::remove(*file + QLatin1String("-journal"));
        file->clear();
    }
}

} // namespace

qint64 UpgradeSummary::rowsOf(const QString& table) const
{
    for (const auto& t : tables)
        if (t.table == table)
            return t.rows;
    return 0;
}

qint64 UpgradeSummary::skippedOf(const QString& table) const
{
    qint64 n = 0;
    for (const auto& s : skipped)
        if (s.table == table)
            n += s.rows;
    return n;
}

QStringList UpgradeSummary::lines() const
{
    QStringList out;
    for (const auto& t : tables)
        out << QStringLiteral("%1: %2 rows").arg(t.table).arg(t.rows);
    out << QStringLiteral("Calibration rows derived: %1").arg(calibrationRowsDerived);
    for (const auto& s : skipped)
        out << QStringLiteral("Skipped in %1: %2 (%3)").arg(s.table).arg(s.rows).arg(s.reason);
    for (const auto& a : templateLimitsAdded) {
        QStringList parms;
        for (int p : a.parmIds)
            parms << QString::number(p);
        out << QStringLiteral("Alarm set %1 keeps the template's limits for parameters %2").arg(a.alarmId).arg(parms.join(QLatin1String(", ")));
    }
    if (!backupPath.isEmpty())
        out << QStringLiteral("Backup: %1").arg(backupPath);
    return out;
}

QString backupPathFor(const QString& dbPath)
{
    const QFileInfo info(dbPath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? dbPath.left(dbPath.size() - (name.size() - dot)) : dbPath;
    const QString backup = stem + QStringLiteral(".bak");
    // Case-insensitively: on a share that ignores case, "LAB.BAK" is "lab.bak".
    if (QFileInfo(backup).absoluteFilePath().compare(info.absoluteFilePath(), Qt::CaseInsensitive) == 0)
        return QString();
    return backup;
}

int readLayoutVersion(const QString& path)
{
    OpenOptions options;
    options.access = OpenOptions::Access::ReadOnly;
    auto db = Database::open(path, options);
    if (!db->hasTable(QStringLiteral("SystemData")))
        throw DbError(DbErr::ObjectNotFound, QStringLiteral("'%1' has no table SystemData: not a sample database.").arg(path));
    const QVariant v = db->queryValue(QStringLiteral("SELECT Databaseversion FROM SystemData LIMIT 1"));
    if (!v.isValid())
        throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record (SystemData)."));
    return v.toInt();
}

qint64 upgradeSpaceNeeded(qint64 sourceBytes, qint64 templateBytes, bool backup)
{
    // The peak, just before the final rename: the backup, the new file and
    // its compacted copy all exist at once.
    return (backup ? sourceBytes : 0) + 2 * (sourceBytes + templateBytes);
}

UpgradeResult upgradeDatabase(const UpgradeRequest& request)
{
    UpgradeResult result;
    UpgradeRun run(request, result);
    try {
        run.execute();
    } catch (const CancelledRun&) {
        result.outcome = UpgradeResult::Cancelled;
    } catch (const DbError& e) {
        result.outcome = run.cancelSeen() ? UpgradeResult::Cancelled : UpgradeResult::Failed;
        result.errorNumber = e.number();
        result.error = e.description();
    }
    run.cleanUp();
    return result;
}

} // namespace qqc::db
