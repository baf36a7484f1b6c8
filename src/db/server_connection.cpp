// The engine's server path: a PostgreSQL database through Qt's QPSQL
// driver. Opening, the session settings, the errors a server gives, and
// getting a new connection when the server comes back.
#include "db/connection.h"
#include "db/server_uri.h"

#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace qqc::db {

namespace {

std::atomic<int> serverCounter{0};
std::atomic<int> probeCounter{0};

// The driver connection's address, login and options from a server URI.
void applyAddress(QSqlDatabase& db, const ServerAddress& a)
{
    db.setHostName(a.host);
    db.setPort(a.port);
    db.setUserName(a.user);
    // The password of a typed address is used, never kept anywhere else;
    // without one libpq reads ~/.pgpass or PGPASSWORD.
    db.setPassword(a.password);
    db.setDatabaseName(a.database.isEmpty() ? a.user : a.database);
    QString options = a.options;
    if (!options.contains(QLatin1String("connect_timeout")))
        options += (options.isEmpty() ? QString() : QStringLiteral(";")) + QStringLiteral("connect_timeout=5");
    db.setConnectOptions(options);
}

} // namespace

bool serverAnswers(const QString& uri)
{
    ServerAddress a;
    if (!parseServerUri(uri, a))
        return false;
    const QString name = QStringLiteral("qqc-probe-%1").arg(++probeCounter);
    bool answers = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        applyAddress(db, a);
        answers = db.open();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return answers;
}

bool isConnectionLost(const QSqlError& e)
{
    const QString code = e.nativeErrorCode();
    // Class 08: connection exception; 57P01..03: the server shut down or is
    // starting. Without a code: libpq's own texts for a dead socket.
    if (code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") || code == QLatin1String("57P02")
        || code == QLatin1String("57P03"))
        return true;
    const QString text = (e.databaseText() + QLatin1Char(' ') + e.driverText()).toLower();
    return text.contains(QLatin1String("server closed the connection"))
        || text.contains(QLatin1String("no connection to the server"))
        || text.contains(QLatin1String("terminating connection"))
        || text.contains(QLatin1String("could not send data to server"))
        || text.contains(QLatin1String("could not receive data from server"));
}

