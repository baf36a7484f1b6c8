#include "views/editor_store.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace qqc {

namespace {

QString selectList(const db::Database& db, const ListTable& t)
{
    QStringList fields;
    for (const ListColumn& c : t.columns)
        fields << db.ident(c.field);
    return fields.join(QStringLiteral(", "));
}

} // namespace

db::Database& EditorStore::db() const
{
    if (!isValid())
        throw db::DbError(db::DbErr::ObjectClosed, QStringLiteral("No database is open"));
    return *database_;
}

std::vector<ListRecord> EditorStore::readAll(const ListTable& table) const
{
    // A whole list is read with one plain query on the engine's connection
    // (10,000 customers at once); it only reads.
    QSqlQuery q(db().connection());
    q.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                            .arg(selectList(db(), table), db().ident(table.table), db().ident(table.key));
    if (!q.exec(sql))
        throw db::DbError(db::DbErr::Generic, q.lastError().text());
    std::vector<ListRecord> records;
    const int columns = int(table.columns.size());
    while (q.next()) {
        ListRecord rec;
        rec.id = qint32(q.value(0).toLongLong());
        rec.values.reserve(columns);
        for (int i = 0; i < columns; ++i)
            rec.values << q.value(i);
        records.push_back(std::move(rec));
    }
    return records;
}

std::optional<ListRecord> EditorStore::read(const ListTable& table, qint32 id) const
{
    auto q = db().createQueryDef(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                     .arg(selectList(db(), table), db().ident(table.table), db().ident(table.key)));
    q->setParameter(0, id);
    auto rs = q->openRecordset();
    if (rs->eof())
        return std::nullopt;
    ListRecord rec;
    rec.id = id;
    for (const ListColumn& c : table.columns)
        rec.values << rs->value(c.field);
    return rec;
}

qint32 EditorStore::add(const ListTable& table)
{
    db::Transaction t(db());
    QVariant id;
    // Every field but the first text keeps the database's default.
    db().executeOn(table.table,
                   QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(db().ident(table.table), db().ident(table.columns.at(1).field)),
                   {QVariant()}, &id);
    t.commit();
    return qint32(id.toLongLong());
}

bool EditorStore::setField(const ListTable& table, qint32 id, int column, const QVariant& value)
{
    const ListColumn& c = table.columns.at(size_t(column));
    if (c.kind == ListColumn::Key)
        return false;
    db::Transaction t(db());
    const int n = db().executeOn(table.table,
                                 QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                                     .arg(db().ident(table.table), db().ident(c.field), db().ident(table.key)),
                                 {value, id});
    t.commit();
    return n > 0;
}

void EditorStore::ensureInUseIndex(const ListTable& table) const
{
    // Created outside any transaction, once per store and field (the
    // template has them; a file made from an earlier one gets them here). A
    // file that cannot take one (read-only, locked) is still checked, by a scan.
    const QString name = QStringLiteral("Samples") + table.inUseField;
    if (table.inUseField.isEmpty() || indexed_.contains(name) || database_->transactionDepth() > 0)
        return;
    indexed_.insert(name);
    try {
        database_->execute(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON Samples (%2)")
                               .arg(database_->ident(name), database_->ident(table.inUseField)));
    } catch (const db::DbError& e) {
        qWarning("Editors: no index %s: %s", qPrintable(name), e.what());
    }
}

std::optional<SampleUsing> EditorStore::firstSampleUsing(const ListTable& table, qint32 id) const
{
    if (table.inUseField.isEmpty())
        return std::nullopt;
    db();
    ensureInUseIndex(table);
    const QVariant first = database_->queryValue(
        QStringLiteral("SELECT MIN(SampleID) FROM Samples WHERE %1 = ?").arg(database_->ident(table.inUseField)), {id});
    if (first.isNull())
        return std::nullopt;
    auto q = database_->createQueryDef(
        QStringLiteral("SELECT SampleID, SampleDate, EquipmentID FROM Samples WHERE SampleID = ?"));
    q->setParameter(0, first);
    auto rs = q->openRecordset();
    if (rs->eof())
        return std::nullopt;
    SampleUsing s;
    s.sampleId = qint32(rs->value(QStringLiteral("SampleID")).toLongLong());
    s.sampleDate = rs->value(QStringLiteral("SampleDate"));
    s.equipmentId = rs->value(QStringLiteral("EquipmentID")).toString();
    return s;
}

