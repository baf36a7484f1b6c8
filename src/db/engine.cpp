#include "db/engine.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cstdio>

#ifdef QQC_NATIVE_SQLITE
#include <sqlite3.h>
#endif

namespace qqc::db {

namespace {

constexpr int PageSize = 128;
constexpr int RecordDeleted = 3167;

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

// Dates are stored as ISO text in local time, so that they sort and compare
// as text; UTF-8 text becomes a string for Qt's driver; other values go to
// the driver unchanged.
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
    bool ok = false;
    const int native = e.nativeErrorCode().toInt(&ok);
    const int primary = ok ? (native & 0xff) : -1;
    const QString lower = e.databaseText().toLower();
    if (primary == 5 || primary == 6 || lower.contains(QLatin1String("database is locked")))
        return DbError(DbErr::FileInUse, QStringLiteral("Could not use '%1'; file already in use.").arg(context));
    if (primary == 26 || lower.contains(QLatin1String("not a database")))
        return DbError(DbErr::NotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(context));
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

// Whether `folder` is on a file system of this machine (not a network share
// or an unknown kind, which are treated as shared).
bool isLocalFileSystem(const QString& folder)
{
    static const QStringList local = {
        QStringLiteral("ext2"), QStringLiteral("ext3"), QStringLiteral("ext4"), QStringLiteral("xfs"),
        QStringLiteral("btrfs"), QStringLiteral("zfs"), QStringLiteral("f2fs"), QStringLiteral("tmpfs"),
        QStringLiteral("jfs"), QStringLiteral("bcachefs"), QStringLiteral("overlay"), QStringLiteral("apfs"),
        QStringLiteral("hfs"), QStringLiteral("ntfs"), QStringLiteral("refs")};
    const QStorageInfo storage(folder);
    return storage.isValid() && local.contains(QString::fromLatin1(storage.fileSystemType()).toLower());
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

} // namespace

// --- DbError ---

DbError::DbError(int number, QString description)
    : number_(number), description_(std::move(description)),
      what_(QStringLiteral("%1 %2").arg(number).arg(description_).toUtf8())
{
}

// --- Connection: the shared state of one open database ---

#ifdef QQC_NATIVE_SQLITE
// A statement kept prepared on the driver's own SQLite handle.
struct NativeStatement {
    sqlite3_stmt* stmt = nullptr;
};
#endif

struct Connection {
    QString name;
    QString path;
    QString journalMode;
    QSqlDatabase db;
    bool open = false;
    bool sqlite = true;
    int depth = 0;
    QHash<QString, QSqlQuery> statements;
    QHash<QString, QSqlRecord> records;
    QHash<QString, QStringList> keys;
    QHash<QString, bool> autoKeys;
    QHash<QString, QString> nextNumberSql;
    // The write clock: every write through this layer advances it; a table's
    // last write and the last event that may have changed any table (a
    // delete with its cascades, plain SQL, a rollback, a transaction
    // boundary) are stamped with it.
    quint64 clock = 1;
    quint64 globalEvent = 1;
    QHash<QString, std::shared_ptr<quint64>> lastWrite;
#ifdef QQC_NATIVE_SQLITE
    // The driver's handle when it is the SQLite library this program links
    // (same version), else null and every statement goes through Qt SQL.
    sqlite3* native = nullptr;
    QHash<QString, NativeStatement> nativeStatements;

    void attachNative()
    {
        const QVariant h = db.driver()->handle();
        if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
            return;
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT sqlite_version()")) || !q.next()
            || q.value(0).toString() != QLatin1String(sqlite3_libversion()))
            return;
        native = *static_cast<sqlite3* const*>(h.constData());
    }

