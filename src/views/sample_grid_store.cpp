#include "views/sample_grid_store.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>

namespace qqc {

namespace {

[[noreturn]] void fail(const QSqlError& error)
{
    QString text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Database error");
    throw db::DbError(db::DbErr::Generic, text);
}

void exec(QSqlQuery& query)
{
    if (!query.exec())
        fail(query.lastError());
}

void exec(QSqlQuery& query, const QString& sql)
{
    if (!query.exec(sql))
        fail(query.lastError());
}

void prepare(QSqlQuery& query, const QString& sql)
{
    if (!query.prepare(sql))
        fail(query.lastError());
}

// The value of a text or number field as the grid's generic comparison sees
// it: empty text as nothing, a text that reads as a number as that number,
// any other text as text (after all numbers).
QString numeric(const QString& field)
{
    return QStringLiteral(
               "(CASE WHEN %1 IS NULL THEN NULL"
               " WHEN typeof(%1) IN ('integer','real') THEN %1"
               " WHEN trim(%1) = '' THEN NULL"
               " WHEN trim(%1) GLOB '*[0-9]*' AND trim(%1) NOT GLOB '*[^0-9.eE+-]*'"
               " THEN CAST(trim(%1) AS REAL)"
               " ELSE %1 END)")
        .arg(field);
}

QString sortExpression(const GridSortKey& key)
{
    switch (key.kind) {
    case GridSortKey::NewestFirst: return QString();
    case GridSortKey::SampleNumber: {
        const QString n = numeric(QStringLiteral("s.SampleNum"));
        return QStringLiteral("(CASE WHEN %1 IS NULL OR %1 = 0 THEN s.SampleID ELSE %1 END)").arg(n);
    }
    case GridSortKey::Date: return QStringLiteral("s.SampleDate");
    case GridSortKey::EquipmentId: return numeric(QStringLiteral("s.EquipmentID")) + QStringLiteral(" COLLATE NOCASE");
    case GridSortKey::UnitUsage:
    case GridSortKey::OilUsage:
    case GridSortKey::OilAdded: {
        const char* field = key.kind == GridSortKey::UnitUsage ? "s.UnitUsage"
                            : key.kind == GridSortKey::OilUsage ? "s.OilUsage" : "s.OilAdded";
        const QString n = numeric(QLatin1String(field));
        return QStringLiteral("(CASE WHEN %1 > -1 THEN %1 END)").arg(n);
    }
    case GridSortKey::WearSev: return QStringLiteral("(CASE WHEN s.WearSev >= 0 THEN s.WearSev END)");
    case GridSortKey::ContamSev: return QStringLiteral("(CASE WHEN s.ContamSev >= 0 THEN s.ContamSev END)");
    case GridSortKey::ChemSev: return QStringLiteral("(CASE WHEN s.ChemSev >= 0 THEN s.ChemSev END)");
    case GridSortKey::RefDielectric: return QStringLiteral("NULLIF(s.RefDielectric, 0)");
    case GridSortKey::Parameter: return QStringLiteral("d.Value");
    case GridSortKey::Comments: return numeric(QStringLiteral("s.Comments")) + QStringLiteral(" COLLATE NOCASE");
    }
    return QString();
}

QString idList(const std::vector<qint32>& ids, size_t from, size_t to)
{
    QString list;
    list.reserve(int((to - from) * 8));
    for (size_t i = from; i < to; ++i) {
        if (i > from)
            list += QLatin1Char(',');
        list += QString::number(ids[i]);
    }
    return list;
}

// SQLite takes at most 999 bound values in older builds; ids are written into
// the statement text instead (they are integers), in chunks of this size.
constexpr size_t kChunk = 500;

} // namespace

QSqlDatabase SampleGridStore::connection() const
{
    if (!isValid())
        throw db::DbError(db::DbErr::ObjectClosed, QStringLiteral("No database is open"));
    return database_->connection();
}

const GridDetail* GridSampleRow::detail(int parmId) const
{
    for (const GridDetail& d : details)
        if (d.parmId == parmId)
            return &d;
    return nullptr;
}

std::vector<GridParameter> SampleGridStore::loadParameters() const
{
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    exec(q, QStringLiteral("SELECT ParmID, ParmDescription, Format, Generic, ParmText FROM Parameters ORDER BY ParmID"));
    std::vector<GridParameter> parms;
    while (q.next()) {
        GridParameter p;
        p.parmId = q.value(0).toInt();
        p.description = q.value(1).toString();
        p.format = q.value(2).toString();
        p.generic = q.value(3).toString();
        p.parmText = q.value(4).toString();
        parms.push_back(std::move(p));
    }
    return parms;
}

std::vector<qint32> SampleGridStore::loadSampleIds(const GridSortKey& key) const
{
    QString sql = QStringLiteral("SELECT s.SampleID FROM Samples s");
    if (key.kind == GridSortKey::Parameter)
        sql += QStringLiteral(" LEFT JOIN SampleDetails d ON d.SampleID = s.SampleID AND d.ParmID = %1").arg(key.parmId);
    const QString expr = sortExpression(key);
    if (expr.isEmpty())
        sql += QStringLiteral(" ORDER BY s.SampleID DESC");
    else
        sql += QStringLiteral(" ORDER BY %1 %2, s.SampleID DESC").arg(expr, key.descending ? QStringLiteral("DESC") : QStringLiteral("ASC"));

    QSqlQuery q(connection());
    q.setForwardOnly(true);
    exec(q, sql);
    std::vector<qint32> ids;
    while (q.next())
        ids.push_back(q.value(0).toInt());
    return ids;
}

QHash<qint32, GridSampleRow> SampleGridStore::fetchRows(const std::vector<qint32>& ids) const
{
    QHash<qint32, GridSampleRow> rows;
    rows.reserve(qsizetype(ids.size()));
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    for (size_t from = 0; from < ids.size(); from += kChunk) {
        const size_t to = std::min(ids.size(), from + kChunk);
        const QString list = idList(ids, from, to);
        exec(q, QStringLiteral("SELECT SampleID, SampleNum, SampleDate, EquipmentID, UnitUsage, OilUsage, OilAdded,"
                               " WearSev, ContamSev, ChemSev, RefDielectric, Comments"
                               " FROM Samples WHERE SampleID IN (%1)").arg(list));
        while (q.next()) {
            GridSampleRow r;
            r.sampleId = q.value(0).toInt();
            r.sampleNum = q.value(1);
            r.sampleDate = q.value(2);
            r.equipmentId = q.value(3);
            r.unitUsage = q.value(4);
            r.oilUsage = q.value(5);
            r.oilAdded = q.value(6);
            r.wearSev = q.value(7);
            r.contamSev = q.value(8);
            r.chemSev = q.value(9);
            r.refDielectric = q.value(10);
            r.comments = q.value(11);
            rows.insert(r.sampleId, std::move(r));
        }
        exec(q, QStringLiteral("SELECT SampleID, ParmID, Value, Severity FROM SampleDetails"
                               " WHERE SampleID IN (%1) ORDER BY SampleID, ParmID").arg(list));
        while (q.next()) {
            auto it = rows.find(q.value(0).toInt());
            if (it == rows.end())
                continue;
            GridDetail d;
            d.parmId = q.value(1).toInt();
            d.value = q.value(2).toFloat();
            d.severity = q.value(3).toInt();
            it->details.push_back(d);
        }
    }
    return rows;
}

bool SampleGridStore::sampleExists(qint32 sampleId) const
{
    QSqlQuery q(connection());
    prepare(q, QStringLiteral("SELECT 1 FROM Samples WHERE SampleID = ?"));
    q.addBindValue(sampleId);
    exec(q);
    return q.next();
}

bool SampleGridStore::setSampleField(qint32 sampleId, const QString& field, const QVariant& value) const
{
    static const QStringList editable = {QStringLiteral("SampleNum"), QStringLiteral("EquipmentID"),
                                         QStringLiteral("UnitUsage"), QStringLiteral("OilUsage"),
                                         QStringLiteral("OilAdded"), QStringLiteral("Comments")};
    if (!editable.contains(field))
        throw db::DbError(db::DbErr::ItemNotFound, QStringLiteral("Item not found in this collection: ") + field);
    QSqlQuery q(connection());
    prepare(q, QStringLiteral("UPDATE Samples SET %1 = ? WHERE SampleID = ?").arg(field));
    q.addBindValue(value);
    q.addBindValue(sampleId);
    exec(q);
    return q.numRowsAffected() > 0;
}

bool SampleGridStore::storeViscosity(qint32 sampleId, float value) const
{
    if (!sampleExists(sampleId))
        return false;
    QSqlQuery q(connection());
    prepare(q, QStringLiteral("UPDATE SampleDetails SET Value = ? WHERE SampleID = ? AND ParmID = 132"));
    q.addBindValue(double(value));
    q.addBindValue(sampleId);
    exec(q);
    if (q.numRowsAffected() > 0)
        return true;
    // A new detail row starts at level 0; the recalculation that follows the
    // edit judges it.
    prepare(q, QStringLiteral("INSERT INTO SampleDetails (SampleID, ParmID, Value, Severity) VALUES (?, 132, ?, 0)"));
    q.addBindValue(sampleId);
    q.addBindValue(double(value));
    exec(q);
    return true;
}

std::vector<qint32> SampleGridStore::deleteSamples(const std::vector<qint32>& ids) const
{
    std::vector<qint32> deleted;
    if (ids.empty())
        return deleted;
    db::Transaction transaction(*database_);
    {
        const QSqlDatabase db = connection();
        QSqlQuery details(db), images(db), sample(db);
        prepare(details, QStringLiteral("DELETE FROM SampleDetails WHERE SampleID = ?"));
        prepare(images, QStringLiteral("DELETE FROM Images WHERE SampleID = ?"));
        prepare(sample, QStringLiteral("DELETE FROM Samples WHERE SampleID = ?"));
        for (qint32 id : ids) {
            sample.addBindValue(id);
            exec(sample);
            if (sample.numRowsAffected() <= 0)
                continue;  // removed meanwhile: skipped
            details.addBindValue(id);
            exec(details);
            images.addBindValue(id);
            exec(images);
            deleted.push_back(id);
        }
    }
    transaction.commit();
    return deleted;
}

} // namespace qqc
