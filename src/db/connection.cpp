#include "db/connection.h"
#include "db/server_uri.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QUrl>

#include <atomic>
#include <cstdio>

namespace qqc::db {

namespace {

std::atomic<int> connectionCounter{0};

// The stored text of a date and time, "yyyy-MM-ddTHH:mm:ss" (every stored
// test has one, so the usual years skip Qt's pattern parser).
QString isoDateTimeText(const QDateTime& dt)
{
    const QDate date = dt.date();
    if (!dt.isValid() || date.year() < 1 || date.year() > 9999)
        return dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    const QTime time = dt.time();
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", date.year(), date.month(),
                                date.day(), time.hour(), time.minute(), time.second());
    return QString::fromLatin1(text, n);
}

} // namespace

// Dates are stored as ISO text in local time, so that they sort and compare
// as text; UTF-8 text becomes a string for Qt's driver; other values go to
// the driver unchanged.
QVariant fromServer(const QVariant& v)
{
    // The server's driver gives an empty field its column's type (whose
    // text is "0"); SQLite's gives a plain null.
    if (v.isNull())
        return QVariant();
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return isoDateTimeText(v.toDateTime());
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-ddT00:00:00"));
    default:
        return v;
    }
}

QVariant toStored(const QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<Utf8Text>())
        return QString::fromUtf8(v.value<Utf8Text>().bytes);
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return isoDateTimeText(*static_cast<const QDateTime*>(v.constData()));
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-ddT00:00:00"));
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    default:
        return v;
    }
}

DbError fromSqlError(const QSqlError& e, const QString& context)
{
    const QString text = e.text().trimmed().isEmpty() ? context : e.databaseText();
    if (e.nativeErrorCode().size() == 5 || isConnectionLost(e))
        return fromServerError(e, context);
    bool ok = false;
    const int native = e.nativeErrorCode().toInt(&ok);
    const int primary = ok ? (native & 0xff) : -1;
    const QString lower = e.databaseText().toLower();
    if (primary == 5 || primary == 6 || lower.contains(QLatin1String("database is locked")))
        return DbError(DbErr::FileInUse, QStringLiteral("Could not use '%1'; file already in use.").arg(context));
    if (primary == 26 || lower.contains(QLatin1String("not a database")))
        return DbError(DbErr::NotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(context));
    if (primary == 13)
        return DbError(DbErr::DiskFull, QStringLiteral("Not enough space on disk (%1).").arg(e.databaseText()));
    if (primary == 10)
        return DbError(DbErr::DiskIo, QStringLiteral("Disk or network error (%1).").arg(e.databaseText()));
    if (primary == 8)
        return DbError(DbErr::ReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    if (primary == 19 && (lower.contains(QLatin1String("unique")) || lower.contains(QLatin1String("primary"))))
        return DbError(DbErr::DuplicateKey, QStringLiteral("The changes you requested to the table were not successful because they would create duplicate values in the index, primary key, or relationship."));
    if (lower.contains(QLatin1String("no such table")))
        return DbError(DbErr::ObjectNotFound, text);
    if (lower.contains(QLatin1String("no such column")))
        return DbError(DbErr::ItemNotFound, text);
    return DbError(DbErr::Generic, text.isEmpty() ? context : text);
}

// Number of "?" parameters outside quoted text.
int countParameters(const QString& sql)
{
    int n = 0;
    QChar quote;
    for (QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?')) {
            ++n;
        }
    }
    return n;
}

// --- DbError ---

DbError::DbError(int number, QString description)
    : number_(number), description_(std::move(description)),
      what_(QStringLiteral("%1 %2").arg(number).arg(description_).toUtf8())
{
}

// --- Connection ---

std::shared_ptr<quint64> Connection::writeClock(const QString& table)
{
    auto& p = lastWrite[table.toLower()];
    if (!p)
        p = std::make_shared<quint64>(0);
    return p;
}

// A prepared statement, kept for reuse.
QSqlQuery& Connection::prepared(const QString& sql)
{
    check();
    auto it = statements.find(sql);
    for (bool retried = false; it == statements.end(); retried = true) {
        // A server prepares on the server: a lost connection shows here first.
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (q.prepare(sql))
            it = statements.insert(sql, q);
        else if (retried || !reconnectAfter(q.lastError()))
            throw error(q.lastError(), sql);
    }
    return it.value();
}

