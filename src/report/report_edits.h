#pragma once
// What a person may change in the report's tables, and storing it: the
// shown sample's Sample #, Unit Usage, Oil Usage and Oil Added (history
// table, rows 1..4, column 1) and its viscosity (the Chemistry table's row
// of parameter 132, column 1, wherever the catalogue puts that row). Column 1
// is always the shown sample, so an edit lands on it. The window raises the
// events that follow a change (RefreshData, and for the viscosity ViscChg
// and RecalculateAlarms); judging stays with the Monitor's handlers.

#include "report/report_data.h"

namespace qqc::report {

enum class ReportEdit { None, SampleNum, UnitUsage, OilUsage, OilAdded, Viscosity };

// The edit a cell (table 0..4, row, column) of `shown` allows.
ReportEdit reportCellEdit(const ReportData& shown, int table, int row, int column);

struct ReportEditResult {
    enum Outcome { Stored, NotANumber, SampleGone } outcome = Stored;
    // A stored viscosity and the sample's dielectric (0 when it has none),
    // as ViscChg takes them.
    float viscosity = 0, dielectric = 0;
};

// Stores `text` typed into a cell of kind `edit` for `sampleId`: the Sample #
// as typed (empty: none), a usage or the viscosity only when the text is a
// number (nothing is written otherwise). Throws db::DbError on an engine
// failure.
ReportEditResult storeReportEdit(db::Database& db, qint32 sampleId, ReportEdit edit, const QString& text);

} // namespace qqc::report
