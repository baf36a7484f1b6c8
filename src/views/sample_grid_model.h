#pragma once
// The table model behind the sample grid (vsFlexData): one row per sample,
// newest first, N + 12 columns (GridColumns says which column shows what).
//
// It scales to large databases by reading lazily: it holds only the ordered
// list of SampleIDs (sorted by GridSortBuilder) and a bounded cache of
// rows (GridRowCache), each fetched in pages of neighbouring rows together
// with its detail rows pivoted into the parameter columns. Nothing per row
// lives in widgets.
//
// Model rows count from 0; the window's "grid rows" count from 1 (row 0 is the
// header), so grid row = model row + 1.
//
// The highlight (the rows whose Sample # and Date cells are painted in the
// system highlight colours) is kept here by SampleID, so it follows its rows
// through sorts and inserts; multi-sample commands act on exactly these rows.
//
// On a server database the grid is live: samples other stations store
// (db::SampleNotices) come in as new first rows, the newest on top, as the
// station's own do (insertSampleAtTop), whatever column the grid is sorted
// by: a technician finds new arrivals where they always appear. The kept
// sort is forgotten, so the next click on a header sorts them into place. A
// batch too large to name, or a reconnect, adds the samples the grid does
// not show yet in one insert.

#include "views/grid_columns.h"
#include "views/grid_row_cache.h"
#include "views/sample_grid_store.h"

#include <QAbstractTableModel>
#include <QSet>

#include <memory>
#include <optional>
#include <vector>

namespace qqc {

namespace db {
class SampleNotices;
}

class SampleGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using enum GridColumns::Column;
    static constexpr int kViscosityParmId = GridColumns::kViscosityParmId;
    static constexpr int kDielectricParmId = GridColumns::kDielectricParmId;

    explicit SampleGridModel(QObject* parent = nullptr);
    ~SampleGridModel() override;

    // Forgets everything shown and uses `store` from now on (no reads yet);
    // on a server it listens for other stations' samples.
    void setStore(const SampleGridStore& store);
    bool isLive() const;
    const SampleGridStore& store() const { return store_; }

    // Rebuilds the parameter columns from Parameters (when `parameters` is
    // true) and the row order, newest first; clears highlight and caches.
    // Throws db::DbError.
    void reload(bool parameters);
    // Re-reads the row order sorted by `column`; throws db::DbError.
    void sortByColumn(int column, bool descending);

    // --- layout (see GridColumns) ---
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edit is not stored here: it is handed to the window as cellEdited.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    const GridColumns& columns() const { return columns_; }
    int parameterCount() const { return columns_.parameterCount(); }
    int commentsColumn() const { return columns_.commentsColumn(); }
    int viscosityColumn() const { return columns_.viscosityColumn(); }
    int dielectricColumn() const { return columns_.dielectricColumn(); }
    int parmIdOfColumn(int column) const { return columns_.parmIdOfColumn(column); }
    const std::vector<GridParameter>& parameters() const { return columns_.parameters(); }
    QString parmGeneric(int parmId) const { return columns_.parmGeneric(parmId); }
    QString parmFormat(int parmId) const { return columns_.parmFormat(parmId); }
    QString parmDescription(int parmId) const { return columns_.parmDescription(parmId); }
    bool isEditableColumn(int column) const { return columns_.isEditable(column); }
    QString columnToolTip(int column) const { return columns_.toolTip(column); }
    QString headerText(int column) const { return columns_.headerText(column); }

    // --- rows ---
    qint32 sampleIdAt(int row) const;
    // The first row showing `sampleId`, -1 when none.
    int rowOfSample(qint32 sampleId) const;
    const std::vector<qint32>& sampleIds() const { return ids_; }
    // Inserts the sample as the first row (or refreshes its row when shown).
    void insertSampleAtTop(qint32 sampleId);
    // Inserts the samples not shown yet as the first rows, in one insert, in
    // the given order (newest first); forgets the kept sort.
    void insertSamplesAtTop(const std::vector<qint32>& newestFirst);
    // Inserts every stored sample the grid does not show yet at the top.
    // Throws db::DbError.
    void addMissingSamples();
    // Re-reads the row from the store; false when no row shows the sample.
    bool refreshSample(qint32 sampleId);
    void refreshRow(int row);
    // Removes every row that shows one of `sampleIds`.
    void removeSamples(const QSet<qint32>& sampleIds);
    // Shows `column` of `row` blank until the row is next refreshed (an edit
    // whose text was not stored).
    void blankCell(int row, int column);

    // The text a cell shows, and the stored value behind a parameter cell.
    QString cellText(int row, int column) const;
    std::optional<float> parameterValue(int row, int parmId) const;
    // The alarm level a coloured cell is painted with, -1 for other cells.
    int cellLevel(int row, int column) const;

    // --- highlight ---
    bool isHighlighted(int row) const;
    void setHighlighted(int row, bool on);
    void highlightRange(int firstRow, int lastRow);
    void clearHighlights();
    // Highlighted rows in grid order (top to bottom).
    std::vector<int> highlightedRows() const;
    int highlightedCount() const { return int(highlight_.size()); }

    // Rows held in the cache (for tests and the benchmark).
    int cachedRowCount() const { return cache_.size(); }
    static constexpr int kPageSize = GridRowCache::kPageSize;
    static constexpr int kCacheLimit = GridRowCache::kCacheLimit;

signals:
    // A cell editor committed `text` in a data row.
    void cellEdited(int row, int column, const QString& text);

private:
    const GridSampleRow* rowData(int row) const { return cache_.row(ids_, row); }
    // The order of `key`, from the last sort by the same column while the
    // file has not changed (clicking a header again only reverses it).
    std::vector<qint32> orderFor(const GridSortKey& key);
    void emitRowChanged(int row);
    void emitHighlightChanged(int row);

    SampleGridStore store_;
    std::unique_ptr<db::SampleNotices> notices_;
    bool missing_ = false;  // samples missed and not added yet (the read failed)
    GridColumns columns_;
    GridRowCache cache_;
    std::vector<qint32> ids_;
    QSet<qint32> highlight_;
    QSet<QPair<qint32, int>> blanked_;
    struct SortedOrder {
        GridSortKey::Kind kind = GridSortKey::NewestFirst;
        int parmId = 0;
        std::pair<qint64, qint64> token{-1, -1};
        std::vector<qint32> descending;
    } sorted_;
};

} // namespace qqc
