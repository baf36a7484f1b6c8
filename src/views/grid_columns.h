#pragma once
// The sample grid's columns: which column shows what (hidden SampleID, ten
// header columns, one column per Parameters record, Comments), the header
// and tooltip texts, which columns take edits, what a column sorts by, and
// the text and alarm level of a cell computed from one stored row. Pure: it
// reads nothing from the database itself.

#include "views/sample_grid_store.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

namespace qqc {

class GridColumns {
public:
    enum Column {
        ColSampleId = 0,
        ColSampleNum = 1,
        ColDate = 2,
        ColEquipment = 3,
        ColUnitUsage = 4,
        ColOilUsage = 5,
        ColOilAdded = 6,
        ColWear = 7,
        ColContam = 8,
        ColChem = 9,
        ColRefDiel = 10,
        FirstParmColumn = 11,
    };
    static constexpr int kViscosityParmId = 132;
    static constexpr int kDielectricParmId = 58;

    // One column per parameter, in the given order.
    void setParameters(std::vector<GridParameter> parameters);
    void clear() { setParameters({}); }

    int count() const { return FirstParmColumn + parameterCount() + 1; }
    int parameterCount() const { return int(parameters_.size()); }
    int commentsColumn() const { return FirstParmColumn + parameterCount(); }
    int viscosityColumn() const { return viscosityColumn_; }    // -1 when absent
    int dielectricColumn() const { return dielectricColumn_; }  // -1 when absent
    // The ParmID of a parameter column, -1 for any other column.
    int parmIdOfColumn(int column) const;
    const std::vector<GridParameter>& parameters() const { return parameters_; }
    // Per-ParmID texts of the catalogue (empty for an unknown ParmID).
    QString parmGeneric(int parmId) const;
    QString parmFormat(int parmId) const;
    QString parmDescription(int parmId) const;

    bool isEditable(int column) const;
    // The tip for a cell of a data row in `column`.
    QString toolTip(int column) const;
    // The exact header text of a column (trailing blanks included).
    QString headerText(int column) const;
    // What the rows are ordered by when `column` is sorted; nothing for a
    // column that does not sort.
    std::optional<GridSortKey> sortKey(int column, bool descending) const;

    // The text `row` shows in `column`.
    QString cellText(const GridSampleRow& row, int column) const;
    // The alarm level a coloured cell is painted with, -1 for other cells.
    int cellLevel(const GridSampleRow& row, int column) const;

private:
    std::vector<GridParameter> parameters_;
    QHash<int, int> parmIndex_;  // ParmID -> index into parameters_
    int viscosityColumn_ = -1;
    int dielectricColumn_ = -1;
};

// The grid's text of a stored date: the default date/time form, blank for
// null or 0.
QString gridDateText(const QVariant& stored);
// A stored date as a date and time; invalid for null, 0 or a text that is no
// date.
QDateTime storedDateTime(const QVariant& stored);

} // namespace qqc
