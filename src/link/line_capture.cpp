#include "link/line_capture.h"

#include "util/common.h"

#include <QFileInfo>

namespace qqc {

namespace {
const QByteArray kHeader = "# quorvelqc line capture: <time> RX|TX <hex bytes> |<text>| (see tools/README.md)\n";
} // namespace

LineCapture::LineCapture(QString path, qint64 sizeLimit, QObject* parent)
    : QObject(parent), path_(std::move(path)), limit_(std::max<qint64>(sizeLimit, 1024)),
      clock_([] { return QDateTime::currentDateTime(); })
{
    idle_.setSingleShot(true);
    idle_.setInterval(GroupGapMs * 5);
    connect(&idle_, &QTimer::timeout, this, &LineCapture::flush);
}

LineCapture::~LineCapture() { flush(); }

void LineCapture::add(CaptureEntry::Kind kind, quint8 byte)
{
    const QDateTime now = clock_();
    if (!group_.isEmpty()
        && (kind != groupKind_ || group_.size() >= MaxGroupBytes || lastByteAt_.msecsTo(now) > GroupGapMs))
        flush();
    if (group_.isEmpty()) {
        groupKind_ = kind;
        groupAt_ = now;
    }
    group_ += char(byte);
    lastByteAt_ = now;
    idle_.start();
}

void LineCapture::note(const QString& text)
{
    flush();
    write(captureNoteLine(clock_(), text));
}

void LineCapture::flush()
{
    if (group_.isEmpty())
        return;
    const QByteArray line = captureLine(groupKind_, groupAt_, group_);
    group_.clear();
    idle_.stop();
    write(line);
}

void LineCapture::write(const QByteArray& line)
{
    if (!file_.isOpen() && !openFile())
        return;
    if (size_ > 0 && size_ + line.size() > limit_ && (!rotate() || !openFile()))
        return;
    if (file_.write(line) != line.size() || !file_.flush()) {
        fail(file_.errorString());
        file_.close();
        return;
    }
    size_ += line.size();
    failing_ = false;
}

bool LineCapture::openFile()
{
    file_.setFileName(path_);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
        fail(file_.errorString());
        return false;
    }
    size_ = file_.size();
    // After an outage the last line may be cut: start on a line of its own.
    const QByteArray start = size_ == 0 ? kHeader : failing_ ? QByteArray("\n") : QByteArray();
    if (!start.isEmpty()) {
        if (file_.write(start) != start.size() || !file_.flush()) {
            fail(file_.errorString());
            file_.close();
            return false;
        }
        size_ += start.size();
    }
    return true;
}

bool LineCapture::rotate()
{
    file_.close();
    const QString old = path_ + QStringLiteral(".1");
    QFile::remove(old);
    if (!QFile::rename(path_, old) && !QFile::remove(path_)) {
        // Neither kept nor dropped: stop writing rather than grow past the limit.
        fail(QStringLiteral("cannot make room for it"));
        return false;
    }
    return true;
}

void LineCapture::fail(const QString& why)
{
    if (failing_)
        return;
    failing_ = true;
    DebugLog(QStringLiteral("Capture file %1 cannot be written (%2); the line is not captured until it can be")
                 .arg(QFileInfo(path_).absoluteFilePath(), why),
             true);
}

} // namespace qqc
