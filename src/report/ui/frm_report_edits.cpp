// frmReport: the cells a person edits in the report's tables, and following
// the changes made to its samples elsewhere.
#include "report/ui/frm_report.h"

#include "db/engine.h"
#include "report/report_edits.h"
#include "util/common.h"
#include "util/std_error.h"

#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>

namespace qqc::report {

void frmReport::GridDataTable_AfterEdit(int index, int row, int column)
{
    const ReportEdit edit = reportCellEdit(data_, index, row, column);
    QTableWidget* table = GridDataTable.at(size_t(index));
    QTableWidgetItem* item = table->item(row, column);
    if (item == nullptr || edit == ReportEdit::None || db_ == nullptr || sampleId_ == 0)
        return;
    QString& shownText = data_.tables[size_t(index)].rows[row][column].text;
    const QString text = item->text();
    if (text == shownText)
        return;
    const auto putBack = [&] {
        const QSignalBlocker quiet(table);
        item->setText(shownText);
    };
    const qint32 id = sampleId_;
    ReportEditResult stored;
    try {
        stored = storeReportEdit(*db_, id, edit, text);
    } catch (const db::DbError& e) {
        putBack();
        ShowRoutineError(e.number(), e.description(), QStringLiteral("GridDataTable_AfterEdit"));
        return;
    }
    switch (stored.outcome) {
    case ReportEditResult::NotANumber:
        putBack();
        MessageBoxEx(QStringLiteral("Please enter a number."));
        return;
    case ReportEditResult::SampleGone:
        scheduleRefresh();   // clears the window once this edit has returned
        return;
    case ReportEditResult::Stored:
        break;
    }
    shownText = text;
    if (edit == ReportEdit::Viscosity) {
        // The grid's path: the change against the reference oil, then the levels.
        emit ViscChg(id, stored.dielectric, stored.viscosity);
        emit RecalculateAlarms(id);
    }
    emit RefreshData(id);
    // Redrawn after the edit returns: the table is rebuilt, which must not
    // happen under the item being committed.
    scheduleRefresh();
}

void frmReport::sampleEdited(qint32 sampleId)
{
    if (db_ == nullptr || sampleId_ == 0)
        return;
    if (sampleId == sampleId_) {
        scheduleRefresh();
        return;
    }
    try {
        if (changeTouchesReport(*db_, data_, sampleId))
            scheduleRefresh();
    } catch (const db::DbError&) {
        scheduleRefresh();   // unknown: read again rather than show stale values
    }
}

void frmReport::sampleDeleted(qint32 sampleId)
{
    if (sampleId_ == 0)
        return;
    if (sampleId == sampleId_) {
        commentsSample_ = 0;   // its comment has nowhere to go
        sampleId_ = 0;
        data_ = {};
        clear();
    } else if (data_.historyIds.contains(sampleId)) {
        scheduleRefresh();
    }
}

} // namespace qqc::report
