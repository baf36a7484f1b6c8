#pragma once
// The writes a person makes to one stored sample from a window (the sample
// grid, the report): a header field, the viscosity, the picture rows. Each
// is a statement of the engine on the table it writes, so the engine's
// cursors and cached judging rules see it. Every routine throws DbError when
// the database fails.

#include "db/engine.h"

#include <QString>
#include <QVariant>

namespace qqc::db {

// Stores `value` (null for an empty text) in one of the Samples fields a
// person may edit (SampleNum, EquipmentID, UnitUsage, OilUsage, OilAdded,
// Comments; any other name is refused). Returns false, storing nothing,
// when the sample no longer exists.
bool setSampleField(Database& db, qint32 sampleId, const QString& field, const QVariant& value);

// Stores the viscosity at 40 degrees (ParmID 132), adding the detail row
// (level 0, judged by the recalculation that follows) when the sample has
// none. Returns false, storing nothing, when the sample no longer exists.
bool storeViscosity(Database& db, qint32 sampleId, float value);

// The picture row of a report slot (0..2): the bare file name; empty when none.
QString imageFileOf(Database& db, qint32 sampleId, int slot);
// Makes `name` the slot's picture (one row per slot, in one transaction).
void setImageFile(Database& db, qint32 sampleId, int slot, const QString& name);
// Removes the slot's picture row; the file stays where it is.
void removeImageFile(Database& db, qint32 sampleId, int slot);

} // namespace qqc::db