    DbError nativeError(const QString& sql) const
    {
        return fromSqlError(QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(native)), QSqlError::StatementError,
                                      QString::number(sqlite3_extended_errcode(native))),
                            sql);
    }

    // Binds as Qt's SQLite driver does (integers as integers, doubles as
    // reals, text as text, null as null, any other type as its text), so
    // both paths store the same values with the same storage classes.
    void bindNative(sqlite3_stmt* st, int i, const QVariant& v)
    {
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(st, i);
        } else {
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::Bool:
                rc = sqlite3_bind_int(st, i, v.toInt());
                break;
            case QMetaType::UInt:
            case QMetaType::LongLong:
                rc = sqlite3_bind_int64(st, i, v.toLongLong());
                break;
            case QMetaType::Double:
                rc = sqlite3_bind_double(st, i, v.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray b = v.toByteArray();
                rc = sqlite3_bind_blob(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QString: {
                const QByteArray t = static_cast<const QString*>(v.constData())->toUtf8();
                rc = sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QByteArray t = v.toString().toUtf8();
                rc = sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
                break;
            }
            }
        }
        if (rc != SQLITE_OK)
            throw nativeError(QString());
    }

    // The first column of the current row, as Qt's driver would give it.
    static QVariant nativeColumn(sqlite3_stmt* st)
    {
        switch (sqlite3_column_type(st, 0)) {
        case SQLITE_INTEGER:
            return qlonglong(sqlite3_column_int64(st, 0));
        case SQLITE_FLOAT:
            return sqlite3_column_double(st, 0);
        case SQLITE_NULL:
            return QVariant();
        default:
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                                     sqlite3_column_bytes(st, 0));
        }
    }

    // Runs a statement on the native handle; returns the rows affected.
    // `firstValue` receives the first column of the first row (null when
    // there is none).
    int runNative(const QString& sql, const QVariantList& params, QVariant* insertId, QVariant* firstValue = nullptr)
    {
        check();
        auto it = nativeStatements.find(sql);
        if (it == nativeStatements.end()) {
            NativeStatement n;
            const QByteArray text = sql.toUtf8();
            if (sqlite3_prepare_v2(native, text.constData(), int(text.size()), &n.stmt, nullptr) != SQLITE_OK)
                throw nativeError(sql);
            it = nativeStatements.insert(sql, n);
        }
        sqlite3_stmt* st = it->stmt;
        if (sqlite3_bind_parameter_count(st) != params.size())
            throw DbError(DbErr::BadParameter, QStringLiteral("Parameter count mismatch: %1").arg(sql));
        // Bytes SQLite reads in place are the caller's, alive only until this
        // call returns: the statement lets go of them on every way out.
        struct Unbind {
            sqlite3_stmt* st;
            bool borrowed = false;
            ~Unbind()
            {
                if (borrowed)
                    sqlite3_clear_bindings(st);
            }
        } unbind{st};
        for (int i = 0; i < params.size(); ++i) {
            const QVariant& p = params[i];
            if (p.metaType() == QMetaType::fromType<Utf8Text>()) {
                const QByteArray& bytes = static_cast<const Utf8Text*>(p.constData())->bytes;
                unbind.borrowed = true;
                if (sqlite3_bind_text(st, i + 1, bytes.constData(), int(bytes.size()), SQLITE_STATIC) != SQLITE_OK)
                    throw nativeError(QString());
            } else {
                bindNative(st, i + 1, toStored(p));
            }
        }
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            const DbError e = nativeError(sql);
            sqlite3_reset(st);
            throw e;
        }
        if (firstValue)
            *firstValue = rc == SQLITE_ROW ? nativeColumn(st) : QVariant();
        sqlite3_reset(st);
        if (insertId)
            *insertId = qlonglong(sqlite3_last_insert_rowid(native));
        return sqlite3_changes(native);
    }

    void releaseNative()
    {
        for (const NativeStatement& n : std::as_const(nativeStatements))
            sqlite3_finalize(n.stmt);
        nativeStatements.clear();
        native = nullptr;
    }
#endif

    std::shared_ptr<quint64> writeClock(const QString& table)
    {
        auto& p = lastWrite[table.toLower()];
        if (!p)
            p = std::make_shared<quint64>(0);
        return p;
    }
    void globalChange() { globalEvent = ++clock; }

    void check() const
    {
        if (!open)
            throw DbError(DbErr::ObjectClosed, QStringLiteral("Object invalid or no longer set."));
    }

    QString ident(const QString& name) const
    {
        return db.driver()->escapeIdentifier(name, QSqlDriver::TableName);
    }

    // A prepared statement, kept for reuse.
    QSqlQuery& prepared(const QString& sql)
    {
        check();
        auto it = statements.find(sql);
        if (it == statements.end()) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (!q.prepare(sql))
                throw fromSqlError(q.lastError(), sql);
            it = statements.insert(sql, q);
        }
        return it.value();
    }

    QSqlQuery& run(const QString& sql, const QVariantList& params)
    {
        QSqlQuery& q = prepared(sql);
        for (int i = 0; i < params.size(); ++i)
            q.bindValue(i, toStored(params[i]));
        if (!q.exec()) {
            const QSqlError e = q.lastError();
            q.finish();
            throw fromSqlError(e, sql);
        }
        return q;
    }

    void exec(const QString& sql)
    {
        check();
        QSqlQuery q(db);
        if (!q.exec(sql))
            throw fromSqlError(q.lastError(), sql);
    }

    const QSqlRecord& record(const QString& table)
    {
        auto it = records.find(table.toLower());
        if (it == records.end())
            it = records.insert(table.toLower(), db.record(table));
        return it.value();
    }

    const QStringList& keyFields(const QString& table)
    {
        auto it = keys.find(table.toLower());
        if (it == keys.end()) {
            const QSqlIndex index = db.primaryIndex(table);
            QStringList names;
            for (int i = 0; i < index.count(); ++i)
                names << index.fieldName(i);
            it = keys.insert(table.toLower(), names);
        }
        return it.value();
    }

    bool autoKey(const QString& table)
    {
        auto it = autoKeys.find(table.toLower());
        if (it == autoKeys.end()) {
            const QStringList& k = keyFields(table);
            bool a = false;
            if (k.size() == 1) {
                const QSqlRecord& r = record(table);
                a = r.field(k.front()).isAutoValue();
            }
            it = autoKeys.insert(table.toLower(), a);
        }
        return it.value();
    }

    void begin()
    {
        check();
        globalChange();
        if (depth == 0) {
            // IMMEDIATE takes the write lock at once, so a busy file is waited
            // for (busy time-out) instead of failing half-way through the work.
            if (sqlite)
                exec(QStringLiteral("BEGIN IMMEDIATE"));
            else if (!db.transaction())
                throw fromSqlError(db.lastError(), path);
        } else {
            exec(QStringLiteral("SAVEPOINT qqc_sp%1").arg(depth));
        }
        ++depth;
    }

    void commit()
    {
        check();
        if (depth == 0)
            throw DbError(DbErr::Generic, QStringLiteral("Commit without a transaction."));
        if (depth == 1) {
            globalChange();
            if (sqlite)
                exec(QStringLiteral("COMMIT"));
            else if (!db.commit())
                throw fromSqlError(db.lastError(), path);
        } else {
            exec(QStringLiteral("RELEASE SAVEPOINT qqc_sp%1").arg(depth - 1));
        }
        --depth;
    }

    void rollback()
    {
        check();
        if (depth == 0)
            return;
        globalChange();
        --depth;
        if (depth == 0) {
            if (sqlite)
                exec(QStringLiteral("ROLLBACK"));
            else
                db.rollback();
        } else {
            exec(QStringLiteral("ROLLBACK TO SAVEPOINT qqc_sp%1").arg(depth));
            exec(QStringLiteral("RELEASE SAVEPOINT qqc_sp%1").arg(depth));
        }
    }

    void release()
    {
#ifdef QQC_NATIVE_SQLITE
        releaseNative();
#endif
        statements.clear();
        records.clear();
        keys.clear();
        autoKeys.clear();
        nextNumberSql.clear();
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
    }
};

