#pragma once
// The sample grid's reads and writes on the open database. The grid never
// loads all samples: it reads the ordered list of SampleIDs once (one
// column's values, sorted in memory) and then whole rows - the Samples record plus its detail rows
// pivoted into parameter values - only for the SampleIDs it is about to show.
//
// Reads use plain SQL on the engine's connection (a cursor per row would not
// scale) and only read. Every write is a statement of the engine
// (Database::executeOn, or execute for a delete that cascades), so the
// engine's cursors and the store's cached judging rules see it. Every
// routine throws db::DbError when the database fails; the window catches it
// and reports it under the routine that was running.

#include "db/engine.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <vector>

namespace qqc {

// One record of Parameters, as the grid uses it.
struct GridParameter {
    int parmId = 0;
    QString description;  // ParmDescription: column header
    QString format;       // Format: display pattern of the values
    QString generic;      // Generic: exchange-file tag
    QString parmText;     // ParmText: tooltip text
};

// One detail value of a sample.
struct GridDetail {
    int parmId = 0;
    float value = 0.0f;
    int severity = 0;
};

// Everything one grid row shows, as stored (nullable fields stay QVariant).
struct GridSampleRow {
    qint32 sampleId = 0;
    QVariant sampleNum;
    QVariant sampleDate;
    QVariant equipmentId;
    QVariant unitUsage;
    QVariant oilUsage;
    QVariant oilAdded;
    QVariant wearSev;
    QVariant contamSev;
    QVariant chemSev;
    QVariant refDielectric;
    QVariant comments;
    std::vector<GridDetail> details;  // in ParmID order

    const GridDetail* detail(int parmId) const;
};

// What the row order is sorted by: a grid column's stored field or one
// parameter's detail value, compared as the grid shows it (blank lowest,
// then numbers by value, then texts). Descending ties keep the newest sample
// first; ascending is the exact reverse.
struct GridSortKey {
    enum Kind { NewestFirst, SampleNumber, Date, EquipmentId, UnitUsage, OilUsage, OilAdded,
                WearSev, ContamSev, ChemSev, RefDielectric, Parameter, Comments };
    Kind kind = NewestFirst;
    int parmId = 0;        // for Parameter
    bool descending = true;
};

class SampleGridStore {
public:
    SampleGridStore() = default;
    explicit SampleGridStore(db::Database* database) : database_(database) {}

    bool isValid() const { return database_ && database_->isOpen(); }
    db::Database* database() const { return database_; }

    // Parameters in PrimaryKey (ParmID) order.
    std::vector<GridParameter> loadParameters() const;
    // Every SampleID in the order of `key`: the column's values are read
    // and sorted in memory (GridSortBuilder), the date by its index. Reads
    // only: a sort never writes to the file.
    std::vector<qint32> loadSampleIds(const GridSortKey& key) const;
    // Changes whenever a row of the file changed, through this connection
    // or committed by another program: an order read earlier still holds
    // while it returns the same.
    std::pair<qint64, qint64> changeToken() const;
    // The rows of the given samples (a SampleID that no longer exists is
    // simply missing from the result).
    QHash<qint32, GridSampleRow> fetchRows(const std::vector<qint32>& ids) const;

    bool sampleExists(qint32 sampleId) const;
    // Stores `value` (null for an empty text) in one Samples field. Returns
    // false, storing nothing, when the sample no longer exists.
    bool setSampleField(qint32 sampleId, const QString& field, const QVariant& value) const;
    // Stores the viscosity at 40 degrees (ParmID 132) of a sample, adding the
    // detail row when the sample has none. Returns false, storing nothing, when
    // the sample no longer exists (no detail row without its sample).
    bool storeViscosity(qint32 sampleId, float value) const;
    // Deletes the samples with their detail and image rows in one transaction;
    // returns the SampleIDs that existed and were deleted. On failure nothing
    // is deleted.
    std::vector<qint32> deleteSamples(const std::vector<qint32>& ids) const;

private:
    QSqlDatabase connection() const;
    std::vector<qint32> byParameter(int parmId, const std::vector<qint32>& newestFirst) const;

    db::Database* database_ = nullptr;  // not owned
};

} // namespace qqc
