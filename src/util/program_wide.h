#pragma once
// The few values that exist once for the whole program, outside any window:
// the report labels, the report's colour reduction and the image flag. They
// are read from the settings file at start-up (app/settings.*), changed by
// the setup dialog and read by the report.

#include <QString>

#include <array>

namespace qqc {

// Report labels by index: 0 company, 1 address, 2 city/state/zip, 3 telephone,
// 4 e-mail, 5 logo file path, 6 report header, 7 report footer.
constexpr int kReportLabelCount = 8;
using ReportLabelArray = std::array<QString, kReportLabelCount>;

// The built-in texts: "Company", "Address", "Address", "Telephone",
// "E Mail", "", "QuorvelQC Analyzer", "Trend Report".
ReportLabelArray builtInReportLabels();

struct ProgramWide {
    ReportLabelArray reportLabels = builtInReportLabels();
    int colorReduction = 0;  // OVLABELS/COLORREDUCTION
    bool imageFlag = false;  // MISC/IMG
};

ProgramWide& programWide();

} // namespace qqc
