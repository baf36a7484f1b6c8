#pragma once
// Inside the engine: the shared state of one open database (its Qt SQL
// connection, kept statements, table layouts and the write clock), which the
// Database, its cursors and its queries hold together, and the conversions
// every part of the engine shares. Not for use outside src/db.
//
// The engine's parts, one file each:
//   connection.cpp     open, close, table layouts, statements
//   journal.cpp        the journal a file keeps, the file system it is on
//   native_sqlite.cpp  the hottest statements on the driver's own handle
//   statements.cpp     statements that return no rows or one value
//   row_scan.cpp       reading many (integer, value) rows at once
//   transactions.cpp   transactions and savepoints, compact
//   query_def.cpp      stored and temporary queries
//   recordset.cpp      cursors: navigation, seek, fields, what they remember
//   recordset_edit.cpp cursors: adding, editing and deleting rows

#include "db/engine.h"
#include "db/server_notices.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlDriver>
#include <QSqlRecord>

#include <memory>

#ifdef QQC_NATIVE_SQLITE
#include <sqlite3.h>
#endif

namespace qqc::db {

// Rows a table cursor reads at a time.
constexpr int PageSize = 128;
// The classic number of "record is deleted".
constexpr int RecordDeleted = 3167;

// Dates are stored as ISO text in local time, so that they sort and compare
// as text; UTF-8 text becomes a string for Qt's driver; other values go to
// the driver unchanged.
QVariant toStored(const QVariant& v);
// The engine error for a driver error; `context` names the statement or file.
// A server's errors (five-character SQLSTATE codes) map to the same numbers.
DbError fromSqlError(const QSqlError& e, const QString& context);
// A server error that says the connection itself is gone (server stopped or
// restarted, network cut): the statement may work again on a new connection.
bool isConnectionLost(const QSqlError& e);
DbError fromServerError(const QSqlError& e, const QString& context);
// A value as the server's driver hands it, in the form SQLite hands it:
// dates as the stored ISO text.
QVariant fromServer(const QVariant& v);
// Number of "?" parameters outside quoted text.
int countParameters(const QString& sql);

#ifdef QQC_NATIVE_SQLITE
// The Qt driver's own SQLite handle when it is the SQLite library this
// program links (same version), else null.
sqlite3* linkedSqliteHandle(const QSqlDatabase& db);

// A statement kept prepared on the driver's own SQLite handle.
struct NativeStatement {
    sqlite3_stmt* stmt = nullptr;
};
#endif

struct Connection {
    QString name;
    QString path;       // the file, or the server address without password
    QString address;    // server: the address as given (with any password), for a reconnect
    QString journalMode;
    QSqlDatabase db;
    bool open = false;
    bool sqlite = true;
    bool readOnly = false;
    int depth = 0;
    // Server: inside a transaction each statement runs under the savepoint
    // qqc_st, so a failing one is undone alone and the transaction goes on,
    // as SQLite undoes a failed statement. `statementSavepoint`: qqc_st is
    // open (released just before the next one is taken). `wholeFrom`: the
    // depth of a whole-or-nothing transaction (0: none), whose statements
    // need no savepoint.
    bool statementSavepoint = false;
    int wholeFrom = 0;
    int busyMs = 3000;  // server: the lock wait, kept to be set again on a reconnect
    QHash<QString, QSqlQuery> statements;
    QHash<QString, QSqlQuery> directStatements;  // server: run without preparing
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
    // Server: the channels this connection LISTENs to (again after every
    // reconnect), and what it hears on them.
    QStringList channels;
    std::unique_ptr<ServerNotices> notices;
#ifdef QQC_NATIVE_SQLITE
    // The driver's handle when it is the SQLite library this program links
    // (same version), else null and every statement goes through Qt SQL.
    sqlite3* native = nullptr;
    QHash<QString, NativeStatement> nativeStatements;

    void attachNative();
    DbError nativeError(const QString& sql) const;
    void bindNative(sqlite3_stmt* st, int i, const QVariant& v);
    static QVariant nativeColumn(sqlite3_stmt* st);
    int runNative(const QString& sql, const QVariantList& params, QVariant* insertId, QVariant* firstValue = nullptr);
    void releaseNative();
#endif

    std::shared_ptr<quint64> writeClock(const QString& table);
    void globalChange() { globalEvent = ++clock; }

    void check() const
    {
        if (!open)
            throw DbError(DbErr::ObjectClosed, QStringLiteral("Object invalid or no longer set."));
    }

    QString ident(const QString& name) const
    {
        return db.driver()->escapeIdentifier(sqlite ? name : name.toLower(), QSqlDriver::TableName);
    }
    // A table or column name as the database keeps it (lower case on a server).
    QString stored(const QString& name) const { return sqlite ? name : name.toLower(); }

    QSqlQuery& prepared(const QString& sql);
    QSqlQuery& run(const QString& sql, const QVariantList& params);
    void exec(const QString& sql);
    const QSqlRecord& record(const QString& table);
    const QStringList& keyFields(const QString& table);
    bool autoKey(const QString& table);

    void begin(bool wholeOrNothing = false);
    void commit();
    void rollback();
    void release();

    // Server: whether the next statement runs under a savepoint of its own,
    // which is then taken; undoStatement() after it failed.
    bool guardStatement();
    void undoStatement();

    // Server only: opens the driver connection (again after a loss), with
    // the lock wait, session settings and the channels listened to; throws
    // ServerUnavailable.
    void connectServer();
    // A server statement that failed because the connection is gone (the
    // driver then often gives no text at all).
    bool lost(const QSqlError& e) const
    {
        return !sqlite && (isConnectionLost(e) || (e.nativeErrorCode().isEmpty() && e.databaseText().trimmed().isEmpty()));
    }
    // The engine error for a failed statement of this connection.
    DbError error(const QSqlError& e, const QString& context) const;
    // Server only: a statement failed because the connection was lost while
    // no transaction was open: reconnects; false when that is not the case.
    bool reconnectAfter(const QSqlError& e);
    // Server only: the driver found the connection gone while no statement
    // ran and no transaction is open: reconnects; false when that is not the
    // case or the server is still away.
    bool reconnectLost();
    // A new row with the table's defaults, numbered by its auto-number key;
    // returns the number (RETURNING on a server).
    QVariant insertDefaultRow(const QString& table);
};

} // namespace qqc::db
