#pragma once
// The line capture's text format (written by LineCapture, read by the
// simulator's replay). One line per group of bytes that went one way on the
// serial line without a pause:
//
//   2026-12-06T18:12:55.123+01:00 RX 3C 53 4B 01 3C 45 3E |<SK.<E>|
//
// the local time of the group's first byte (ISO 8601, milliseconds and the
// offset from UTC), RX (received by the monitor: the unit sent it) or TX
// (sent by the monitor), the bytes in hex, and between bars the same bytes as
// text (a byte outside 0x20..0x7E shows as "."). Lines starting with "#" are
// notes: "# <time> OPEN <device>", "# <time> CLOSE", "# <time> ERROR <code>",
// or, without a time, a comment (the header of each file).

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace qqc {

struct CaptureEntry {
    enum Kind { Rx, Tx, Note };
    Kind kind = Rx;
    QDateTime at;
    QByteArray bytes;  // Rx and Tx
    QString text;      // Note: "OPEN /dev/ttyUSB0", "CLOSE", ...
    int line = 0;      // 1-based line number in its file
};

// The line for `bytes` sent `kind` (Rx or Tx) at `at`, with its "\n".
QByteArray captureLine(CaptureEntry::Kind kind, const QDateTime& at, const QByteArray& bytes);
// A note line "# <time> <text>\n".
QByteArray captureNoteLine(const QDateTime& at, const QString& text);

// What a capture file holds, in order. Comments and empty lines are skipped;
// a line not in the format (a line a full disk cut short) is skipped too and
// its number kept in `badLines`, so one damaged line never costs the rest.
struct CaptureFile {
    QList<CaptureEntry> entries;
    QList<int> badLines;
};
// False with `error` saying why when the file cannot be read.
bool readCaptureFile(const QString& path, CaptureFile& file, QString* error);
// One line without its "\n": false when it is neither an entry, a note nor a
// comment; `entry` is set only for an entry or a timed note (`isEntry`).
bool parseCaptureLine(const QByteArray& line, CaptureEntry& entry, bool& isEntry);

} // namespace qqc
