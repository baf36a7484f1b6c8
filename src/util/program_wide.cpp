#include "util/program_wide.h"

namespace qqc {

ReportLabelArray builtInReportLabels()
{
    return {QStringLiteral("Company"),   QStringLiteral("Address"), QStringLiteral("Address"),
            QStringLiteral("Telephone"), QStringLiteral("E Mail"),  QString(),
            QStringLiteral("QuorvelQC Analyzer"), QStringLiteral("Trend Report")};
}

ProgramWide& programWide()
{
    static ProgramWide values;
    return values;
}

} // namespace qqc
