#pragma once
// The command line of quorvelqc-cli, parsed without touching anything:
//   quorvelqc-cli export-csv     (--all | --samples LIST) --out FILE
//   quorvelqc-cli export-generic (--all | --samples LIST) --out FILE
//   quorvelqc-cli import-generic FILE
//   quorvelqc-cli list           [--all | --samples LIST]
//   quorvelqc-cli report         --sample N --pdf FILE [--paper a4|letter]
//   quorvelqc-cli upgrade FILE   [--out F] [--accept-row-counts] (a Jet FILE)
//   quorvelqc-cli copy-db        --from DB --to DB
// each with [--db FILE] [--home DIR] [--quiet] (upgrade and copy-db: no --db). LIST is SampleIDs and ranges,
// "3,5-9".

#include <QString>
#include <QStringList>

#include <optional>
#include <set>
#include <vector>

namespace qqc::cli {

enum class Command { ExportCsv, ExportGeneric, ImportGeneric, List, Report, Upgrade, CopyDb };

struct Options {
    Command command = Command::List;
    QString database;     // --db; empty: the settings' database
    QString home;         // --home
    QString out;          // --out
    QString importFile;   // import-generic FILE
    QString upgradeFile;  // upgrade FILE
    QString from, to;     // copy-db: a file or a postgresql:// address each
    bool all = true;      // no --samples
    std::set<qint32> samples;
    bool quiet = false;
    qint32 sample = 0;    // report --sample: the SampleID
    QString pdf;          // report --pdf
    QString paper;        // report --paper: "a4", "letter"; empty: the locale's
    bool acceptRowCounts = false;   // --accept-row-counts (a Jet file's upgrade)
};

struct Parsed {
    std::optional<Options> options;
    QString error;   // why the command line cannot be parsed
    bool help = false;
};

Parsed parseCommandLine(const QStringList& arguments);
// "3,5-9" -> {3,5,6,7,8,9}; nothing for a text that is no such list.
std::optional<std::set<qint32>> parseSampleList(const QString& text);
QString helpText();

} // namespace qqc::cli
