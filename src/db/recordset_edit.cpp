#include "db/connection.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

#include <algorithm>

namespace qqc::db {

void Recordset::addNew()
{
    checkOpen();
    if (table_.isEmpty())
        throw DbError(DbErr::ReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    if (query_ && !loaded_ && layout_.isEmpty()) {
        // The query's fields without reading its rows.
        QSqlQuery& q = conn_->run(QStringLiteral("SELECT * FROM (%1) qqc_fields WHERE 1 = 0").arg(query_->sql_),
                                  query_->params_);
        layout_ = q.record();
        q.finish();
    }
    if (mode_ != Mode::None)
        cancelUpdate();
    buffer_ = layout_;
    buffer_.clearValues();
    for (int i = 0; i < buffer_.count(); ++i)
        buffer_.setGenerated(i, false);
    addedKey_.clear();
    reservedOwnTx_ = false;
    if (autoKey_) {
        // The auto-number is assigned now. Outside a transaction the add gets
        // one of its own, so an abandoned or failed add leaves no empty row;
        // inside one, cancelUpdate() removes the reserved row again.
        if (conn_->depth == 0) {
            conn_->begin();
            reservedOwnTx_ = true;
        }
        try {
            const QVariant id = conn_->insertDefaultRow(table_);
            addedKey_ << id;
            const int i = buffer_.indexOf(keyFields_.front());
            if (i >= 0)
                buffer_.setValue(i, id);
            *lastWrite_ = ++conn_->clock;
        } catch (...) {
            if (reservedOwnTx_)
                conn_->rollback();
            reservedOwnTx_ = false;
            throw;
        }
    }
    mode_ = Mode::Add;
}

void Recordset::edit()
{
    checkOpen();
    if (table_.isEmpty())
        throw DbError(DbErr::ReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    if (mode_ != Mode::None)
        cancelUpdate();
    buffer_ = current();
    for (int i = 0; i < buffer_.count(); ++i)
        buffer_.setGenerated(i, false);
    mode_ = Mode::Edit;
}

void Recordset::update()
{
    checkOpen();
    if (mode_ == Mode::None)
        throw DbError(DbErr::UpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    if (writable_.size() != size_t(layout_.count()))
        prepareLayout();
    const bool insert = mode_ == Mode::Add && addedKey_.isEmpty();
    QStringList cols;
    QVariantList values;
    quint64 mask = insert ? quint64(1) << 63 : 0;
    bool complete = true;
    for (int i = 0; i < buffer_.count(); ++i) {
        if (!buffer_.isGenerated(i)) {
            if (mode_ == Mode::Add && !(isKey_[size_t(i)] && !addedKey_.isEmpty()))
                complete = false;   // a default the program has not seen
            continue;
        }
        if (!writable_[size_t(i)])
            continue;   // a computed column of the query
        if (mode_ == Mode::Add && !addedKey_.isEmpty() && isKey_[size_t(i)])
            continue;
        cols << buffer_.fieldName(i);
        values << buffer_.value(i);
        if (i < 62)
            mask |= quint64(1) << i;
    }
    // Statements are cached by the set of fields written.
    const bool cacheable = buffer_.count() <= 62;
    QString& sql = writeSql_[mask];

    QVariantList key, oldKey;
    try {
        if (insert) {
            if (sql.isEmpty() || !cacheable) {
                QStringList idents, marks;
                for (const QString& c : cols) {
                    idents << conn_->ident(c);
                    marks << QStringLiteral("?");
                }
                sql = cols.isEmpty()
                    ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(conn_->ident(table_))
                    : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(conn_->ident(table_), idents.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
            }
            conn_->run(sql, values).finish();
            key = keyOf(buffer_);
        } else {
            oldKey = mode_ == Mode::Add ? addedKey_ : keyOf(current());
            if (!cols.isEmpty()) {
                if (sql.isEmpty() || !cacheable) {
                    QStringList sets, conds;
                    for (const QString& c : cols)
                        sets << conn_->ident(c) + QLatin1String(" = ?");
                    for (const QString& k : keyFields_)
                        conds << conn_->ident(k) + QLatin1String(" = ?");
                    sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                              .arg(conn_->ident(table_), sets.join(QLatin1String(", ")), conds.join(QLatin1String(" AND ")));
                }
                QSqlQuery& q = conn_->run(sql, values + oldKey);
                const int n = q.numRowsAffected();
                q.finish();
                if (n == 0)
                    throw DbError(RecordDeleted, QStringLiteral("Record is deleted."));
            }
            key = mode_ == Mode::Edit ? keyOf(buffer_) : addedKey_;
        }
    } catch (...) {
        // The row stays in edit mode; cancelUpdate() abandons it.
        *lastWrite_ = ++conn_->clock;
        throw;
    }
    if (reservedOwnTx_) {
        conn_->commit();
        reservedOwnTx_ = false;
    }

    const bool added = mode_ == Mode::Add;
    mode_ = Mode::None;
    lastModified_ = key;
    addedKey_.clear();
    for (int i = 0; i < buffer_.count(); ++i)
        buffer_.setGenerated(i, true);
    noteWrite(false, key, oldKey, complete);
    if (!added) {
        rows_[size_t(pos_)] = buffer_;
    } else if (query_) {
        if (loaded_) {
            rows_.push_back(buffer_);
            pos_ = int(rows_.size()) - 1;
            bof_ = eof_ = false;
        }
    } else {
        // The new row becomes current; when some of its fields took their
        // defaults it is read back only when someone looks at it.
        rows_.clear();
        rows_.push_back(buffer_);
        pos_ = 0;
        bof_ = eof_ = false;
        noMatch_ = false;
        pageHasStart_ = pageHasEnd_ = false;
        stale_ = !complete;
    }
}

void Recordset::cancelUpdate()
{
    if (mode_ == Mode::None)
        return;
    const bool reserved = mode_ == Mode::Add && !addedKey_.isEmpty();
    const QVariantList key = addedKey_;
    mode_ = Mode::None;
    addedKey_.clear();
    if (!reserved)
        return;
    if (reservedOwnTx_) {
        reservedOwnTx_ = false;
        conn_->rollback();
        return;
    }
    // Inside the caller's transaction: remove the reserved row again.
    QStringList conds;
    for (const QString& k : keyFields_)
        conds << conn_->ident(k) + QLatin1String(" = ?");
    conn_->run(QStringLiteral("DELETE FROM %1 WHERE %2").arg(conn_->ident(table_), conds.join(QLatin1String(" AND "))), key)
        .finish();
    noteWrite(true, key, {}, false);
}

void Recordset::deleteRecord()
{
    checkOpen();
    if (table_.isEmpty())
        throw DbError(DbErr::ReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    if (mode_ != Mode::None)
        cancelUpdate();
    const QVariantList key = keyOf(current());
    QStringList conds;
    for (const QString& k : keyFields_)
        conds << conn_->ident(k) + QLatin1String(" = ?");
    conn_->run(QStringLiteral("DELETE FROM %1 WHERE %2").arg(conn_->ident(table_), conds.join(QLatin1String(" AND "))), key).finish();
    noteWrite(true, key, {}, false);
    rows_.erase(rows_.begin() + pos_);
    // The next moveNext reaches the row after the deleted one.
    anchor_ = key;
    --pos_;
    bof_ = eof_ = false;
}

QVariantList Recordset::bookmark() { return keyOf(current()); }

void Recordset::setBookmark(const QVariantList& key)
{
    checkOpen();
    if (!query_) {
        if (!seek(key))
            throw DbError(DbErr::NoCurrentRecord, QStringLiteral("Not a valid bookmark."));
        return;
    }
    ensureLoaded();
    for (int i = 0; i < int(rows_.size()); ++i) {
        if (keyOf(rows_[i]) == key) {
            pos_ = i;
            bof_ = eof_ = false;
            return;
        }
    }
    throw DbError(DbErr::NoCurrentRecord, QStringLiteral("Not a valid bookmark."));
}

} // namespace qqc::db
