#include "db/connection.h"
#include "db/server_uri.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace qqc::db {

// --- Connection ---

void Connection::begin()
{
    check();
    globalChange();
    if (depth == 0) {
        // IMMEDIATE takes the write lock at once, so a busy file is waited
        // for (busy time-out) instead of failing half-way through the work.
        // A server locks rows as they are written (a new sample number
        // comes from the key's sequence, so stations never wait for each
        // other to number a sample).
        exec(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    } else {
        exec(QStringLiteral("SAVEPOINT qqc_sp%1").arg(depth));
    }
    ++depth;
}

void Connection::commit()
{
    check();
    if (depth == 0)
        throw DbError(DbErr::Generic, QStringLiteral("Commit without a transaction."));
    if (depth == 1) {
        globalChange();
        exec(QStringLiteral("COMMIT"));
    } else {
        exec(QStringLiteral("RELEASE SAVEPOINT qqc_sp%1").arg(depth - 1));
    }
    --depth;
}

void Connection::rollback()
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
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));  // a lost connection has nothing to roll back
    } else {
        exec(QStringLiteral("ROLLBACK TO SAVEPOINT qqc_sp%1").arg(depth));
        exec(QStringLiteral("RELEASE SAVEPOINT qqc_sp%1").arg(depth));
    }
}

// --- Database ---

void Database::beginTrans() { conn_->begin(); }
void Database::commitTrans() { conn_->commit(); }
void Database::rollback() { conn_->rollback(); }

int Database::transactionDepth() const { return conn_ ? conn_->depth : 0; }

// Plain pragmas on the connection: they change no table, so they leave the
// write clock (and what cursors and the store remember) alone.
int Database::busyTimeout() const
{
    conn_->check();
    if (!conn_->sqlite)
        return conn_->busyMs;
    QSqlQuery q(conn_->db);
    if (!q.exec(QStringLiteral("PRAGMA busy_timeout")) || !q.next())
        throw fromSqlError(q.lastError(), QStringLiteral("PRAGMA busy_timeout"));
    return q.value(0).toInt();
}

void Database::setBusyTimeout(int ms)
{
    if (!conn_->sqlite) {
        conn_->exec(QStringLiteral("SET lock_timeout = %1").arg(ms));
        conn_->busyMs = ms;
        return;
    }
    conn_->exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(ms));
}

void Database::compact(const QString& source, const QString& destination)
{
    if (isServerUri(source) || isServerUri(destination))
        throw DbError(DbErr::NotOnThisDatabase,
                      QStringLiteral("Compact is not available on this database (%1): the server keeps its own "
                                     "tables compact.").arg(displayUri(isServerUri(source) ? source : destination)));
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

} // namespace qqc::db
