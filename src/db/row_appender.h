#pragma once
// Many new rows for one table, written several to a statement: the bulk
// road of a copy between databases and of an import. A file takes them as
// multi-row INSERTs; a server as COPY batches streamed through the driver's
// own libpq connection (multi-row INSERTs when the program is built without
// libpq), so a load is not one round trip per row.
//
// Use it inside a transaction (the rows are written in batches, and only
// the commit makes them whole), and call finish() before the commit. On a
// server the COPY stays open from the first batch to finish(): nothing else
// runs on the database meanwhile, so tables are loaded one after another.

#include "db/engine.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace qqc::db {

class RowAppender {
public:
    // `columns` as the layout names them; every row gives one value for each.
    RowAppender(Database& db, const QString& table, const QStringList& columns);
    // Rows not yet written are dropped (the caller rolls back).
    ~RowAppender();
    RowAppender(const RowAppender&) = delete;
    RowAppender& operator=(const RowAppender&) = delete;

    // Adds one row; it is written with the next batch. Throws DbError when
    // a batch fails (the transaction must then be rolled back).
    void append(const QVariantList& row);
    // Writes the rows still held.
    void finish();
    // Rows a batch holds before it is written.
    int batchRows() const { return batchRows_; }

private:
    void insertRows();
    void sendCopyText();

    Database& db_;
    QString table_;
    int columnCount_ = 0;
    int batchRows_ = 1;
    int held_ = 0;
    // Multi-row INSERT: the values of the rows held, and one statement text
    // per row count.
    QString insertHead_, rowText_;
    QVariantList values_;
    QHash<int, QString> inserts_;
    // Server COPY: the rows held, already in COPY's text form.
    bool copy_ = false;
    bool copying_ = false;  // its COPY is open on the connection
    QString copySql_;
    QByteArray copyText_;
};

} // namespace qqc::db
