#pragma once
// Reading a Jet or ACE database (".mdb", ".accdb") without libmdb in this
// process: the reader program (quorvelqc-jet-reader, built beside the
// monitor) reads the file and writes its tables as a jet stream; this side
// runs it, checks the stream and writes the tables, with their own names,
// columns and values, into a staging SQLite file. The upgrade copies from
// that file like from any old-layout database.
//
// A crash, a hang, an early end or garbage from the reader becomes
// "cannot read <file>: ..."; nothing of it reaches the monitor. The Jet
// file is only ever read.

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace qqc::db {

// True when the file starts like a Jet or ACE database ("Standard Jet DB" or
// "Standard ACE DB" at byte 4).
bool isJetFile(const QString& path);
// The lock file Access keeps beside an open database (".ldb", ".laccdb"),
// when there is one; empty otherwise.
QString jetLockFile(const QString& path);
// Where a converted Jet database goes by default: "<name>-converted.mdb"
// beside it.
QString defaultConvertedPath(const QString& jetPath);

struct JetReaderCommand {
    QString program;          // empty: readerProgram()
    QStringList arguments;    // put before the file name
};
// The reader beside this program, or QUORVELQC_JET_READER when set.
QString readerProgram();

struct JetTableRows {
    QString table;
    qint64 declared = 0;      // the count in the table's definition
    qint64 read = 0;          // rows the reader delivered
};

struct JetReadProgress {
    QString table;
    qint64 row = 0;
    qint64 rows = 0;          // declared rows of `table`
    int tablesDone = 0;
    int tablesTotal = 0;
};

struct JetStagingRequest {
    QString jetPath;
    QString stagingPath;      // created; an existing file is replaced
    JetReaderCommand reader;
    // How long the reader may go without writing anything before it counts
    // as hung and is ended.
    int stallMs = 60000;
    std::function<void(const JetReadProgress&)> progress;
    std::function<bool()> cancelRequested;   // polled often; true ends the reader
};

struct JetStagingResult {
    enum Outcome { Done, Cancelled, Failed, Refused } outcome = Failed;
    QString error;            // Failed: "cannot read <file>: ..."; Refused: why
    int format = 0;           // 0 Jet 3, 1 Jet 4, 2.. ACE
    std::vector<JetTableRows> tables;
    // The last number each table's auto-number handed out, by table.
    QHash<QString, qint64> autoNumberCounters;
    // Tables that delivered fewer rows than their definitions declare.
    std::vector<JetTableRows> shortTables() const;
};

JetStagingResult readJetIntoStaging(const JetStagingRequest& request);

} // namespace qqc::db