// --- Database ---

std::unique_ptr<Database> Database::open(const QString& path, const OpenOptions& options)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        throw DbError(DbErr::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    if (!info.isFile())
        throw DbError(DbErr::NotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(path));
    if (!info.isWritable())
        throw DbError(DbErr::ReadOnly, QStringLiteral("The database '%1' is read-only.").arg(path));

    auto conn = std::make_shared<Connection>();
    conn->name = QStringLiteral("qqc-db-%1").arg(++connectionCounter);
    conn->path = path;
    conn->db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn->name);
    conn->sqlite = true;
    // mode=rw: open an existing file read-write and never create one.
    QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    url.setQuery(QStringLiteral("mode=rw"));
    conn->db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    conn->db.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(options.busyTimeoutMs));
    if (!conn->db.open()) {
        const DbError e = fromSqlError(conn->db.lastError(), path);
        conn->release();
        throw e;
    }
    conn->open = true;
    try {
        // SQLite reads the header only on the first statement: a foreign or
        // locked file shows up here.
        QSqlQuery probe(conn->db);
        if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")))
            throw fromSqlError(probe.lastError(), path);
        probe.finish();
        // Journal: lab databases often sit on network shares, where the
        // write-ahead log is unsafe (its index lives in shared memory that
        // stations on different machines cannot share), so any file not on a
        // known local file system keeps the classic rollback journal
        // (truncated rather than deleted after each commit: no directory
        // change per test). On a local disk the write-ahead log needs one
        // sync per commit instead of three or four, which is what keeps a
        // live store well inside the time a frame takes on the wire.
        conn->journalMode = isLocalFileSystem(info.absolutePath()) ? QStringLiteral("WAL") : QStringLiteral("TRUNCATE");
        QSqlQuery pragma(conn->db);
        if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=%1").arg(conn->journalMode)))
            throw fromSqlError(pragma.lastError(), path);
        if (pragma.next())
            conn->journalMode = pragma.value(0).toString().toUpper();
        pragma.finish();
        if (!pragma.exec(QStringLiteral("PRAGMA synchronous=FULL")))
            throw fromSqlError(pragma.lastError(), path);
        pragma.finish();
        // A larger page cache keeps a long transaction (a bulk import) from
        // spilling dirty pages, each spill costing a journal sync.
        if (!pragma.exec(QStringLiteral("PRAGMA cache_size=-32768")))
            throw fromSqlError(pragma.lastError(), path);
        pragma.finish();
#ifdef QQC_NATIVE_SQLITE
        conn->attachNative();
#endif
    } catch (const DbError& e) {
        conn->release();
        if (e.number() == DbErr::FileInUse)
            throw DbError(DbErr::FileInUse, QStringLiteral("Could not use '%1'; file already in use.").arg(path));
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

bool Database::hasTable(const QString& table) const
{
    conn_->check();
    return !conn_->record(table).isEmpty();
}

std::unique_ptr<Recordset> Database::openTable(const QString& table, const QStringList& fields)
{
    conn_->check();
    const QSqlRecord& layout = conn_->record(table);
    if (layout.isEmpty())
        throw DbError(DbErr::ObjectNotFound, QStringLiteral("Could not find object '%1'.").arg(table));
    const QStringList& keys = conn_->keyFields(table);
    if (keys.isEmpty())
        throw DbError(DbErr::Generic, QStringLiteral("Table '%1' has no primary key.").arg(table));
    std::unique_ptr<Recordset> rs(new Recordset);
    rs->conn_ = conn_;
    rs->table_ = table;
    rs->keyFields_ = keys;
    if (fields.isEmpty()) {
        rs->layout_ = layout;
        rs->selectList_ = QStringLiteral("*");
    } else {
        QStringList chosen = keys;
        for (const QString& f : fields)
            if (!chosen.contains(f, Qt::CaseInsensitive))
                chosen << f;
        QStringList idents;
        for (const QString& f : chosen) {
            const int i = layout.indexOf(f);
            if (i < 0)
                throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection (%1).").arg(f));
            rs->layout_.append(layout.field(i));
            idents << conn_->ident(layout.fieldName(i));
        }
        rs->selectList_ = idents.join(QLatin1String(", "));
    }
    QStringList conds;
    for (const QString& k : keys)
        conds << conn_->ident(k) + QLatin1String(" = ?");
    rs->seekSql_ = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                       .arg(rs->selectList_, conn_->ident(table), conds.join(QLatin1String(" AND ")));
    rs->lastWrite_ = conn_->writeClock(table);
    rs->autoKey_ = conn_->autoKey(table);
    rs->prepareLayout();
    rs->loaded_ = true;
    rs->moveFirst();
    return rs;
}

std::shared_ptr<QueryDef> Database::queryDef(const QString& name)
{
    conn_->check();
    if (conn_->record(QStringLiteral("StoredQueries")).isEmpty())
        throw DbError(DbErr::ObjectNotFound, QStringLiteral("Could not find object '%1'.").arg(name));
    QSqlQuery& q = conn_->run(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = ?")
                                  .arg(conn_->ident(QStringLiteral("SQLText")),
                                       conn_->ident(QStringLiteral("UpdateTable")),
                                       conn_->ident(QStringLiteral("StoredQueries")),
                                       conn_->ident(QStringLiteral("QueryName"))),
                              {name});
    if (!q.next()) {
        q.finish();
        throw DbError(DbErr::ObjectNotFound, QStringLiteral("Could not find object '%1'.").arg(name));
    }
    std::shared_ptr<QueryDef> def(new QueryDef);
    def->conn_ = conn_;
    def->name_ = name;
    def->sql_ = q.value(0).toString();
    def->updateTable_ = q.value(1).toString();
    q.finish();
    def->params_ = QVariantList(countParameters(def->sql_));
    return def;
}

std::shared_ptr<QueryDef> Database::createQueryDef(const QString& sql)
{
    conn_->check();
    // #date# literals become quoted ISO text, the form dates are stored in.
    QString converted;
    QChar quote;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            converted += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            converted += c;
            continue;
        }
        if (c == QLatin1Char('#')) {
            const int end = sql.indexOf(QLatin1Char('#'), i + 1);
            if (end > i) {
                const QString text = sql.mid(i + 1, end - i - 1).trimmed();
                QDateTime dt;
                for (const char* f : {"M/d/yyyy H:mm:ss", "M/d/yyyy H:mm", "M/d/yyyy", "yyyy-MM-dd HH:mm:ss",
                                      "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd"}) {
                    dt = QDateTime::fromString(text, QString::fromLatin1(f));
                    if (dt.isValid())
                        break;
                }
                if (dt.isValid()) {
                    converted += QLatin1Char('\'') + toStored(dt).toString() + QLatin1Char('\'');
                    i = end;
                    continue;
                }
            }
        }
        converted += c;
    }
    std::shared_ptr<QueryDef> def(new QueryDef);
    def->conn_ = conn_;
    def->sql_ = converted;
    def->params_ = QVariantList(countParameters(converted));
    return def;
}

