#pragma once
// The report window (frmReport) as the frame creates it, fed by the
// Monitor's database and sample notifications.

#include "report/ui/frm_report.h"

namespace qqc {

class Monitor;

// Creates the window and wires it both ways:
//   Monitor::databaseOpened    -> SetDB (nullptr releases it)
//   Monitor::showReportSample  -> UpdateForm
//   RefreshData                -> Monitor::fReportFrm_RefreshData
//   ViscChg, RecalculateAlarms -> Monitor::fDataFrm_ViscChg, fDataFrm_RecalculateAlarms
//   Monitor::sampleEdited, sampleDeleted -> follow the change (redraw, or clear)
// Labels, colour reduction, image flag and the Img folder come from the
// Monitor's settings at each use.
report::frmReport* createReportWindow(Monitor& monitor);

// The "Report" menu: hands the window the open database and current sample.
void refreshReportWindow(report::frmReport& form, Monitor& monitor);

} // namespace qqc
