#include "db/connection.h"

#ifdef QQC_NATIVE_SQLITE

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace qqc::db {

sqlite3* linkedSqliteHandle(const QSqlDatabase& db)
{
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT sqlite_version()")) || !q.next()
        || q.value(0).toString() != QLatin1String(sqlite3_libversion()))
        return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

void Connection::attachNative()
{
    native = linkedSqliteHandle(db);
}

DbError Connection::nativeError(const QString& sql) const
{
    return fromSqlError(QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(native)), QSqlError::StatementError,
                                  QString::number(sqlite3_extended_errcode(native))),
                        sql);
}

// Binds as Qt's SQLite driver does (integers as integers, doubles as
// reals, text as text, null as null, any other type as its text), so
// both paths store the same values with the same storage classes.
void Connection::bindNative(sqlite3_stmt* st, int i, const QVariant& v)
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
QVariant Connection::nativeColumn(sqlite3_stmt* st)
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
int Connection::runNative(const QString& sql, const QVariantList& params, QVariant* insertId, QVariant* firstValue)
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

void Connection::releaseNative()
{
    for (const NativeStatement& n : std::as_const(nativeStatements))
        sqlite3_finalize(n.stmt);
    nativeStatements.clear();
    native = nullptr;
}

} // namespace qqc::db

#endif
