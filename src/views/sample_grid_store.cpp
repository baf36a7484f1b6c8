#include "views/sample_grid_store.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <functional>

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

// The sort key of a grid column, written over the Samples columns alone so
// that an index on the same expression serves the ORDER BY (the rows are
// then read in index order: no sort, and the large test-record fields of
// Samples are never touched). Empty for keys without an expression.
QString sortExpression(GridSortKey::Kind kind)
{
    switch (kind) {
    case GridSortKey::SampleNumber: {
        const QString n = numeric(QStringLiteral("SampleNum"));
        return QStringLiteral("(CASE WHEN %1 IS NULL OR %1 = 0 THEN SampleID ELSE %1 END)").arg(n);
    }
    case GridSortKey::Date: return QStringLiteral("SampleDate");
    case GridSortKey::EquipmentId: return numeric(QStringLiteral("EquipmentID")) + QStringLiteral(" COLLATE NOCASE");
    case GridSortKey::UnitUsage:
    case GridSortKey::OilUsage:
    case GridSortKey::OilAdded: {
        const char* field = kind == GridSortKey::UnitUsage ? "UnitUsage"
                            : kind == GridSortKey::OilUsage ? "OilUsage" : "OilAdded";
        const QString n = numeric(QLatin1String(field));
        return QStringLiteral("(CASE WHEN %1 > -1 THEN %1 END)").arg(n);
    }
    case GridSortKey::WearSev: return QStringLiteral("(CASE WHEN WearSev >= 0 THEN WearSev END)");
    case GridSortKey::ContamSev: return QStringLiteral("(CASE WHEN ContamSev >= 0 THEN ContamSev END)");
    case GridSortKey::ChemSev: return QStringLiteral("(CASE WHEN ChemSev >= 0 THEN ChemSev END)");
    case GridSortKey::RefDielectric: return QStringLiteral("NULLIF(RefDielectric, 0)");
    case GridSortKey::Comments: return numeric(QStringLiteral("Comments")) + QStringLiteral(" COLLATE NOCASE");
    case GridSortKey::NewestFirst:
    case GridSortKey::Parameter: break;
    }
    return QString();
}