int Database::execute(const QString& sql, const QVariantList& params)
{
    conn_->globalChange();
    QSqlQuery& q = conn_->run(sql, params);
    const int n = q.numRowsAffected();
    q.finish();
    return n;
}

quint64 Database::changeStamp() const { return conn_->clock; }

bool Database::changedSince(quint64 stamp, const QStringList& tables) const
{
    if (!conn_->open || conn_->depth == 0 || conn_->globalEvent > stamp)
        return true;
    for (const QString& table : tables) {
        const auto it = conn_->lastWrite.constFind(table.toLower());
        if (it != conn_->lastWrite.constEnd() && **it > stamp)
            return true;
    }
    return false;
}

QVariant Database::queryValue(const QString& sql, const QVariantList& params)
{
    QVariant value;
#ifdef QQC_NATIVE_SQLITE
    if (conn_->native) {
        conn_->check();
        conn_->runNative(sql, params, nullptr, &value);
        return value;
    }
#endif
    QSqlQuery& q = conn_->run(sql, params);
    if (q.next())
        value = q.value(0);
    q.finish();
    return value;
}

qint64 Database::nextAutoNumber(const QString& table)
{
    conn_->check();
    if (conn_->depth == 0)
        throw DbError(DbErr::Generic, QStringLiteral("An auto-number is reserved only inside a transaction."));
    if (!conn_->autoKey(table))
        throw DbError(DbErr::Generic, QStringLiteral("Table '%1' has no auto-number key.").arg(table));
    QString& sql = conn_->nextNumberSql[table];
    if (sql.isEmpty()) {
        const QString key = conn_->ident(conn_->keyFields(table).front());
        const QString highest = QStringLiteral("(SELECT MAX(%1) FROM %2)").arg(key, conn_->ident(table));
        // SQLite never hands out a number again, even after the newest rows
        // were deleted: it remembers the highest one in sqlite_sequence, and
        // moves it on when a row is written with its number. Another engine
        // with a sequence-backed key would need its sequence moved on too.
        sql = conn_->sqlite
            ? QStringLiteral("SELECT MAX(COALESCE((SELECT seq FROM sqlite_sequence WHERE name = ?), 0), "
                             "COALESCE(%1, 0)) + 1").arg(highest)
            : QStringLiteral("SELECT COALESCE(%1, 0) + 1").arg(highest);
    }
    return queryValue(sql, conn_->sqlite ? QVariantList{table} : QVariantList{}).toLongLong();
}

int Database::executeOn(const QString& table, const QString& sql, const QVariantList& params, QVariant* insertId)
{
    const auto clock = conn_->writeClock(table);
    try {
#ifdef QQC_NATIVE_SQLITE
        if (conn_->native) {
            const int n = conn_->runNative(sql, params, insertId);
            *clock = ++conn_->clock;
            return n;
        }
#endif
        QSqlQuery& q = conn_->run(sql, params);
        const int n = q.numRowsAffected();
        if (insertId)
            *insertId = q.lastInsertId();
        q.finish();
        *clock = ++conn_->clock;
        return n;
    } catch (...) {
        *clock = ++conn_->clock;
        throw;
    }
}

void Database::beginTrans() { conn_->begin(); }
void Database::commitTrans() { conn_->commit(); }
void Database::rollback() { conn_->rollback(); }

int Database::transactionDepth() const { return conn_ ? conn_->depth : 0; }

