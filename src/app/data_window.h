#pragma once
// The sample data window (frmData) as the frame creates it: bound to the
// Monitor's handlers for its events, and fed by the Monitor's database and
// sample notifications.

#include "views/ui/frm_data.h"

namespace qqc {

class Monitor;

// Creates the window and wires it both ways:
//   InitCtl            -> SetImport(MISC/VQMIMPORT is "1")
//   SelFromGrid, RecalculateAlarms, ViscChg -> Monitor::fDataFrm_*
//   Monitor::databaseOpened -> SetDB + UpdateForm (nullptr releases it)
//   Monitor::sampleAdded    -> AddDataToGrid
//   Monitor::sampleChanged  -> RefreshSampleDisplay
frmData* createDataWindow(Monitor& monitor);

// "Windows" > "Data": hands the window the open database (none: nullptr) and
// reads its grid afresh, so samples stored meanwhile (by another station on a
// shared file, too) show.
void refreshDataWindow(frmData& form, Monitor& monitor);

} // namespace qqc
