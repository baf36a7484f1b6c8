#pragma once
// The spool: what the unit measured, kept on disk until the database has
// committed it. Every decoded test and every calibration row is written here
// first (durably: a temporary file, fsync, rename, fsync of the folder), then
// stored; its file is removed only after the store's transaction committed.
// A crash, a locked database or a full disk therefore never loses a test: the
// entries left here are stored at the next chance, in arrival order, each
// into the database it names.
//
// One file per entry in <program folder>/spool, named
//   <UTC arrival yyyyMMddTHHmmsszzz>-<process id>-<sequence>.qqs
// so that the names sort in arrival order. The file is UTF-8 text, one
// "key=value" line each ("\" , CR and LF in values written as "\\", "\r",
// "\n"):
//   QuorvelQC spool 1
//   kind=D                      (D a test record, C a calibration row)
//   database=/abs/path/lab.mdb  (the database it was measured for)
//   arrival=1765044773123       (milliseconds since 1970-01-01 UTC)
//   <field>=<text>              (the entry's values, in order)
//   end
// A file without its "end" line, or with another first line, is not an
// entry: it is reported and left where it is. Files ending in ".failed" are
// entries the database refused for good (kept for support, never replayed).

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace qqc {

struct SpoolEntry {
    QString kind;        // "D" a test record, "C" a calibration row
    QString database;    // absolute path of the database it belongs to
    QDateTime arrival;   // when it arrived, to the millisecond
    QList<std::pair<QString, QString>> fields;
    QString file;        // its file name in the spool folder; empty while it is only in memory
    // Read back by load(): written by an earlier run (or another process),
    // so it may have been stored already by whoever wrote it.
    bool found = false;
    // A store of this run failed: on a server the failure may have come
    // after the COMMIT was done (its reply lost), so the next store checks
    // first, as for an entry found in the folder.
    bool tried = false;

    QString value(const QString& key) const;
};

class Spool {
public:
    explicit Spool(QString folder);
    const QString& folder() const { return folder_; }

    // Writes `entry` durably and sets entry.file. False, with the reason,
    // when any step fails; nothing is then left behind under an entry name.
    bool write(SpoolEntry& entry, QString* error = nullptr);
    // Removes a stored entry's file (clears entry.file).
    bool remove(SpoolEntry& entry, QString* error = nullptr);
    // Renames the entry's file to "<name>.failed": kept, never replayed.
    bool setAside(SpoolEntry& entry, QString* error = nullptr);
    // The entries in the folder, in arrival order. Files that are not whole
    // entries are named in `unreadable`.
    std::vector<SpoolEntry> load(QStringList* unreadable = nullptr) const;

    static QByteArray encode(const SpoolEntry& entry);
    static bool decode(const QByteArray& text, SpoolEntry& entry);

private:
    QString folder_;
};

// <program folder>/spool
QString spoolFolder();

} // namespace qqc
