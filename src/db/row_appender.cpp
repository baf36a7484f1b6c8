#include "db/row_appender.h"

#include "db/connection.h"

#ifdef QQC_NATIVE_PQ
#include <libpq-fe.h>
#endif

#include <QLocale>

namespace qqc::db {

namespace {

// Bound values per multi-row INSERT: well inside both engines' limits, and
// enough rows per statement that a bulk load is not one round trip per row.
constexpr int ValuesPerStatement = 4000;
// COPY text handed to the server at a time, and rows between progress steps.
constexpr qsizetype CopyChunkBytes = 256 * 1024;
constexpr int CopyBatchRows = 1000;

#ifdef QQC_NATIVE_PQ
PGconn* pqHandle(const QSqlDatabase& db)
{
    const QVariant h = db.driver()->handle();
    // The driver names the handle by libpq's struct.
    if (!h.isValid() || (qstrcmp(h.typeName(), "pg_conn*") != 0 && qstrcmp(h.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(h.constData());
}

// One value in COPY's text form: \N for null, text with its backslash,
// tab and line breaks escaped.
void appendCopyValue(QByteArray& out, const QVariant& given)
{
    const QVariant v = toStored(given);
    if (v.isNull()) {
        out += "\\N";
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        out += QByteArray::number(v.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        // The shortest text that reads back as the same double.
        out += QByteArray::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        return;
    case QMetaType::QByteArray:
        out += "\\\\x" + v.toByteArray().toHex();
        return;
    default:
        break;
    }
    const QByteArray text = v.toString().toUtf8();
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c; break;
        }
    }
}

// The engine error for a failed COPY, mapped as a failed statement is.
DbError copyError(Connection& conn, PGconn* pg, PGresult* result, const QString& sql)
{
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const QSqlError e(QString::fromUtf8(PQerrorMessage(pg)).trimmed(), QString::fromUtf8(primary ? primary : ""),
                      QSqlError::StatementError, QString::fromLatin1(state ? state : ""));
    return conn.error(e, sql);
}
#endif

} // namespace

RowAppender::RowAppender(Database& db, const QString& table, const QStringList& columns)
    : db_(db), table_(table), columnCount_(int(columns.size()))
{
    QStringList idents;
    for (const QString& c : columns)
        idents << db.ident(c);
#ifdef QQC_NATIVE_PQ
    copy_ = db.onServer() && pqHandle(db.connection());
#endif
    if (copy_) {
        copySql_ = QStringLiteral("COPY %1 (%2) FROM STDIN").arg(db.ident(table), idents.join(QLatin1String(", ")));
        batchRows_ = CopyBatchRows;
        return;
    }
    batchRows_ = std::max(1, ValuesPerStatement / std::max(1, columnCount_));
    insertHead_ = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(db.ident(table), idents.join(QLatin1String(", ")));
    rowText_ = QLatin1Char('(') + QStringList(columnCount_, QStringLiteral("?")).join(QLatin1String(", "))
        + QLatin1Char(')');
}

RowAppender::~RowAppender()
{
#ifdef QQC_NATIVE_PQ
    // A COPY left open by a failure is ended as failed, so the connection
    // can roll the transaction back.
    if (copying_) {
        if (PGconn* pg = pqHandle(db_.connection())) {
            PQputCopyEnd(pg, "load abandoned");
            while (PGresult* r = PQgetResult(pg))
                PQclear(r);
        }
    }
#endif
}

void RowAppender::append(const QVariantList& row)
{
    if (row.size() != columnCount_)
        throw DbError(DbErr::BadParameter, QStringLiteral("%1 values for %2 columns of %3")
                                               .arg(row.size()).arg(columnCount_).arg(table_));
    if (!copy_) {
        values_ += row;
        if (++held_ == batchRows_)
            insertRows();
        return;
    }
#ifdef QQC_NATIVE_PQ
    for (int i = 0; i < columnCount_; ++i) {
        if (i > 0)
            copyText_ += '\t';
        appendCopyValue(copyText_, row[i]);
    }
    copyText_ += '\n';
    ++held_;
    if (copyText_.size() >= CopyChunkBytes)
        sendCopyText();
#endif
}

void RowAppender::finish()
{
    if (!copy_) {
        insertRows();
        return;
    }
#ifdef QQC_NATIVE_PQ
    sendCopyText();
    if (!copying_)
        return;
    PGconn* pg = pqHandle(db_.connection());
    copying_ = false;
    Connection& conn = *db_.conn_;
    if (PQputCopyEnd(pg, nullptr) != 1)
        throw copyError(conn, pg, nullptr, copySql_);
    *conn.writeClock(table_) = ++conn.clock;
    PGresult* result = PQgetResult(pg);
    if (!result || PQresultStatus(result) != PGRES_COMMAND_OK) {
        const DbError failure = copyError(conn, pg, result, copySql_);
        PQclear(result);
        while (PGresult* r = PQgetResult(pg))
            PQclear(r);
        throw failure;
    }
    PQclear(result);
    while (PGresult* r = PQgetResult(pg))
        PQclear(r);
#endif
}

void RowAppender::insertRows()
{
    if (held_ == 0)
        return;
    QString& sql = inserts_[held_];
    if (sql.isEmpty())
        sql = insertHead_ + QStringList(held_, rowText_).join(QLatin1String(", "));
    db_.executeOn(table_, sql, values_);
    values_.clear();
    held_ = 0;
}

#ifdef QQC_NATIVE_PQ
void RowAppender::sendCopyText()
{
    if (held_ == 0)
        return;
    Connection& conn = *db_.conn_;
    conn.check();
    PGconn* pg = pqHandle(conn.db);
    if (!copying_) {
        // The COPY stays open while rows come: the server stores one chunk
        // while the next is made.
        // Qt's driver reads a forward-only query's last result only when the
        // next statement starts, as a new statement of its own would.
        if (PQtransactionStatus(pg) == PQTRANS_ACTIVE)
            while (PGresult* r = PQgetResult(pg))
                PQclear(r);
        PGresult* result = PQexec(pg, copySql_.toUtf8().constData());
        if (!result || PQresultStatus(result) != PGRES_COPY_IN) {
            const DbError failure = copyError(conn, pg, result, copySql_);
            PQclear(result);
            throw failure;
        }
        PQclear(result);
        copying_ = true;
    }
    if (PQputCopyData(pg, copyText_.constData(), int(copyText_.size())) != 1)
        throw copyError(conn, pg, nullptr, copySql_);
    held_ = 0;
    copyText_.clear();
}
#endif

} // namespace qqc::db
