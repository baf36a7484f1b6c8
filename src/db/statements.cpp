#include "db/connection.h"

#include <QSqlQuery>

#include <algorithm>

namespace qqc::db {

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
        value = fromServer(q.value(0));
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
        // moves it on when a row is written with its number. A server takes
        // the number from the key's sequence: stations storing at once each
        // get their own, and a number is never handed out twice.
        sql = conn_->sqlite
            ? QStringLiteral("SELECT MAX(COALESCE((SELECT seq FROM sqlite_sequence WHERE name = ?), 0), "
                             "COALESCE(%1, 0)) + 1").arg(highest)
            : QStringLiteral("SELECT nextval(pg_get_serial_sequence(?, ?))");
    }
    return queryValue(sql, conn_->sqlite ? QVariantList{table}
                                         : QVariantList{conn_->ident(table), conn_->stored(conn_->keyFields(table).front())})
        .toLongLong();
}

std::vector<qint64> Database::nextAutoNumbers(const QString& table, qint64 count)
{
    std::vector<qint64> numbers;
    if (count <= 0)
        return numbers;
    numbers.reserve(size_t(count));
    const qint64 first = nextAutoNumber(table);
    numbers.push_back(first);
    if (conn_->sqlite) {
        // The transaction holds the write lock: the numbers after it are free.
        for (qint64 i = 1; i < count; ++i)
            numbers.push_back(first + i);
        return numbers;
    }
    scanPairs(QStringLiteral("SELECT nextval(pg_get_serial_sequence(?, ?)) FROM generate_series(2, CAST(? AS INTEGER))"),
              {conn_->ident(table), conn_->stored(conn_->keyFields(table).front()), count},
              [&](qint64 number, const StoredValue&) { numbers.push_back(number); });
    std::sort(numbers.begin(), numbers.end());
    return numbers;
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
        // A server names the number of an inserted row by RETURNING.
        const bool returning = insertId && !conn_->sqlite && conn_->autoKey(table);
        QSqlQuery& q = conn_->run(returning ? sql + QStringLiteral(" RETURNING ") + conn_->ident(conn_->keyFields(table).front())
                                            : sql,
                                  params);
        const int n = q.numRowsAffected();
        if (returning)
            *insertId = q.next() ? q.value(0) : QVariant();
        else if (insertId)
            *insertId = q.lastInsertId();
        q.finish();
        *clock = ++conn_->clock;
        return n;
    } catch (...) {
        *clock = ++conn_->clock;
        throw;
    }
}

} // namespace qqc::db
