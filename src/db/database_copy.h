#pragma once
// Making a sample database on a server, and copying a laboratory's samples
// between two databases (a file and a server, either way).

#include "db/engine.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace qqc::db {

// Creates the sample database layout in the empty server database `uri`
// from the template file (the same tables, keys, indexes, cascade, stored
// queries and rows as a new file, in the server's types). Throws DbError:
// NotADatabase, untouched, when the database already holds tables.
void createServerDatabase(const QString& uri, const QString& templateFile);

// The table statements of an SQLite layout in the server's dialect: one
// statement becomes one or more (a trigger becomes a function and a trigger).
// An index statement given its table's key columns also holds them, as an
// SQLite index does.
QStringList serverStatements(const QString& sqliteStatement, const QStringList& tableKey = {});

// The tables that hold a laboratory's data (not the layout's own tables:
// the version, the catalogue and the stored queries).
const QStringList& dataTables();

// Called after each statement of a copy with the rows copied so far and
// the total; returning false cancels the copy (nothing is kept).
using CopyProgress = std::function<bool(qint64 done, qint64 total)>;

// Copies the data tables of `from` into `to` with their keys, in one
// transaction of `to`: the rows `to` holds in them are replaced, and each
// auto-number goes on after the highest copied key. `to` must hold no
// samples (DbError DuplicateKey otherwise, nothing changed). Returns the
// number of rows copied.
qint64 copyDataTables(Database& from, Database& to, const CopyProgress& progress = {});

// Opens the database `to` for a copy, making it first when it does not exist
// yet (a file from the template, an empty server database from the
// template's layout).
std::unique_ptr<Database> openCopyTarget(const QString& to, const QString& templateFile);

} // namespace qqc::db