QSqlQuery& Connection::run(const QString& sql, const QVariantList& params)
{
    const bool guarded = guardStatement();
    try {
        for (bool retried = false;; retried = true) {
            // The server prepares only statements with parameters (a table
            // statement cannot be prepared there).
            const bool direct = !sqlite && params.isEmpty();
            if (direct)
                check();
            QSqlQuery& q = direct ? (directStatements[sql] = QSqlQuery(db)) : prepared(sql);
            for (int i = 0; i < params.size(); ++i)
                q.bindValue(i, toStored(params[i]));
            if (direct ? q.exec(sql) : q.exec())
                return q;
            const QSqlError e = q.lastError();
            q.finish();
            // Outside a transaction a statement on a lost server connection is
            // tried once more on a new one (nothing of it was stored).
            if (retried || !reconnectAfter(e))
                throw error(e, sql);
        }
    } catch (...) {
        if (guarded)
            undoStatement();
        throw;
    }
}

void Connection::exec(const QString& sql)
{
    check();
    for (bool retried = false;; retried = true) {
        QSqlQuery q(db);
        if (q.exec(sql))
            return;
        if (retried || !reconnectAfter(q.lastError()))
            throw error(q.lastError(), sql);
    }
}

const QSqlRecord& Connection::record(const QString& table)
{
    auto it = records.find(table.toLower());
    if (it == records.end())
        it = records.insert(table.toLower(), db.record(stored(table)));
    return it.value();
}

const QStringList& Connection::keyFields(const QString& table)
{
    auto it = keys.find(table.toLower());
    if (it == keys.end()) {
        const QSqlIndex index = db.primaryIndex(stored(table));
        QStringList names;
        for (int i = 0; i < index.count(); ++i)
            names << index.fieldName(i);
        it = keys.insert(table.toLower(), names);
    }
    return it.value();
}

bool Connection::autoKey(const QString& table)
{
    auto it = autoKeys.find(table.toLower());
    if (it == autoKeys.end()) {
        const QStringList& k = keyFields(table);
        bool a = false;
        if (k.size() == 1 && !sqlite) {
            // An identity (or serial) key has a sequence behind it.
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT pg_get_serial_sequence(?, ?)"));
            q.addBindValue(ident(table));
            q.addBindValue(k.front());
            if (!q.exec())
                throw fromSqlError(q.lastError(), table);
            a = q.next() && !q.value(0).isNull();
        } else if (k.size() == 1) {
            const QSqlRecord& r = record(table);
            a = r.field(k.front()).isAutoValue();
        }
        it = autoKeys.insert(table.toLower(), a);
    }
    return it.value();
}

