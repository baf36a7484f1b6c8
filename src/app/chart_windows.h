#pragma once
// The engineering chart and the calibration history windows as the frame
// creates them, wired to the Monitor:
//   Monitor::reloadChart -> frmChart::UpdateForm on the current test record,
//                           or showNoTestRecord for a selected sample without
//                           one
//   Monitor::calHistoryRequested (mnuCal_Click, also after each new
//   calibration) -> showCalHistory: SetDB with the open database, UpdateForm,
//                           and with NumCal 4 or more the window modally
//                           through the prompter

#include "report/ui/frm_cal.h"
#include "report/ui/frm_chart.h"

namespace qqc {

class Monitor;

frmChart* createChartWindow(Monitor& monitor);
// Returns NumCal.
int showCalHistory(frmCal& form, Monitor& monitor);

} // namespace qqc