DbError fromServerError(const QSqlError& e, const QString& context)
{
    const QString code = e.nativeErrorCode();
    const QString text = e.databaseText().trimmed().isEmpty() ? e.text().trimmed() : e.databaseText().trimmed();
    if (isConnectionLost(e))
        return DbError(DbErr::DiskIo, QStringLiteral("Disk or network error (the connection to the database server "
                                                     "was lost: %1).").arg(text));
    if (code == QLatin1String("23505"))
        return DbError(DbErr::DuplicateKey, QStringLiteral("The changes you requested to the table were not successful because they would create duplicate values in the index, primary key, or relationship."));
    if (code == QLatin1String("42P01"))
        return DbError(DbErr::ObjectNotFound, text);
    if (code == QLatin1String("42703"))
        return DbError(DbErr::ItemNotFound, text);
    // A lock wait that ran out, a deadlock or a serialization failure: the
    // work can be done again later, as with a locked file.
    if (code == QLatin1String("55P03") || code == QLatin1String("40P01") || code == QLatin1String("40001"))
        return DbError(DbErr::FileInUse, QStringLiteral("Could not use '%1'; locked by another station.").arg(context));
    if (code == QLatin1String("53100"))
        return DbError(DbErr::DiskFull, QStringLiteral("Not enough space on disk (%1).").arg(text));
    if (code == QLatin1String("25006"))
        return DbError(DbErr::ReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    if (code.startsWith(QLatin1String("28")))
        return DbError(DbErr::ServerUnavailable, text);
    return DbError(DbErr::Generic, text.isEmpty() ? context : text);
}

void Connection::connectServer()
{
    ServerAddress a;
    QString error;
    if (!parseServerUri(address, a, &error))
        throw DbError(DbErr::ServerUnavailable, error);
    if (!db.isValid())
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    applyAddress(db, a);
    if (!db.open()) {
        const QSqlError e = db.lastError();
        const QString why = e.databaseText().trimmed().isEmpty() ? e.text().trimmed() : e.databaseText().trimmed();
        db.close();
        throw DbError(DbErr::ServerUnavailable,
                      QStringLiteral("Could not open the database %1: %2").arg(path, why));
    }
    QSqlQuery q(db);
    // Lock waits are bounded like a file's busy time-out; notices (such as
    // "does not exist, skipping") stay out of the log.
    for (const QString& sql : {QStringLiteral("SET lock_timeout = %1").arg(busyMs),
                               QStringLiteral("SET client_min_messages = warning")}) {
        if (!q.exec(sql))
            throw fromSqlError(q.lastError(), path);
    }
    if (readOnly && !q.exec(QStringLiteral("SET default_transaction_read_only = on")))
        throw fromSqlError(q.lastError(), path);
    for (const QString& channel : std::as_const(channels)) {
        if (!db.driver()->subscribeToNotification(channel))
            throw fromSqlError(db.driver()->lastError(), path);
    }
}

DbError Connection::error(const QSqlError& e, const QString& context) const
{
    if (lost(e))
        return DbError(DbErr::DiskIo, QStringLiteral("Disk or network error (the connection to the database server %1 "
                                                     "was lost).").arg(path));
    return fromSqlError(e, context);
}

namespace {

// A new driver connection for `c` after its old one was lost; kept
// statements belonged to the old one.
bool reopen(Connection& c)
{
    c.statements.clear();
    c.directStatements.clear();
    c.db.close();
    try {
        c.connectServer();
    } catch (const DbError&) {
        return false;
    }
    if (c.notices)
        c.notices->reconnected();
    return true;
}

} // namespace

bool Connection::reconnectAfter(const QSqlError& e)
{
    if (sqlite || depth > 0 || !open || !lost(e))
        return false;
    return reopen(*this);
}

bool Connection::reconnectLost()
{
    if (sqlite || depth > 0 || !open || db.isOpen())
        return false;
    return reopen(*this);
}

QVariant Connection::insertDefaultRow(const QString& table)
{
    if (sqlite) {
        QSqlQuery& q = run(QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(ident(table)), {});
        const QVariant id = q.lastInsertId();
        q.finish();
        return id;
    }
    QSqlQuery& q = run(QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING %2")
                           .arg(ident(table), ident(keyFields(table).front())), {});
    const QVariant id = q.next() ? q.value(0) : QVariant();
    q.finish();
    return id;
}

std::unique_ptr<Database> Database::openServer(const QString& uri, const OpenOptions& options)
{
    auto conn = std::make_shared<Connection>();
    conn->name = QStringLiteral("qqc-server-%1").arg(++serverCounter);
    conn->path = displayUri(uri);
    conn->address = uri;
    conn->sqlite = false;
    conn->busyMs = options.busyTimeoutMs;
    conn->readOnly = options.access == OpenOptions::Access::ReadOnly;
    try {
        conn->connectServer();
    } catch (...) {
        conn->release();
        throw;
    }
    conn->open = true;
    std::unique_ptr<Database> db(new Database);
    db->conn_ = std::move(conn);
    return db;
}

bool Database::onServer() const { return conn_ && !conn_->sqlite; }

ServerNotices* Database::listen(const QString& channel)
{
    conn_->check();
    if (conn_->sqlite)
        return nullptr;
    if (!conn_->notices)
        conn_->notices = std::make_unique<ServerNotices>(*conn_);
    if (!conn_->channels.contains(channel)) {
        conn_->reconnectLost();
        if (!conn_->db.driver()->subscribeToNotification(channel))
            throw conn_->error(conn_->db.driver()->lastError(), QStringLiteral("LISTEN ") + channel);
        conn_->channels << channel;
    }
    return conn_->notices.get();
}

std::pair<qint64, qint64> Database::changeToken()
{
    conn_->check();
    if (conn_->sqlite)
        return {queryValue(QStringLiteral("PRAGMA data_version")).toLongLong(),
                queryValue(QStringLiteral("SELECT total_changes()")).toLongLong()};
    // The oldest transaction number not yet handed out: it moves on with
    // every transaction that writes, this station's or another's.
    return {queryValue(QStringLiteral("SELECT pg_snapshot_xmax(pg_current_snapshot())::text::bigint")).toLongLong(), 0};
}

} // namespace qqc::db
