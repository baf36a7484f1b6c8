#include "db/connection.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

#include <algorithm>

namespace qqc::db {

std::unique_ptr<Recordset> Database::openTable(const QString& table, const QStringList& fields)
{
    conn_->check();
    const QSqlRecord& layout = conn_->record(table);
    if (layout.isEmpty())
        throw DbError(DbErr::ObjectNotFound, QStringLiteral("Could not find object '%1'.").arg(table));
    const QStringList& keys = conn_->keyFields(table);
    if (keys.isEmpty())
        throw DbError(DbErr::Generic, QStringLiteral("Table '%1' has no primary key.").arg(table));
    std::unique_ptr<Recordset> rs(new Recordset);
    rs->conn_ = conn_;
    rs->table_ = table;
    rs->keyFields_ = keys;
    if (fields.isEmpty()) {
        rs->layout_ = layout;
        rs->selectList_ = QStringLiteral("*");
    } else {
        QStringList chosen = keys;
        for (const QString& f : fields)
            if (!chosen.contains(f, Qt::CaseInsensitive))
                chosen << f;
        QStringList idents;
        for (const QString& f : chosen) {
            const int i = layout.indexOf(f);
            if (i < 0)
                throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection (%1).").arg(f));
            rs->layout_.append(layout.field(i));
            idents << conn_->ident(layout.fieldName(i));
        }
        rs->selectList_ = idents.join(QLatin1String(", "));
    }
    QStringList conds;
    for (const QString& k : keys)
        conds << conn_->ident(k) + QLatin1String(" = ?");
    rs->seekSql_ = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                       .arg(rs->selectList_, conn_->ident(table), conds.join(QLatin1String(" AND ")));
    rs->lastWrite_ = conn_->writeClock(table);
    rs->autoKey_ = conn_->autoKey(table);
    rs->prepareLayout();
    rs->loaded_ = true;
    rs->moveFirst();
    return rs;
}

// --- Recordset ---

Recordset::~Recordset()
{
    if (mode_ != Mode::None) {
        try {
            cancelUpdate();
        } catch (...) {
        }
    }
}

void Recordset::checkOpen() const { conn_->check(); }

void Recordset::prepareLayout()
{
    fieldIndex_.clear();
    writable_.assign(size_t(layout_.count()), 0);
    isKey_.assign(size_t(layout_.count()), 0);
    const QSqlRecord* tableLayout = table_.isEmpty() ? nullptr : &conn_->record(table_);
    for (int i = 0; i < layout_.count(); ++i) {
        const QString name = layout_.fieldName(i);
        fieldIndex_.insert(name, i);
        writable_[size_t(i)] = tableLayout && tableLayout->indexOf(name) >= 0;
        isKey_[size_t(i)] = keyFields_.contains(name, Qt::CaseInsensitive);
    }
}

int Recordset::fieldIndex(const QString& name)
{
    if (fieldIndex_.isEmpty() && !layout_.isEmpty())
        prepareLayout();
    const auto it = fieldIndex_.constFind(name);
    if (it != fieldIndex_.constEnd())
        return it.value();
    const int i = layout_.indexOf(name);   // field names compare case-insensitively
    if (i < 0)
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection (%1).").arg(name));
    return i;
}

QString Recordset::cacheKey(const QVariantList& key) const
{
    QString k;
    for (const QVariant& v : key) {
        switch (v.typeId()) {
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
            // Keys are mostly numbers: no detour through the type conversion.
            k += QString::number(v.toLongLong());
            break;
        default:
            k += v.toString();
            break;
        }
        k += QChar(0x1f);
    }
    return k;
}

bool Recordset::cacheValid() const
{
    return conn_->depth > 0 && *lastWrite_ <= cacheStamp_ && conn_->globalEvent <= cacheStamp_;
}

void Recordset::resetCache()
{
    rowCache_.clear();
    wholeTableValid_ = false;
    wholeTable_.clear();
    cacheStamp_ = conn_->clock;
}

// After a write through this cursor: the table's clock advances. What this
// cursor remembers stays valid when nothing else had changed it, and the
// written row is remembered when all its fields are known.
void Recordset::noteWrite(bool deleted, const QVariantList& key, const QVariantList& oldKey, bool complete)
{
    const bool wasValid = cacheValid();
    *lastWrite_ = ++conn_->clock;
    if (deleted) {
        conn_->globalEvent = conn_->clock;   // cascades may have changed other tables
        resetCache();
        return;
    }
    if (!wasValid || conn_->depth == 0) {
        resetCache();
        return;
    }
    cacheStamp_ = conn_->clock;
    wholeTableValid_ = false;
    wholeTable_.clear();
    if (!oldKey.isEmpty() && oldKey != key)
        rowCache_.remove(cacheKey(oldKey));
    if (complete && !query_)
        rowCache_.insert(cacheKey(key), buffer_);
    else
        rowCache_.remove(cacheKey(key));
}

void Recordset::ensureLoaded()
{
    checkOpen();
    if (loaded_)
        return;
    QSqlQuery& q = conn_->run(query_->sql_, query_->params_);
    layout_ = q.record();
    rows_.clear();
    while (q.next())
        rows_.push_back(q.record());
    q.finish();
    loaded_ = true;
    pos_ = 0;
    bof_ = eof_ = rows_.empty();
    if (rows_.empty())
        pos_ = -1;
}

QVariantList Recordset::keyOf(const QSqlRecord& rec) const
{
    QVariantList key;
    for (const QString& k : keyFields_) {
        const int i = rec.indexOf(k);
        if (i < 0)
            throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection (%1).").arg(k));
        key << rec.value(i);
    }
    return key;
}

// Reads up to one page of table rows after (forward) or before the key
// `after`, or from the table's start/end when `after` is null.
void Recordset::loadTablePage(const QVariantList* after, bool forward)
{
    QStringList cols;
    for (const QString& k : keyFields_)
        cols << conn_->ident(k);
    const QString order = forward ? cols.join(QLatin1String(", "))
                                  : cols.join(QLatin1String(" DESC, ")) + QLatin1String(" DESC");
    QString where;
    if (after) {
        QStringList marks;
        for (int i = 0; i < cols.size(); ++i)
            marks << QStringLiteral("?");
        const QString lhs = cols.size() == 1 ? cols.front() : QLatin1Char('(') + cols.join(QLatin1String(", ")) + QLatin1Char(')');
        const QString rhs = marks.size() == 1 ? marks.front() : QLatin1Char('(') + marks.join(QLatin1String(", ")) + QLatin1Char(')');
        where = QStringLiteral(" WHERE %1 %2 %3").arg(lhs, forward ? QStringLiteral(">") : QStringLiteral("<"), rhs);
    }
    const QString sql = QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4 LIMIT %5")
                            .arg(selectList_, conn_->ident(table_), where, order)
                            .arg(PageSize);
    stale_ = false;
    QSqlQuery& q = conn_->run(sql, after ? *after : QVariantList());
    std::vector<QSqlRecord> page;
    while (q.next())
        page.push_back(q.record());
    q.finish();
    const bool complete = int(page.size()) < PageSize;
    if (!forward)
        std::reverse(page.begin(), page.end());
    rows_ = std::move(page);
    if (forward) {
        pageHasStart_ = after == nullptr;
        pageHasEnd_ = complete;
    } else {
        pageHasEnd_ = after == nullptr;
        pageHasStart_ = complete;
    }
}

void Recordset::moveFirst()
{
    checkOpen();
    if (mode_ != Mode::None)
        cancelUpdate();
    noMatch_ = false;
    if (query_) {
        ensureLoaded();
    } else if (conn_->depth > 0 && cacheValid() && wholeTableValid_) {
        rows_ = wholeTable_;
        pageHasStart_ = pageHasEnd_ = true;
        stale_ = false;
    } else {
        loadTablePage(nullptr, true);
        if (conn_->depth > 0 && pageHasStart_ && pageHasEnd_) {
            if (!cacheValid())
                resetCache();
            wholeTable_ = rows_;
            wholeTableValid_ = true;
        }
    }
    bof_ = eof_ = rows_.empty();
    pos_ = rows_.empty() ? -1 : 0;
}

void Recordset::moveLast()
{
    checkOpen();
    if (mode_ != Mode::None)
        cancelUpdate();
    noMatch_ = false;
    if (query_) {
        ensureLoaded();
    } else {
        loadTablePage(nullptr, false);
    }
    bof_ = eof_ = rows_.empty();
    pos_ = int(rows_.size()) - 1;
}

void Recordset::moveNext()
{
    checkOpen();
    ensureLoaded();
    if (mode_ != Mode::None)
        cancelUpdate();
    if (eof_)
        throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record."));
    bof_ = false;
    if (pos_ + 1 < int(rows_.size())) {
        ++pos_;
        return;
    }
    if (query_ || (pageHasEnd_ && !rows_.empty())) {
        pos_ = int(rows_.size());
        eof_ = true;
        return;
    }
    QVariantList anchor = rows_.empty() ? anchor_ : keyOf(rows_.back());
    if (anchor.isEmpty())
        loadTablePage(nullptr, true);
    else
        loadTablePage(&anchor, true);
    if (rows_.empty()) {
        pos_ = 0;
        eof_ = true;
    } else {
        pos_ = 0;
    }
}

void Recordset::movePrevious()
{
    checkOpen();
    ensureLoaded();
    if (mode_ != Mode::None)
        cancelUpdate();
    if (bof_)
        throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record."));
    eof_ = false;
    if (pos_ - 1 >= 0 && pos_ - 1 < int(rows_.size())) {
        --pos_;
        return;
    }
    if (query_ || (pageHasStart_ && !rows_.empty())) {
        pos_ = -1;
        bof_ = true;
        return;
    }
    QVariantList anchor = rows_.empty() ? anchor_ : keyOf(rows_.front());
    if (anchor.isEmpty())
        loadTablePage(nullptr, false);
    else
        loadTablePage(&anchor, false);
    pos_ = int(rows_.size()) - 1;
    if (rows_.empty())
        bof_ = true;
}

bool Recordset::bof()
{
    ensureLoaded();
    return bof_;
}

bool Recordset::eof()
{
    ensureLoaded();
    return eof_;
}

int Recordset::recordCount()
{
    ensureLoaded();
    if (query_)
        return int(rows_.size());
    QSqlQuery& q = conn_->run(QStringLiteral("SELECT COUNT(*) FROM %1").arg(conn_->ident(table_)), {});
    const int n = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    return n;
}

bool Recordset::seek(const QVariantList& key)
{
    checkOpen();
    if (query_)
        throw DbError(DbErr::Generic, QStringLiteral("Operation is not supported for this type of object."));
    if (mode_ != Mode::None)
        cancelUpdate();
    if (key.size() != keyFields_.size())
        throw DbError(DbErr::BadParameter, QStringLiteral("Seek on '%1' needs %2 key value(s).").arg(table_).arg(keyFields_.size()));
    stale_ = false;
    const bool useCache = conn_->depth > 0;
    QString ck;
    if (useCache) {
        if (!cacheValid())
            resetCache();
        ck = cacheKey(key);
        const auto it = rowCache_.constFind(ck);
        if (it != rowCache_.constEnd()) {
            rows_.clear();
            rows_.push_back(it.value());
            pageHasStart_ = pageHasEnd_ = false;
            noMatch_ = false;
            pos_ = 0;
            bof_ = eof_ = false;
            return true;
        }
    }
    QSqlQuery& q = conn_->run(seekSql_, key);
    const bool found = q.next();
    rows_.clear();
    if (found)
        rows_.push_back(q.record());
    q.finish();
    if (useCache && found) {
        if (rowCache_.size() > 4096)
            rowCache_.clear();
        rowCache_.insert(ck, rows_.front());
    }
    pageHasStart_ = pageHasEnd_ = false;
    noMatch_ = !found;
    if (found) {
        pos_ = 0;
        bof_ = eof_ = false;
    } else {
        // No current row; navigation continues from the key sought.
        anchor_ = key;
        pos_ = -1;
        bof_ = false;
        eof_ = false;
    }
    return found;
}

void Recordset::requery()
{
    checkOpen();
    if (mode_ != Mode::None)
        cancelUpdate();
    if (query_) {
        loaded_ = false;
        rows_.clear();
        pos_ = -1;
    } else {
        moveFirst();
    }
}

QStringList Recordset::fieldNames()
{
    if (query_ && layout_.isEmpty()) {
        if (!loaded_)
            ensureLoaded();
    }
    QStringList names;
    for (int i = 0; i < layout_.count(); ++i)
        names << layout_.fieldName(i);
    return names;
}

bool Recordset::hasField(const QString& name)
{
    if (query_ && !loaded_)
        ensureLoaded();
    return layout_.indexOf(name) >= 0;
}

QSqlRecord& Recordset::current()
{
    ensureLoaded();
    if (stale_ && !lastModified_.isEmpty()) {
        // The row just added: read it back once, so defaults show.
        const QVariantList key = lastModified_;
        seek(key);
    }
    if (pos_ < 0 || pos_ >= int(rows_.size()) || bof_ || eof_)
        throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record."));
    return rows_[pos_];
}

QVariant Recordset::value(const QString& field)
{
    checkOpen();
    const QSqlRecord& rec = mode_ != Mode::None ? buffer_ : current();
    // Rows and edit buffers have the cursor's layout; a record of another
    // shape is searched by name.
    int i = fieldIndex(field);
    if (rec.count() != layout_.count())
        i = rec.indexOf(field);
    if (i < 0)
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection (%1).").arg(field));
    return fromServer(rec.value(i));
}

void Recordset::setValue(const QString& field, const QVariant& value)
{
    checkOpen();
    if (mode_ == Mode::None)
        throw DbError(DbErr::UpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    const int i = fieldIndex(field);
    if (i >= buffer_.count())
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection (%1).").arg(field));
    buffer_.setValue(i, value);
    buffer_.setGenerated(i, true);
}


} // namespace qqc::db
