#pragma once
// LineCapture: appends what goes over the serial line to a text file for the
// support team (format: link/capture_format.h, tools/README.md). Bytes that
// go one way without a pause of more than GroupGapMs form one line (at most
// MaxGroupBytes bytes); a group is written when the direction changes, the
// pause is over, or the line falls idle, and each line is flushed at once, so
// a crash loses at most the group under way.
//
// The file never grows past its size limit: before a line would cross it the
// file becomes FILE.1 (replacing the one before) and a new FILE starts, so a
// station left capturing holds at most twice the limit.
//
// A file that cannot be written never stops the monitor: the first failure of
// an outage is logged once in quorvelqc.log, the bytes are dropped, and every
// later line tries the file again.

#include "link/capture_format.h"

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <functional>

namespace qqc {

class LineCapture : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 DefaultSizeLimit = 4 * 1024 * 1024;
    static constexpr int GroupGapMs = 10;
    static constexpr int MaxGroupBytes = 32;

    explicit LineCapture(QString path, qint64 sizeLimit = DefaultSizeLimit, QObject* parent = nullptr);
    ~LineCapture() override;  // writes the group under way

    const QString& path() const { return path_; }
    qint64 sizeLimit() const { return limit_; }

    // One byte the monitor received (Rx) or sent (Tx).
    void add(CaptureEntry::Kind kind, quint8 byte);
    // A timed note: "OPEN <device>", "CLOSE", "ERROR <code>".
    void note(const QString& text);
    // Writes the group under way.
    void flush();

    // The clock lines are stamped with (tests).
    void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

private:
    void write(const QByteArray& line);
    bool openFile();
    bool rotate();
    void fail(const QString& why);

    QString path_;
    qint64 limit_;
    QFile file_;
    qint64 size_ = 0;
    bool failing_ = false;  // an outage is under way (and was logged)
    CaptureEntry::Kind groupKind_ = CaptureEntry::Rx;
    QDateTime groupAt_;
    QDateTime lastByteAt_;
    QByteArray group_;
    QTimer idle_;
    std::function<QDateTime()> clock_;
};

} // namespace qqc
