// The exchange-file commands of the sample window: "Export to CSV",
// "Export to VQM" and "Import VQM". They read the window's rows in grid order
// (model().sampleIds()), the highlight (highlightedSampleIds()), the anchors
// (firstAnchor(), lastAnchor(), clearAnchors()) and the per-ParmID catalogue
// (model().parmGeneric/parmFormat/parmDescription). The export and import
// themselves are filled in by the exchange-file work; until then the buttons
// do nothing.

#include "views/ui/frm_data.h"

namespace qqc {

void frmData::ExportCSV() {}

void frmData::ExportVQM() {}

void frmData::importVqm() {}

} // namespace qqc
