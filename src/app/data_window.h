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
//   sampleEdited, samplesDeleted -> Monitor::gridSampleEdited, gridSamplesDeleted
//   Monitor::databaseOpened -> SetDB + UpdateForm (nullptr releases it)
//   Monitor::sampleAdded    -> AddDataToGrid
//   Monitor::sampleChanged  -> RefreshSampleDisplay
frmData* createDataWindow(Monitor& monitor);

// "Windows" > "Data", before the window is shown: hands it the open database
// (none: nullptr) so samples stored meanwhile (by another station on a shared
// file, too) show. An open window reads its grid now; a closed one reads it
// once, when it is shown.
void refreshDataWindow(frmData& form, Monitor& monitor);

} // namespace qqc
