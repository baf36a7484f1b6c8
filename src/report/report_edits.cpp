#include "report/report_edits.h"

#include "core/parameters.h"
#include "db/engine.h"
#include "db/sample_edits.h"
#include "util/common.h"

namespace qqc::report {

namespace {

constexpr int HistoryTable = 1, ChemistryTable = 4, NewestColumn = 1;

} // namespace

ReportEdit reportCellEdit(const ReportData& shown, int table, int row, int column)
{
    if (!shown.found || shown.historyIds.isEmpty() || column != NewestColumn || table < 0 || table > 4)
        return ReportEdit::None;
    const ReportTable& t = shown.tables[size_t(table)];
    if (row < 0 || row >= t.rows.size() || column >= t.rows[row].size())
        return ReportEdit::None;
    if (table == HistoryTable) {
        static constexpr ReportEdit rows[] = {ReportEdit::None, ReportEdit::SampleNum, ReportEdit::UnitUsage,
                                              ReportEdit::OilUsage, ReportEdit::OilAdded};
        return row < 5 ? rows[row] : ReportEdit::None;
    }
    if (table == ChemistryTable && t.rowParms.value(row) == Parm::Viscosity)
        return ReportEdit::Viscosity;
    return ReportEdit::None;
}

ReportEditResult storeReportEdit(db::Database& db, qint32 sampleId, ReportEdit edit, const QString& text)
{
    ReportEditResult r;
    const auto stored = [&r](bool found) {
        if (!found)
            r.outcome = ReportEditResult::SampleGone;
        return r;
    };
    if (edit == ReportEdit::SampleNum)
        return stored(db::setSampleField(db, sampleId, QStringLiteral("SampleNum"), TextToNullable(text)));
    double number = 0;
    if (edit == ReportEdit::None || !gridTextIsNumeric(text, &number)) {
        r.outcome = ReportEditResult::NotANumber;
        return r;
    }
    if (edit != ReportEdit::Viscosity) {
        const char* field = edit == ReportEdit::UnitUsage ? "UnitUsage" : edit == ReportEdit::OilUsage ? "OilUsage"
                                                                                                       : "OilAdded";
        return stored(db::setSampleField(db, sampleId, QLatin1String(field), text.trimmed()));
    }
    r.viscosity = float(number);
    if (!db::storeViscosity(db, sampleId, r.viscosity))
        return stored(false);
    r.dielectric = db.queryValue(QStringLiteral("SELECT Value FROM SampleDetails WHERE SampleID = ? AND ParmID = ?"),
                                 {sampleId, int(Parm::Dielectric)})
                       .toFloat();
    return r;
}

} // namespace qqc::report