void Database::compact(const QString& source, const QString& destination)
{
    if (QFileInfo::exists(destination))
        throw DbError(DbErr::Generic, QStringLiteral("Database '%1' already exists.").arg(destination));
    auto db = Database::open(source);
    QSqlQuery q(db->conn_->db);
    if (!q.prepare(QStringLiteral("VACUUM INTO ?")))
        throw fromSqlError(q.lastError(), source);
    q.addBindValue(destination);
    if (!q.exec()) {
        const DbError e = fromSqlError(q.lastError(), destination);
        q.finish();
        QFile::remove(destination);
        throw e;
    }
    q.finish();
}

// --- Transaction ---

Transaction::~Transaction()
{
    if (!done_) {
        try {
            db_.rollback();
        } catch (...) {
        }
    }
}

void Transaction::commit()
{
    db_.commitTrans();
    done_ = true;
}

// --- QueryDef ---

void QueryDef::setParameter(int index, const QVariant& value)
{
    if (index < 0 || index >= params_.size())
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection."));
    params_[index] = value;
}

QVariant QueryDef::parameter(int index) const
{
    if (index < 0 || index >= params_.size())
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection."));
    return params_[index];
}

std::unique_ptr<Recordset> QueryDef::openRecordset()
{
    conn_->check();
    std::unique_ptr<Recordset> rs(new Recordset);
    rs->conn_ = conn_;
    rs->query_ = shared_from_this();
    rs->table_ = updateTable_;
    if (!updateTable_.isEmpty()) {
        rs->keyFields_ = conn_->keyFields(updateTable_);
        if (conn_->record(updateTable_).isEmpty())
            throw DbError(DbErr::ObjectNotFound, QStringLiteral("Could not find object '%1'.").arg(updateTable_));
        rs->lastWrite_ = conn_->writeClock(updateTable_);
        rs->autoKey_ = conn_->autoKey(updateTable_);
    } else {
        rs->lastWrite_ = std::make_shared<quint64>(0);
    }
    // Rows are read on first use, so a query opened only to add rows through
    // it (as new samples are) never reads the table.
    rs->loaded_ = false;
    return rs;
}

// --- Recordset ---

Recordset::~Recordset()
{
    if (mode_ != Mode::None) {
        try {
            cancelUpdate();
        } catch (...) {
        }
    }
}

void Recordset::checkOpen() const { conn_->check(); }

void Recordset::prepareLayout()
{
    fieldIndex_.clear();
    writable_.assign(size_t(layout_.count()), 0);
    isKey_.assign(size_t(layout_.count()), 0);
    const QSqlRecord* tableLayout = table_.isEmpty() ? nullptr : &conn_->record(table_);
    for (int i = 0; i < layout_.count(); ++i) {
        const QString name = layout_.fieldName(i);
        fieldIndex_.insert(name, i);
        writable_[size_t(i)] = tableLayout && tableLayout->indexOf(name) >= 0;
        isKey_[size_t(i)] = keyFields_.contains(name, Qt::CaseInsensitive);
    }
}

int Recordset::fieldIndex(const QString& name)
{
    if (fieldIndex_.isEmpty() && !layout_.isEmpty())
        prepareLayout();
    const auto it = fieldIndex_.constFind(name);
    if (it != fieldIndex_.constEnd())
        return it.value();
    const int i = layout_.indexOf(name);   // field names compare case-insensitively
    if (i < 0)
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection (%1).").arg(name));
    return i;
}

QString Recordset::cacheKey(const QVariantList& key) const
{
    QString k;
    for (const QVariant& v : key) {
        switch (v.typeId()) {
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
            // Keys are mostly numbers: no detour through the type conversion.
            k += QString::number(v.toLongLong());
            break;
        default:
            k += v.toString();
            break;
        }
        k += QChar(0x1f);
    }
    return k;
}

bool Recordset::cacheValid() const
{
    return conn_->depth > 0 && *lastWrite_ <= cacheStamp_ && conn_->globalEvent <= cacheStamp_;
}

void Recordset::resetCache()
{
    rowCache_.clear();
    wholeTableValid_ = false;
    wholeTable_.clear();
    cacheStamp_ = conn_->clock;
}

// After a write through this cursor: the table's clock advances. What this
// cursor remembers stays valid when nothing else had changed it, and the
// written row is remembered when all its fields are known.
void Recordset::noteWrite(bool deleted, const QVariantList& key, const QVariantList& oldKey, bool complete)
{
    const bool wasValid = cacheValid();
    *lastWrite_ = ++conn_->clock;
    if (deleted) {
        conn_->globalEvent = conn_->clock;   // cascades may have changed other tables
        resetCache();
        return;
    }
    if (!wasValid || conn_->depth == 0) {
        resetCache();
        return;
    }
    cacheStamp_ = conn_->clock;
    wholeTableValid_ = false;
    wholeTable_.clear();
    if (!oldKey.isEmpty() && oldKey != key)
        rowCache_.remove(cacheKey(oldKey));
    if (complete && !query_)
        rowCache_.insert(cacheKey(key), buffer_);
    else
        rowCache_.remove(cacheKey(key));
}

void Recordset::ensureLoaded()
{
    checkOpen();
    if (loaded_)
        return;
    QSqlQuery& q = conn_->run(query_->sql_, query_->params_);
    layout_ = q.record();
    rows_.clear();
    while (q.next())
        rows_.push_back(q.record());
    q.finish();
    loaded_ = true;
    pos_ = 0;
    bof_ = eof_ = rows_.empty();
    if (rows_.empty())
        pos_ = -1;
}

