#include "views/sample_grid_store.h"

#include "db/sample_edits.h"
#include "views/grid_sort.h"

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

// The Samples field a column sorts by (empty for keys read otherwise).
QString sortField(GridSortKey::Kind kind)
{
    switch (kind) {
    case GridSortKey::SampleNumber: return QStringLiteral("SampleNum");
    case GridSortKey::EquipmentId: return QStringLiteral("EquipmentID");
    case GridSortKey::UnitUsage: return QStringLiteral("UnitUsage");
    case GridSortKey::OilUsage: return QStringLiteral("OilUsage");
    case GridSortKey::OilAdded: return QStringLiteral("OilAdded");
    case GridSortKey::WearSev: return QStringLiteral("WearSev");
    case GridSortKey::ContamSev: return QStringLiteral("ContamSev");
    case GridSortKey::ChemSev: return QStringLiteral("ChemSev");
    case GridSortKey::RefDielectric: return QStringLiteral("RefDielectric");
    case GridSortKey::Comments: return QStringLiteral("Comments");
    case GridSortKey::NewestFirst:
    case GridSortKey::Date:
    case GridSortKey::Parameter: break;
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
    connection();  // throws when no database is open
    const auto into = [](std::vector<qint32>& ids) {
        return [&ids](qint64 id, const db::StoredValue&) { ids.push_back(qint32(id)); };
    };
    // Descending (ties newest first); ascending is the exact reverse, so
    // blank values, which sort lowest, come first.
    std::vector<qint32> ids;
    if (key.kind == GridSortKey::NewestFirst || key.kind == GridSortKey::Parameter) {
        // Every SampleID, newest first. Without ORDER BY the engine reads the
        // smallest index that holds the key instead of the whole table.
        database_->scanPairs(QStringLiteral("SELECT SampleID FROM Samples"), {}, into(ids));
        std::sort(ids.begin(), ids.end(), std::greater<qint32>());
        if (key.kind == GridSortKey::Parameter)
            ids = byParameter(key.parmId, ids);
    } else if (key.kind == GridSortKey::Date) {
        // The template's SamplesDate index holds the order.
        database_->scanPairs(QStringLiteral("SELECT SampleID FROM Samples ORDER BY SampleDate DESC, SampleID DESC"), {},
                             into(ids));
    } else {
        // One field of every sample: the template's SamplesGrid index holds
        // them all, so the long test fields of Samples are never read (an
        // older file without it reads the whole table, about a second per
        // million samples).
        GridSortBuilder sorted(key.kind);
        database_->scanPairs(QStringLiteral("SELECT SampleID, %1 FROM Samples").arg(sortField(key.kind)), {},
                             [&](qint64 id, const db::StoredValue& value) { sorted.add(qint32(id), value); });
        ids = sorted.descending();
    }
    if (!key.descending && key.kind != GridSortKey::NewestFirst)
        std::reverse(ids.begin(), ids.end());
    return ids;
}

std::vector<qint32> SampleGridStore::byParameter(int parmId, const std::vector<qint32>& newestFirst) const
{
    // Samples with a value for the parameter, by value, then those without,
    // newest first; a detail row without its sample is left out. The
    // template's SampleDetailsParm index holds one parameter's rows together
    // (an older file without it reads the whole detail table).
    // Each sample's state by SampleID where the numbers are dense (the
    // usual case), else by its place among the sorted SampleIDs.
    enum : quint8 { Absent, Present, Taken };
    const size_t count = newestFirst.size();
    const bool dense = count == 0 || (newestFirst.back() >= 0 && size_t(newestFirst.front()) <= 4 * count + 1000000);
    std::vector<qint32> ascending;
    if (!dense)
        ascending.assign(newestFirst.rbegin(), newestFirst.rend());
    const auto slot = [&](qint64 id) -> qint64 {
        if (dense)
            return count > 0 && id >= 0 && id <= newestFirst.front() ? id : -1;
        const auto it = std::lower_bound(ascending.begin(), ascending.end(), id);
        return it != ascending.end() && *it == id ? qint64(it - ascending.begin()) : -1;
    };
    std::vector<quint8> state(dense ? (count ? size_t(newestFirst.front()) + 1 : 0) : count, Absent);
    for (qint32 id : newestFirst)
        state[size_t(slot(id))] = Present;
    GridSortBuilder sorted(GridSortKey::Parameter, count);
    database_->scanPairs(QStringLiteral("SELECT SampleID, Value FROM SampleDetails WHERE ParmID = ?"), {parmId},
                         [&](qint64 id, const db::StoredValue& value) {
                             const qint64 at = slot(id);
                             if (at < 0 || state[size_t(at)] != Present)
                                 return;  // a detail without its sample
                             state[size_t(at)] = Taken;
                             sorted.add(qint32(id), value);
                         });
    std::vector<qint32> ids = sorted.descending();
    ids.reserve(count);
    for (qint32 id : newestFirst)
        if (state[size_t(slot(id))] == Present)
            ids.push_back(id);
    return ids;
}

std::pair<qint64, qint64> SampleGridStore::changeToken() const
{
    connection();  // throws when no database is open
    return database_->changeToken();
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
    connection();  // throws when no database is open
    return db::setSampleField(*database_, sampleId, field, value);
}

bool SampleGridStore::storeViscosity(qint32 sampleId, float value) const
{
    connection();
    return db::storeViscosity(*database_, sampleId, value);
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
