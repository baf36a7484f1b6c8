#pragma once
// A database on a PostgreSQL server, named by a connection URI
// (postgresql://user@host:port/dbname?sslmode=require, or with
// ?host=/socket/folder for a Unix socket) where a file path is accepted.
//
// The password is never kept: libpq reads it from ~/.pgpass or PGPASSWORD;
// a URI typed with one is used for that connection only. Everything that
// shows or remembers the database uses displayUri(), which leaves it out.

#include <QString>

namespace qqc::db {

// True for "postgresql://..." and "postgres://...".
bool isServerUri(const QString& text);

// The URI without its password (and unchanged when it has none, or is a
// file path): what the title, messages, settings and spool keep.
QString displayUri(const QString& text);

struct ServerAddress {
    QString host;        // name, address or socket folder; empty: libpq's default
    int port = -1;       // -1: default
    QString user;        // empty: the login name
    QString password;    // empty: ~/.pgpass or PGPASSWORD
    QString database;    // empty: the user name
    QString options;     // the rest of the query, "key=value;key=value" as Qt's driver takes it
};

// The parts of a server URI; false (with `error`) when it cannot be read.
bool parseServerUri(const QString& uri, ServerAddress& address, QString* error = nullptr);

// True when the server database takes a connection now: a throwaway
// connection of its own, opened and closed. Any thread may call it; it
// waits at most the address's connect_timeout (5 s unless given).
bool serverAnswers(const QString& uri);

} // namespace qqc::db
