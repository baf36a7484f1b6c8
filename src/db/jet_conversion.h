#pragma once
// Converting a Jet or ACE sample database into a database of this program:
// the reader's tables go to a staging file beside the destination
// (db/jet_staging.h), then the upgrade copies them (db/upgrade.h) exactly as
// it copies an old-layout database: below layout 300 as an old layout, at
// 300 every table with its own CalData rows, above 300 refused. The Jet file
// is only read; the converted file is new, and is read by this program only.

#include "db/jet_staging.h"
#include "db/upgrade.h"

#include <functional>
#include <optional>
#include <vector>

namespace qqc::db {

struct JetConversionRequest {
    QString jetPath;
    QString destination;      // must differ from jetPath; replaced only at the end
    QString templatePath;
    JetReaderCommand reader;
    int stallMs = 60000;
    // Asked when tables delivered fewer rows than their definitions declare
    // (a file not closed cleanly can carry a stale count); true goes on.
    // Null: the conversion stops.
    std::function<bool(const std::vector<JetTableRows>&)> acceptShortCounts;
    // Reading is reported as the step CopyData with the status "Reading
    // table <name>."; the copy reports as the upgrade does.
    std::function<void(const UpgradeProgress&)> progress;
    std::function<bool()> cancelRequested;
    std::function<std::optional<qint64>(const QString& folder)> freeSpace;
};

struct JetConversionResult {
    enum Outcome { Done, Cancelled, Failed, Refused, ShortRows, NoSpace } outcome = Failed;
    QString error;            // what the user is told (not for Done and Cancelled)
    std::vector<JetTableRows> tables;   // declared and read rows of every table
    UpgradeResult upgrade;    // the copy's result, summary included
};

// "<table>: <read> rows read, <declared> in its table definition", one line
// per table.
QString shortCountText(const std::vector<JetTableRows>& tables);

JetConversionResult convertJetDatabase(const JetConversionRequest& request);

} // namespace qqc::db