QVariantList Recordset::keyOf(const QSqlRecord& rec) const
{
    QVariantList key;
    for (const QString& k : keyFields_) {
        const int i = rec.indexOf(k);
        if (i < 0)
            throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection (%1).").arg(k));
        key << rec.value(i);
    }
    return key;
}

// Reads up to one page of table rows after (forward) or before the key
// `after`, or from the table's start/end when `after` is null.
void Recordset::loadTablePage(const QVariantList* after, bool forward)
{
    QStringList cols;
    for (const QString& k : keyFields_)
        cols << conn_->ident(k);
    const QString order = forward ? cols.join(QLatin1String(", "))
                                  : cols.join(QLatin1String(" DESC, ")) + QLatin1String(" DESC");
    QString where;
    if (after) {
        QStringList marks;
        for (int i = 0; i < cols.size(); ++i)
            marks << QStringLiteral("?");
        const QString lhs = cols.size() == 1 ? cols.front() : QLatin1Char('(') + cols.join(QLatin1String(", ")) + QLatin1Char(')');
        const QString rhs = marks.size() == 1 ? marks.front() : QLatin1Char('(') + marks.join(QLatin1String(", ")) + QLatin1Char(')');
        where = QStringLiteral(" WHERE %1 %2 %3").arg(lhs, forward ? QStringLiteral(">") : QStringLiteral("<"), rhs);
    }
    const QString sql = QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4 LIMIT %5")
                            .arg(selectList_, conn_->ident(table_), where, order)
                            .arg(PageSize);
    stale_ = false;
    QSqlQuery& q = conn_->run(sql, after ? *after : QVariantList());
    std::vector<QSqlRecord> page;
    while (q.next())
        page.push_back(q.record());
    q.finish();
    const bool complete = int(page.size()) < PageSize;
    if (!forward)
        std::reverse(page.begin(), page.end());
    rows_ = std::move(page);
    if (forward) {
        pageHasStart_ = after == nullptr;
        pageHasEnd_ = complete;
    } else {
        pageHasEnd_ = after == nullptr;
        pageHasStart_ = complete;
    }
}

void Recordset::moveFirst()
{
    checkOpen();
    if (mode_ != Mode::None)
        cancelUpdate();
    noMatch_ = false;
    if (query_) {
        ensureLoaded();
    } else if (conn_->depth > 0 && cacheValid() && wholeTableValid_) {
        rows_ = wholeTable_;
        pageHasStart_ = pageHasEnd_ = true;
        stale_ = false;
    } else {
        loadTablePage(nullptr, true);
        if (conn_->depth > 0 && pageHasStart_ && pageHasEnd_) {
            if (!cacheValid())
                resetCache();
            wholeTable_ = rows_;
            wholeTableValid_ = true;
        }
    }
    bof_ = eof_ = rows_.empty();
    pos_ = rows_.empty() ? -1 : 0;
}

void Recordset::moveLast()
{
    checkOpen();
    if (mode_ != Mode::None)
        cancelUpdate();
    noMatch_ = false;
    if (query_) {
        ensureLoaded();
    } else {
        loadTablePage(nullptr, false);
    }
    bof_ = eof_ = rows_.empty();
    pos_ = int(rows_.size()) - 1;
}

void Recordset::moveNext()
{
    checkOpen();
    ensureLoaded();
    if (mode_ != Mode::None)
        cancelUpdate();
    if (eof_)
        throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record."));
    bof_ = false;
    if (pos_ + 1 < int(rows_.size())) {
        ++pos_;
        return;
    }
    if (query_ || (pageHasEnd_ && !rows_.empty())) {
        pos_ = int(rows_.size());
        eof_ = true;
        return;
    }
    QVariantList anchor = rows_.empty() ? anchor_ : keyOf(rows_.back());
    if (anchor.isEmpty())
        loadTablePage(nullptr, true);
    else
        loadTablePage(&anchor, true);
    if (rows_.empty()) {
        pos_ = 0;
        eof_ = true;
    } else {
        pos_ = 0;
    }
}

void Recordset::movePrevious()
{
    checkOpen();
    ensureLoaded();
    if (mode_ != Mode::None)
        cancelUpdate();
    if (bof_)
        throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record."));
    eof_ = false;
    if (pos_ - 1 >= 0 && pos_ - 1 < int(rows_.size())) {
        --pos_;
        return;
    }
    if (query_ || (pageHasStart_ && !rows_.empty())) {
        pos_ = -1;
        bof_ = true;
        return;
    }
    QVariantList anchor = rows_.empty() ? anchor_ : keyOf(rows_.front());
    if (anchor.isEmpty())
        loadTablePage(nullptr, false);
    else
        loadTablePage(&anchor, false);
    pos_ = int(rows_.size()) - 1;
    if (rows_.empty())
        bof_ = true;
}

bool Recordset::bof()
{
    ensureLoaded();
    return bof_;
}

bool Recordset::eof()
{
    ensureLoaded();
    return eof_;
}

int Recordset::recordCount()
{
    ensureLoaded();
    if (query_)
        return int(rows_.size());
    QSqlQuery& q = conn_->run(QStringLiteral("SELECT COUNT(*) FROM %1").arg(conn_->ident(table_)), {});
    const int n = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    return n;
}

