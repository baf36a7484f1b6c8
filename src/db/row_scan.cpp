#include "db/connection.h"

#include <QSqlError>
#include <QSqlRecord>

namespace qqc::db {

namespace {

// A value as Qt's driver hands it (integers as qlonglong, reals as double,
// text as QString), back in its storage class.
StoredValue fromVariant(const QVariant& given, QByteArray& buffer)
{
    const QVariant v = fromServer(given);
    StoredValue s;
    if (v.isNull())
        return s;
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        s.type = StoredValue::Integer;
        s.integer = v.toLongLong();
        break;
    case QMetaType::Double:
        s.type = StoredValue::Real;
        s.real = v.toDouble();
        break;
    case QMetaType::QByteArray:
        s.type = StoredValue::Blob;
        buffer = v.toByteArray();
        s.bytes = buffer;
        break;
    default:
        s.type = StoredValue::Text;
        buffer = v.toString().toUtf8();
        s.bytes = buffer;
        break;
    }
    return s;
}

} // namespace

void Database::scanPairs(const QString& sql, const QVariantList& params,
                         const std::function<void(qint64, const StoredValue&)>& row)
{
    conn_->check();
#ifdef QQC_NATIVE_SQLITE
    if (conn_->native) {
        sqlite3_stmt* st = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(conn_->native, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK)
            throw conn_->nativeError(sql);
        struct Finalize {
            sqlite3_stmt* st;
            ~Finalize() { sqlite3_finalize(st); }
        } finalize{st};
        for (int i = 0; i < params.size(); ++i)
            conn_->bindNative(st, i + 1, toStored(params[i]));
        const bool withValue = sqlite3_column_count(st) > 1;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            StoredValue v;
            switch (withValue ? sqlite3_column_type(st, 1) : SQLITE_NULL) {
            case SQLITE_INTEGER:
                v.type = StoredValue::Integer;
                v.integer = sqlite3_column_int64(st, 1);
                break;
            case SQLITE_FLOAT:
                v.type = StoredValue::Real;
                v.real = sqlite3_column_double(st, 1);
                break;
            case SQLITE_TEXT:
                v.type = StoredValue::Text;
                v.bytes = QByteArrayView(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                                         sqlite3_column_bytes(st, 1));
                break;
            case SQLITE_BLOB:
                v.type = StoredValue::Blob;
                v.bytes = QByteArrayView(static_cast<const char*>(sqlite3_column_blob(st, 1)),
                                         sqlite3_column_bytes(st, 1));
                break;
            default:
                break;
            }
            row(sqlite3_column_int64(st, 0), v);
        }
        if (rc != SQLITE_DONE)
            throw conn_->nativeError(sql);
        return;
    }
#endif
    const bool guarded = conn_->guardStatement();
    try {
        QSqlQuery q(conn_->db);
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            throw fromSqlError(q.lastError(), sql);
        for (int i = 0; i < params.size(); ++i)
            q.bindValue(i, toStored(params[i]));
        if (!q.exec())
            throw fromSqlError(q.lastError(), sql);
        QByteArray buffer;
        const bool withValue = q.record().count() > 1;
        while (q.next())
            row(q.value(0).toLongLong(), withValue ? fromVariant(q.value(1), buffer) : StoredValue{});
        if (q.lastError().isValid())
            throw fromSqlError(q.lastError(), sql);
    } catch (...) {
        if (guarded)
            conn_->undoStatement();
        throw;
    }
}

} // namespace qqc::db