void Connection::release()
{
#ifdef QQC_NATIVE_SQLITE
    releaseNative();
#endif
    statements.clear();
    directStatements.clear();
    records.clear();
    keys.clear();
    autoKeys.clear();
    nextNumberSql.clear();
    notices.reset();
    channels.clear();
    if (db.isValid()) {
        if (depth > 0)
            db.rollback();
        db.close();
    }
    db = QSqlDatabase();
    if (open || QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
    open = false;
    depth = 0;
    statementSavepoint = false;
    wholeFrom = 0;
}

// --- Database ---

namespace {

QString lockedText(const QString& path)
{
    return QStringLiteral("Could not use '%1'; file already in use.").arg(path);
}

QString walOnShareText(const QString& path)
{
    return QStringLiteral("'%1' keeps the write-ahead log, which stations on a network share cannot use.").arg(path);
}

} // namespace

std::unique_ptr<Database> Database::open(const QString& path, const OpenOptions& options)
{
    using Access = OpenOptions::Access;
    if (isServerUri(path))
        return openServer(path, options);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        throw DbError(DbErr::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    if (!info.isFile())
        throw DbError(DbErr::NotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(path));
    // A write-protected file is refused unless it is only read.
    if (!info.isWritable() && options.access != Access::ReadOnly)
        throw DbError(DbErr::ReadOnly, QStringLiteral("The database '%1' is read-only.").arg(path));
    // A file that is no SQLite database is never handed to SQLite, and a
    // write-ahead-log file on a share only to an exclusive connection: the
    // shared-memory index of the log cannot be shared between machines.
    const FileHeader header = readFileHeader(path);
    if (!header.sqlite)
        throw DbError(DbErr::NotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(path));
    const auto onShare = [&] {
        const FileSystemProbe& probe = options.fileSystem ? options.fileSystem : FileSystemProbe(probeFileSystem);
        return probe(info.absolutePath()) == FileSystemKind::Shared;
    };
    if (header.journal == JournalMode::Wal && options.access != Access::Exclusive && onShare())
        throw DbError(DbErr::WalOnShare, walOnShareText(path));

    auto conn = std::make_shared<Connection>();
    conn->name = QStringLiteral("qqc-db-%1").arg(++connectionCounter);
    conn->path = path;
    conn->db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn->name);
    conn->sqlite = true;
    // mode=rw: open an existing file read-write and never create one; mode=ro
    // for the check that must not change the file.
    const bool readOnly = options.access == Access::ReadOnly;
    QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    url.setQuery(readOnly ? QStringLiteral("mode=ro") : QStringLiteral("mode=rw"));
    conn->db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    conn->db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1%2")
                                   .arg(options.busyTimeoutMs)
                                   .arg(readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    if (!conn->db.open()) {
        const DbError e = fromSqlError(conn->db.lastError(), path);
        conn->release();
        throw e;
    }
    conn->open = true;
    try {
        QSqlQuery pragma(conn->db);
        const auto run = [&](const QString& sql) {
            if (!pragma.exec(sql))
                throw fromSqlError(pragma.lastError(), path);
            const QString answer = pragma.next() ? pragma.value(0).toString().toUpper() : QString();
            pragma.finish();
            return answer;
        };
        // Exclusive before the first read: the connection then holds the
        // file alone and reads a write-ahead log without shared memory.
        if (options.access == Access::Exclusive)
            run(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
        // SQLite reads the header only on the first statement: a foreign or
        // locked file shows up here.
        run(QStringLiteral("SELECT COUNT(*) FROM sqlite_master"));
        // The file keeps its journal. Another station may have changed it
        // since the header was read.
        conn->journalMode = run(QStringLiteral("PRAGMA journal_mode"));
        if (conn->journalMode == QLatin1String("WAL") && options.access != Access::Exclusive && onShare())
            throw DbError(DbErr::WalOnShare, walOnShareText(path));
        if (!readOnly) {
            // The rollback journal is truncated rather than deleted after each
            // commit (no directory change per test). This is the connection's
            // own way of ending a journal; the file does not store it.
            if (conn->journalMode == QLatin1String("DELETE"))
                conn->journalMode = run(QStringLiteral("PRAGMA journal_mode=TRUNCATE"));
            run(QStringLiteral("PRAGMA synchronous=FULL"));
            // A larger page cache keeps a long transaction (a bulk import)
            // from spilling dirty pages, each spill costing a journal sync.
            run(QStringLiteral("PRAGMA cache_size=-32768"));
        }
#ifdef QQC_NATIVE_SQLITE
        if (options.access == Access::ReadWrite)
            conn->attachNative();
#endif
    } catch (const DbError& e) {
        conn->release();
        if (e.number() == DbErr::FileInUse)
            throw DbError(DbErr::FileInUse, lockedText(path));
        if (e.number() == DbErr::NotADatabase || e.number() == DbErr::Generic)
            throw DbError(DbErr::NotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(path));
        throw;
    }

    std::unique_ptr<Database> db(new Database);
    db->conn_ = std::move(conn);
    return db;
}

Database::~Database() { close(); }

void Database::close()
{
    if (conn_)
        conn_->release();
}

bool Database::isOpen() const { return conn_ && conn_->open; }
const QString& Database::path() const { return conn_->path; }
const QString& Database::journalMode() const { return conn_->journalMode; }
QSqlDatabase Database::connection() const { return conn_->db; }

QString Database::ident(const QString& name) const { return conn_->ident(name); }

bool Database::hasTable(const QString& table) const
{
    conn_->check();
    return !conn_->record(table).isEmpty();
}

} // namespace qqc::db
