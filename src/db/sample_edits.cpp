#include "db/sample_edits.h"

#include <QStringList>

namespace qqc::db {

namespace {

bool sampleExists(Database& db, qint32 sampleId)
{
    return !db.queryValue(QStringLiteral("SELECT 1 FROM Samples WHERE SampleID = ?"), {sampleId}).isNull();
}

} // namespace

bool setSampleField(Database& db, qint32 sampleId, const QString& field, const QVariant& value)
{
    static const QStringList editable = {QStringLiteral("SampleNum"), QStringLiteral("EquipmentID"),
                                         QStringLiteral("UnitUsage"), QStringLiteral("OilUsage"),
                                         QStringLiteral("OilAdded"),  QStringLiteral("Comments")};
    if (!editable.contains(field))
        throw DbError(DbErr::ItemNotFound, QStringLiteral("Item not found in this collection: ") + field);
    return db.executeOn(QStringLiteral("Samples"),
                        QStringLiteral("UPDATE Samples SET %1 = ? WHERE SampleID = ?").arg(field), {value, sampleId})
        > 0;
}

bool storeViscosity(Database& db, qint32 sampleId, float value)
{
    if (!sampleExists(db, sampleId))
        return false;
    static const QString details = QStringLiteral("SampleDetails");
    if (db.executeOn(details, QStringLiteral("UPDATE SampleDetails SET Value = ? WHERE SampleID = ? AND ParmID = 132"),
                     {double(value), sampleId})
        > 0)
        return true;
    db.executeOn(details,
                 QStringLiteral("INSERT INTO SampleDetails (SampleID, ParmID, Value, Severity) VALUES (?, 132, ?, 0)"),
                 {sampleId, double(value)});
    return true;
}

QString imageFileOf(Database& db, qint32 sampleId, int slot)
{
    const QVariant v = db.queryValue(
        QStringLiteral("SELECT ImageFile FROM Images WHERE SampleID = ? AND ReportSlot = ? ORDER BY ImageID LIMIT 1"),
        {sampleId, slot});
    return v.isNull() ? QString() : v.toString();
}

void setImageFile(Database& db, qint32 sampleId, int slot, const QString& name)
{
    Transaction t(db);
    removeImageFile(db, sampleId, slot);
    db.executeOn(QStringLiteral("Images"),
                 QStringLiteral("INSERT INTO Images (SampleID, ReportSlot, ImageFile) VALUES (?, ?, ?)"),
                 {sampleId, slot, name});
    t.commit();
}

void removeImageFile(Database& db, qint32 sampleId, int slot)
{
    db.executeOn(QStringLiteral("Images"), QStringLiteral("DELETE FROM Images WHERE SampleID = ? AND ReportSlot = ?"),
                 {sampleId, slot});
}

} // namespace qqc::db
