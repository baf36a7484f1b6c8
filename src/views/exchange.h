#pragma once
// The exchange files of the sample store, without widgets: exports of chosen
// samples to the spreadsheet table (CSV) or the generic exchange file, and
// the import of a generic file. The sample window (views/ui) and the command
// line tool (tools/cli) both run them; what a person must decide is asked
// through the Prompter, progress goes to a callback that can cancel.
//
// Outcomes are whole: an export replaces its file completely or leaves the
// old one untouched (a temporary file renamed over it only at the end), and
// an import stores every sample of the file in one transaction or nothing.

#include "db/engine.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace qqc {

// Told how far a run is (done of total); returns false to cancel it.
using ExchangeProgress = std::function<bool(qint64 done, qint64 total)>;

struct ExchangeOutcome {
    enum Status { Done, Cancelled, Failed };
    Status status = Done;
    int errorNumber = 0;  // the engine's number for a database failure
    QString error;        // why it failed
};

// --- export ---

enum class ExportFormat { Csv, Generic };

struct ExportRequest {
    ExportFormat format = ExportFormat::Csv;
    QString path;
    std::vector<qint32> sampleIds;  // in the order they are written
    // Asks "Warning, No Lab Unit ID for sample: " through the Prompter for a
    // sample without an equipment ID (Cancel ends the export, no file);
    // otherwise the sample is written and named in missingEquipment.
    bool askMissingEquipment = true;
    ExchangeProgress progress;
};

struct ExportResult : ExchangeOutcome {
    int written = 0;
    std::vector<qint32> missingEquipment;  // written without an equipment ID
    std::vector<qint32> replacedCharacters;  // had text Windows-1252 cannot hold ("?")
    std::vector<qint32> missingSamples;    // SampleIDs not in the database
};

ExportResult exportSamples(db::Database& database, const ExportRequest& request);

// --- import ---

struct ImportResult : ExchangeOutcome {
    // "Adding: " / "Duplicate: " lines (unit ID, ", ", date), warnings and
    // the count of tags not read, each ending in CR LF.
    QString report;
    int added = 0;
    int duplicates = 0;
};

// Reads the generic file at `path` and stores its new samples. The file is
// checked whole before anything is written; a fault names the line.
ImportResult importGenericFile(db::Database& database, const QString& path, const ExchangeProgress& progress = {});

} // namespace qqc
