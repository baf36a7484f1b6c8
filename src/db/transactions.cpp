#include "db/connection.h"
#include "db/server_uri.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace qqc::db {

// --- Connection ---

void Connection::begin(bool wholeOrNothing)
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
        // The open statement savepoint goes first: a later "RELEASE qqc_st"
        // inside the nested one must not find it and release both.
        exec((statementSavepoint ? QStringLiteral("RELEASE SAVEPOINT qqc_st; ") : QString())
             + QStringLiteral("SAVEPOINT qqc_sp%1").arg(depth));
    }
    statementSavepoint = false;
    ++depth;
    if (wholeOrNothing && wholeFrom == 0)
        wholeFrom = depth;
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
    // Ending a transaction or savepoint ends the statement savepoints in it.
    statementSavepoint = false;
    --depth;
    if (depth < wholeFrom)
        wholeFrom = 0;
}

void Connection::rollback()
{
    check();
    if (depth == 0)
        return;
    globalChange();
    statementSavepoint = false;
    --depth;
    if (depth < wholeFrom)
        wholeFrom = 0;
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

// A server aborts the whole transaction at a failed statement; SQLite undoes
// only the statement. The savepoint gives the server SQLite's behaviour, so
// code that catches a statement's error and carries on (a refused duplicate,
// a probe for a column) works on both. The previous statement's savepoint is
// released in the same round trip.
bool Connection::guardStatement()
{
    if (sqlite || depth == 0 || wholeFrom > 0)
        return false;
    exec(statementSavepoint ? QStringLiteral("RELEASE SAVEPOINT qqc_st; SAVEPOINT qqc_st")
                            : QStringLiteral("SAVEPOINT qqc_st"));
    statementSavepoint = true;
    return true;
}

void Connection::undoStatement()
{
    // Fails only with the connection, which then ends the transaction anyway.
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK TO SAVEPOINT qqc_st"));
}

// --- Database ---

void Database::beginTrans(bool wholeOrNothing) { conn_->begin(wholeOrNothing); }
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