const char* sortIndexName(GridSortKey::Kind kind)
{
    switch (kind) {
    case GridSortKey::SampleNumber: return "GridSortSampleNum";
    case GridSortKey::EquipmentId: return "GridSortEquipment";
    case GridSortKey::UnitUsage: return "GridSortUnitUsage";
    case GridSortKey::OilUsage: return "GridSortOilUsage";
    case GridSortKey::OilAdded: return "GridSortOilAdded";
    case GridSortKey::WearSev: return "GridSortWearSev";
    case GridSortKey::ContamSev: return "GridSortContamSev";
    case GridSortKey::ChemSev: return "GridSortChemSev";
    case GridSortKey::RefDielectric: return "GridSortRefDielectric";
    case GridSortKey::Comments: return "GridSortComments";
    case GridSortKey::Parameter: return "GridSortDetailValue";
    case GridSortKey::Date:  // the template's SamplesDate index serves
    case GridSortKey::NewestFirst: break;
    }
    return nullptr;
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

void SampleGridStore::ensureSortIndex(GridSortKey::Kind kind) const
{
    const char* name = sortIndexName(kind);
    if (!name || !isValid() || database_->transactionDepth() > 0)
        return;
    const QString sql = kind == GridSortKey::Parameter
        ? QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON SampleDetails (ParmID, Value, SampleID)").arg(QLatin1String(name))
        : QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON Samples (%2)").arg(QLatin1String(name), sortExpression(kind));
    try {
        database_->execute(sql);
    } catch (const db::DbError& e) {
        // A read-only or locked file still sorts, only without the index.
        qWarning("Sample grid: no sort index %s: %s", name, e.what());
    }
}

std::vector<qint32> SampleGridStore::loadSampleIds(const GridSortKey& key) const
{
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    // Every SampleID, newest first. Without ORDER BY the engine reads the
    // smallest index that holds the key instead of the whole table.
    exec(q, QStringLiteral("SELECT SampleID FROM Samples"));
    std::vector<qint32> all;
    while (q.next())
        all.push_back(q.value(0).toInt());
    q.finish();
    std::sort(all.begin(), all.end(), std::greater<qint32>());
    if (key.kind == GridSortKey::NewestFirst)
        return all;

    // Read descending (ties newest first); ascending is the exact reverse,
    // so blank values, which sort lowest, come first.
    std::vector<qint32> ids;
    ids.reserve(all.size());
    ensureSortIndex(key.kind);
    if (key.kind == GridSortKey::Parameter) {
        // Samples with a value for the parameter, then those without.
        prepare(q, QStringLiteral("SELECT SampleID FROM SampleDetails WHERE ParmID = ? ORDER BY Value DESC, SampleID DESC"));
        q.addBindValue(key.parmId);
        exec(q);
        std::vector<qint32> sorted(all.rbegin(), all.rend());  // ascending, for lookups
        std::vector<bool> taken(all.size(), false);
        while (q.next()) {
            const qint32 id = q.value(0).toInt();
            const auto it = std::lower_bound(sorted.begin(), sorted.end(), id);
            if (it == sorted.end() || *it != id)
                continue;  // a detail without its sample
            const size_t at = size_t(it - sorted.begin());
            if (taken[at])
                continue;
            taken[at] = true;
            ids.push_back(id);
        }
        for (size_t i = sorted.size(); i-- > 0;)
            if (!taken[i])
                ids.push_back(sorted[i]);
    } else {
        exec(q, QStringLiteral("SELECT SampleID FROM Samples ORDER BY %1 DESC, SampleID DESC").arg(sortExpression(key.kind)));
        while (q.next())
            ids.push_back(q.value(0).toInt());
    }
    if (!key.descending)
        std::reverse(ids.begin(), ids.end());
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
    connection();  // throws when no database is open
    return database_->executeOn(QStringLiteral("Samples"),
                                QStringLiteral("UPDATE Samples SET %1 = ? WHERE SampleID = ?").arg(field),
                                {value, sampleId})
        > 0;
}

bool SampleGridStore::storeViscosity(qint32 sampleId, float value) const
{
    if (!sampleExists(sampleId))
        return false;
    static const QString details = QStringLiteral("SampleDetails");
    if (database_->executeOn(details,
                             QStringLiteral("UPDATE SampleDetails SET Value = ? WHERE SampleID = ? AND ParmID = 132"),
                             {double(value), sampleId})
        > 0)
        return true;
    // A new detail row starts at level 0; the recalculation that follows the
    // edit judges it.
    database_->executeOn(details,
                         QStringLiteral("INSERT INTO SampleDetails (SampleID, ParmID, Value, Severity) VALUES (?, 132, ?, 0)"),
                         {sampleId, double(value)});
    return true;
}

std::vector<qint32> SampleGridStore::deleteSamples(const std::vector<qint32>& ids) const
{
    std::vector<qint32> deleted;
    if (ids.empty())
        return deleted;
    db::Transaction transaction(*database_);
    // Deleting a sample also deletes its detail and image rows (the file's
    // trigger does it, and these statements for a file without one): a
    // plain statement, so every cursor forgets what it remembered.
    const QString deleteSample = QStringLiteral("DELETE FROM Samples WHERE SampleID = ?");
    const QString deleteDetails = QStringLiteral("DELETE FROM SampleDetails WHERE SampleID = ?");
    const QString deleteImages = QStringLiteral("DELETE FROM Images WHERE SampleID = ?");
    for (qint32 id : ids) {
        if (database_->execute(deleteSample, {id}) <= 0)
            continue;  // removed meanwhile: skipped
        database_->executeOn(QStringLiteral("SampleDetails"), deleteDetails, {id});
        database_->executeOn(QStringLiteral("Images"), deleteImages, {id});
        deleted.push_back(id);
    }
    transaction.commit();
    return deleted;
}

} // namespace qqc