bool Recordset::seek(const QVariantList& key)
{
    checkOpen();
    if (query_)
        throw DbError(DbErr::Generic, QStringLiteral("Operation is not supported for this type of object."));
    if (mode_ != Mode::None)
        cancelUpdate();
    if (key.size() != keyFields_.size())
        throw DbError(DbErr::BadParameter, QStringLiteral("Seek on '%1' needs %2 key value(s).").arg(table_).arg(keyFields_.size()));
    stale_ = false;
    const bool useCache = conn_->depth > 0;
    QString ck;
    if (useCache) {
        if (!cacheValid())
            resetCache();
        ck = cacheKey(key);
        const auto it = rowCache_.constFind(ck);
        if (it != rowCache_.constEnd()) {
            rows_.clear();
            rows_.push_back(it.value());
            pageHasStart_ = pageHasEnd_ = false;
            noMatch_ = false;
            pos_ = 0;
            bof_ = eof_ = false;
            return true;
        }
    }
    QSqlQuery& q = conn_->run(seekSql_, key);
    const bool found = q.next();
    rows_.clear();
    if (found)
        rows_.push_back(q.record());
    q.finish();
    if (useCache && found) {
        if (rowCache_.size() > 4096)
            rowCache_.clear();
        rowCache_.insert(ck, rows_.front());
    }
    pageHasStart_ = pageHasEnd_ = false;
    noMatch_ = !found;
    if (found) {
        pos_ = 0;
        bof_ = eof_ = false;
    } else {
        // No current row; navigation continues from the key sought.
        anchor_ = key;
        pos_ = -1;
        bof_ = false;
        eof_ = false;
    }
    return found;
}

void Recordset::requery()
{
    checkOpen();
    if (mode_ != Mode::None)
        cancelUpdate();
    if (query_) {
        loaded_ = false;
        rows_.clear();
        pos_ = -1;
    } else {
        moveFirst();
    }
}

QStringList Recordset::fieldNames()
{
    if (query_ && layout_.isEmpty()) {
        if (!loaded_)
            ensureLoaded();
    }
    QStringList names;
    for (int i = 0; i < layout_.count(); ++i)
        names << layout_.fieldName(i);
    return names;
}

bool Recordset::hasField(const QString& name)
{
    if (query_ && !loaded_)
        ensureLoaded();
    return layout_.indexOf(name) >= 0;
}

QSqlRecord& Recordset::current()
{
    ensureLoaded();
    if (stale_ && !lastModified_.isEmpty()) {
        // The row just added: read it back once, so defaults show.
        const QVariantList key = lastModified_;
        seek(key);
    }
    if (pos_ < 0 || pos_ >= int(rows_.size()) || bof_ || eof_)
        throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record."));
    return rows_[pos_];
}

QVariant Recordset::value(const QString& field)
{
    checkOpen();
    const QSqlRecord& rec = mode_ != Mode::None ? buffer_ : current();
    // Rows and edit buffers have the cursor's layout; a record of another
    // shape is searched by name.
    int i = fieldIndex(field);
    if (rec.count() != layout_.count())
        i = rec.indexOf(field);
    if (i < 0)
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection (%1).").arg(field));
    return rec.value(i);
}

