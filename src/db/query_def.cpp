#include "db/connection.h"

#include <QDateTime>
#include <QSqlQuery>

namespace qqc::db {

std::shared_ptr<QueryDef> Database::queryDef(const QString& name)
{
    conn_->check();
    if (conn_->record(QStringLiteral("StoredQueries")).isEmpty())
        throw DbError(DbErr::ObjectNotFound, QStringLiteral("Could not find object '%1'.").arg(name));
    QSqlQuery& q = conn_->run(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = ?")
                                  .arg(conn_->ident(QStringLiteral("SQLText")),
                                       conn_->ident(QStringLiteral("UpdateTable")),
                                       conn_->ident(QStringLiteral("StoredQueries")),
                                       conn_->ident(QStringLiteral("QueryName"))),
                              {name});
    if (!q.next()) {
        q.finish();
        throw DbError(DbErr::ObjectNotFound, QStringLiteral("Could not find object '%1'.").arg(name));
    }
    std::shared_ptr<QueryDef> def(new QueryDef);
    def->conn_ = conn_;
    def->name_ = name;
    def->sql_ = q.value(0).toString();
    def->updateTable_ = q.value(1).toString();
    q.finish();
    def->params_ = QVariantList(countParameters(def->sql_));
    return def;
}

std::shared_ptr<QueryDef> Database::createQueryDef(const QString& sql)
{
    conn_->check();
    // #date# literals become quoted ISO text, the form dates are stored in.
    QString converted;
    QChar quote;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            converted += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            converted += c;
            continue;
        }
        if (c == QLatin1Char('#')) {
            const int end = sql.indexOf(QLatin1Char('#'), i + 1);
            if (end > i) {
                const QString text = sql.mid(i + 1, end - i - 1).trimmed();
                QDateTime dt;
                for (const char* f : {"M/d/yyyy H:mm:ss", "M/d/yyyy H:mm", "M/d/yyyy", "yyyy-MM-dd HH:mm:ss",
                                      "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd"}) {
                    dt = QDateTime::fromString(text, QString::fromLatin1(f));
                    if (dt.isValid())
                        break;
                }
                if (dt.isValid()) {
                    converted += QLatin1Char('\'') + toStored(dt).toString() + QLatin1Char('\'');
                    i = end;
                    continue;
                }
            }
        }
        converted += c;
    }
    std::shared_ptr<QueryDef> def(new QueryDef);
    def->conn_ = conn_;
    def->sql_ = converted;
    def->params_ = QVariantList(countParameters(converted));
    return def;
}

// --- QueryDef ---

void QueryDef::setParameter(int index, const QVariant& value)
{
    if (index < 0 || index >= params_.size())
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection."));
    params_[index] = value;
}

QVariant QueryDef::parameter(int index) const
{
    if (index < 0 || index >= params_.size())
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection."));
    return params_[index];
}

std::unique_ptr<Recordset> QueryDef::openRecordset()
{
    conn_->check();
    std::unique_ptr<Recordset> rs(new Recordset);
    rs->conn_ = conn_;
    rs->query_ = shared_from_this();
    rs->table_ = updateTable_;
    if (!updateTable_.isEmpty()) {
        rs->keyFields_ = conn_->keyFields(updateTable_);
        if (conn_->record(updateTable_).isEmpty())
            throw DbError(DbErr::ObjectNotFound, QStringLiteral("Could not find object '%1'.").arg(updateTable_));
        rs->lastWrite_ = conn_->writeClock(updateTable_);
        rs->autoKey_ = conn_->autoKey(updateTable_);
    } else {
        rs->lastWrite_ = std::make_shared<quint64>(0);
    }
    // Rows are read on first use, so a query opened only to add rows through
    // it (as new samples are) never reads the table.
    rs->loaded_ = false;
    return rs;
}

} // namespace qqc::db