EditorStore::Removal EditorStore::remove(const ListTable& table, qint32 id, SampleUsing* inUse)
{
    ensureInUseIndex(table);
    db::Transaction t(db());
    if (const auto s = firstSampleUsing(table, id)) {
        if (inUse)
            *inUse = *s;
        return Removal::InUse;
    }
    const QVariantList key = {id};
    for (const QString& dependent : table.dependents)
        db().executeOn(dependent, QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(db().ident(dependent), db().ident(table.key)),
                       key);
    if (db().executeOn(table.table,
                       QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(db().ident(table.table), db().ident(table.key)), key)
        == 0)
        return Removal::Missing;  // rolled back: nothing else changes either
    if (!table.defaultField.isEmpty())
        db().executeOn(QStringLiteral("Defaults"),
                       QStringLiteral("UPDATE Defaults SET %1 = 0 WHERE %1 = ?").arg(db().ident(table.defaultField)), key);
    t.commit();
    return Removal::Deleted;
}

qint32 EditorStore::addAlarmSet()
{
    db::Transaction t(db());
    const qint32 id = add(alarmSetTable());
    auto parms = db().queryDef(QStringLiteral("ParmListQuery"))->openRecordset();
    const QString insert = QStringLiteral(
        "INSERT INTO AlarmData (AlarmID, ParmID, HighNormal, Alert, Alarm, Extreme) VALUES (?, ?, 0, 0, 0, 0)");
    for (; !parms->eof(); parms->moveNext())
        db().executeOn(QStringLiteral("AlarmData"), insert, {id, parms->value(QStringLiteral("ParmID"))});
    t.commit();
    return id;
}

std::vector<AlarmLimitRow> EditorStore::alarmLimits(qint32 alarmId) const
{
    std::vector<AlarmLimitRow> rows;
    if (alarmId == 0)
        return rows;
    auto q = db().queryDef(QStringLiteral("AlarmDataQuery"));
    q->setParameter(0, alarmId);
    auto rs = q->openRecordset();
    for (; !rs->eof(); rs->moveNext()) {
        AlarmLimitRow r;
        r.parmId = int(rs->value(QStringLiteral("ParmID")).toLongLong());
        r.description = rs->value(QStringLiteral("ParmDescription"));
        for (size_t i = 0; i < kLimitFields.size(); ++i)
            r.limits[i] = rs->value(QLatin1String(kLimitFields[i]));
        rows.push_back(std::move(r));
    }
    return rows;
}

std::optional<AlarmLimitRow> EditorStore::alarmLimit(qint32 alarmId, int parmId) const
{
    auto q = db().createQueryDef(
        QStringLiteral("SELECT ParmID, HighNormal, Alert, Alarm, Extreme FROM AlarmData WHERE AlarmID = ? AND ParmID = ?"));
    q->setParameter(0, alarmId);
    q->setParameter(1, parmId);
    auto rs = q->openRecordset();
    if (rs->eof())
        return std::nullopt;
    AlarmLimitRow r;
    r.parmId = parmId;
    for (size_t i = 0; i < kLimitFields.size(); ++i)
        r.limits[i] = rs->value(QLatin1String(kLimitFields[i]));
    return r;
}

bool EditorStore::setLimit(qint32 alarmId, int parmId, int limit, double value)
{
    db::Transaction t(db());
    const int n = db().executeOn(QStringLiteral("AlarmData"),
                                 QStringLiteral("UPDATE AlarmData SET %1 = ? WHERE AlarmID = ? AND ParmID = ?")
                                     .arg(QLatin1String(kLimitFields.at(size_t(limit)))),
                                 {value, alarmId, parmId});
    t.commit();
    return n > 0;
}

qint32 EditorStore::defaultId(const ListTable& table) const
{
    if (table.defaultField.isEmpty())
        return 0;
    return qint32(db().queryValue(QStringLiteral("SELECT %1 FROM Defaults WHERE DefaultID = 1").arg(db().ident(table.defaultField)))
                      .toLongLong());
}

void EditorStore::setDefault(const ListTable& table, qint32 id)
{
    if (table.defaultField.isEmpty())
        return;
    db::Transaction t(db());
    const QString field = db().ident(table.defaultField);
    if (db().executeOn(QStringLiteral("Defaults"), QStringLiteral("UPDATE Defaults SET %1 = ? WHERE DefaultID = 1").arg(field),
                       {id})
        == 0)
        db().executeOn(QStringLiteral("Defaults"),
                       QStringLiteral("INSERT INTO Defaults (DefaultID, %1) VALUES (1, ?)").arg(field), {id});
    t.commit();
}

} // namespace qqc