void Recordset::setValue(const QString& field, const QVariant& value)
{
    checkOpen();
    if (mode_ == Mode::None)
        throw DbError(DbErr::UpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    const int i = fieldIndex(field);
    if (i >= buffer_.count())
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection (%1).").arg(field));
    buffer_.setValue(i, value);
    buffer_.setGenerated(i, true);
}

void Recordset::addNew()
{
    checkOpen();
    if (table_.isEmpty())
        throw DbError(DbErr::ReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    if (query_ && !loaded_ && layout_.isEmpty()) {
        // The query's fields without reading its rows.
        QSqlQuery& q = conn_->run(QStringLiteral("SELECT * FROM (%1) qqc_fields WHERE 1 = 0").arg(query_->sql_),
                                  query_->params_);
        layout_ = q.record();
        q.finish();
    }
    if (mode_ != Mode::None)
        cancelUpdate();
    buffer_ = layout_;
    buffer_.clearValues();
    for (int i = 0; i < buffer_.count(); ++i)
        buffer_.setGenerated(i, false);
    addedKey_.clear();
    reservedOwnTx_ = false;
    if (autoKey_) {
        // The auto-number is assigned now. Outside a transaction the add gets
        // one of its own, so an abandoned or failed add leaves no empty row;
        // inside one, cancelUpdate() removes the reserved row again.
        if (conn_->depth == 0) {
            conn_->begin();
            reservedOwnTx_ = true;
        }
        try {
            QSqlQuery& q = conn_->run(QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(conn_->ident(table_)), {});
            const QVariant id = q.lastInsertId();
            q.finish();
            addedKey_ << id;
            const int i = buffer_.indexOf(keyFields_.front());
            if (i >= 0)
                buffer_.setValue(i, id);
            *lastWrite_ = ++conn_->clock;
        } catch (...) {
            if (reservedOwnTx_)
                conn_->rollback();
            reservedOwnTx_ = false;
            throw;
        }
    }
    mode_ = Mode::Add;
}

void Recordset::edit()
{
    checkOpen();
    if (table_.isEmpty())
        throw DbError(DbErr::ReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    if (mode_ != Mode::None)
        cancelUpdate();
    buffer_ = current();
    for (int i = 0; i < buffer_.count(); ++i)
        buffer_.setGenerated(i, false);
    mode_ = Mode::Edit;
}

void Recordset::update()
{
    checkOpen();
    if (mode_ == Mode::None)
        throw DbError(DbErr::UpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    if (writable_.size() != size_t(layout_.count()))
        prepareLayout();
    const bool insert = mode_ == Mode::Add && addedKey_.isEmpty();
    QStringList cols;
    QVariantList values;
    quint64 mask = insert ? quint64(1) << 63 : 0;
    bool complete = true;
    for (int i = 0; i < buffer_.count(); ++i) {
        if (!buffer_.isGenerated(i)) {
            if (mode_ == Mode::Add && !(isKey_[size_t(i)] && !addedKey_.isEmpty()))
                complete = false;   // a default the program has not seen
            continue;
        }
        if (!writable_[size_t(i)])
            continue;   // a computed column of the query
        if (mode_ == Mode::Add && !addedKey_.isEmpty() && isKey_[size_t(i)])
            continue;
        cols << buffer_.fieldName(i);
        values << buffer_.value(i);
        if (i < 62)
            mask |= quint64(1) << i;
    }
    // Statements are cached by the set of fields written.
    const bool cacheable = buffer_.count() <= 62;
    QString& sql = writeSql_[mask];

    QVariantList key, oldKey;
    try {
        if (insert) {
            if (sql.isEmpty() || !cacheable) {
                QStringList idents, marks;
                for (const QString& c : cols) {
                    idents << conn_->ident(c);
                    marks << QStringLiteral("?");
                }
                sql = cols.isEmpty()
                    ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(conn_->ident(table_))
                    : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(conn_->ident(table_), idents.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
            }
            conn_->run(sql, values).finish();
            key = keyOf(buffer_);
        } else {
            oldKey = mode_ == Mode::Add ? addedKey_ : keyOf(current());
            if (!cols.isEmpty()) {
                if (sql.isEmpty() || !cacheable) {
                    QStringList sets, conds;
                    for (const QString& c : cols)
                        sets << conn_->ident(c) + QLatin1String(" = ?");
                    for (const QString& k : keyFields_)
                        conds << conn_->ident(k) + QLatin1String(" = ?");
                    sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                              .arg(conn_->ident(table_), sets.join(QLatin1String(", ")), conds.join(QLatin1String(" AND ")));
                }
                QSqlQuery& q = conn_->run(sql, values + oldKey);
                const int n = q.numRowsAffected();
                q.finish();
                if (n == 0)
                    throw DbError(RecordDeleted, QStringLiteral("Record is deleted."));
            }
            key = mode_ == Mode::Edit ? keyOf(buffer_) : addedKey_;
        }
    } catch (...) {
        // The row stays in edit mode; cancelUpdate() abandons it.
        *lastWrite_ = ++conn_->clock;
        throw;
    }
    if (reservedOwnTx_) {
        conn_->commit();
        reservedOwnTx_ = false;
    }

    const bool added = mode_ == Mode::Add;
    mode_ = Mode::None;
    lastModified_ = key;
    addedKey_.clear();
    for (int i = 0; i < buffer_.count(); ++i)
        buffer_.setGenerated(i, true);
    noteWrite(false, key, oldKey, complete);
    if (!added) {
        rows_[size_t(pos_)] = buffer_;
    } else if (query_) {
        if (loaded_) {
            rows_.push_back(buffer_);
            pos_ = int(rows_.size()) - 1;
            bof_ = eof_ = false;
        }
    } else {
        // The new row becomes current; when some of its fields took their
        // defaults it is read back only when someone looks at it.
        rows_.clear();
        rows_.push_back(buffer_);
        pos_ = 0;
        bof_ = eof_ = false;
        noMatch_ = false;
        pageHasStart_ = pageHasEnd_ = false;
        stale_ = !complete;
    }
}

void Recordset::cancelUpdate()
{
    if (mode_ == Mode::None)
        return;
    const bool reserved = mode_ == Mode::Add && !addedKey_.isEmpty();
    const QVariantList key = addedKey_;
    mode_ = Mode::None;
    addedKey_.clear();
    if (!reserved)
        return;
    if (reservedOwnTx_) {
        reservedOwnTx_ = false;
        conn_->rollback();
        return;
    }
    // Inside the caller's transaction: remove the reserved row again.
    QStringList conds;
    for (const QString& k : keyFields_)
        conds << conn_->ident(k) + QLatin1String(" = ?");
    conn_->run(QStringLiteral("DELETE FROM %1 WHERE %2").arg(conn_->ident(table_), conds.join(QLatin1String(" AND "))), key)
        .finish();
    noteWrite(true, key, {}, false);
}

void Recordset::deleteRecord()
{
    checkOpen();
    if (table_.isEmpty())
        throw DbError(DbErr::ReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    if (mode_ != Mode::None)
        cancelUpdate();
    const QVariantList key = keyOf(current());
    QStringList conds;
    for (const QString& k : keyFields_)
        conds << conn_->ident(k) + QLatin1String(" = ?");
    conn_->run(QStringLiteral("DELETE FROM %1 WHERE %2").arg(conn_->ident(table_), conds.join(QLatin1String(" AND "))), key).finish();
    noteWrite(true, key, {}, false);
    rows_.erase(rows_.begin() + pos_);
    // The next moveNext reaches the row after the deleted one.
    anchor_ = key;
    --pos_;
    bof_ = eof_ = false;
}

QVariantList Recordset::bookmark() { return keyOf(current()); }

void Recordset::setBookmark(const QVariantList& key)
{
    checkOpen();
    if (!query_) {
        if (!seek(key))
            throw DbError(DbErr::NoCurrentRecord, QStringLiteral("Not a valid bookmark."));
        return;
    }
    ensureLoaded();
    for (int i = 0; i < int(rows_.size()); ++i) {
        if (keyOf(rows_[i]) == key) {
            pos_ = i;
            bof_ = eof_ = false;
            return;
        }
    }
    throw DbError(DbErr::NoCurrentRecord, QStringLiteral("Not a valid bookmark."));
}

} // namespace qqc::db
