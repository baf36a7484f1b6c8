#include "link/capture_format.h"

#include <QFile>

namespace qqc {

namespace {

// Local time with its offset, so the replay measures gaps right across a
// change of summer time.
QByteArray timeText(const QDateTime& at)
{
    const QDateTime fixed = at.toOffsetFromUtc(at.offsetFromUtc());
    return fixed.toString(Qt::ISODateWithMs).toLatin1();
}

QDateTime parseTime(const QByteArray& text)
{
    // Only the full form the writer uses: date, time to the millisecond, offset.
    if (text.size() < 24 || text[10] != 'T' || text[19] != '.')
        return {};
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

QByteArray captureLine(CaptureEntry::Kind kind, const QDateTime& at, const QByteArray& bytes)
{
    QByteArray line = timeText(at);
    line += kind == CaptureEntry::Tx ? " TX" : " RX";
    QByteArray text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        line += ' ';
        line += QByteArray(1, c).toHex().toUpper();
        text += (c >= 0x20 && c <= 0x7E) ? c : '.';
    }
    line += " |" + text + "|\n";
    return line;
}

QByteArray captureNoteLine(const QDateTime& at, const QString& text)
{
    return "# " + timeText(at) + ' ' + text.toUtf8() + '\n';
}

bool parseCaptureLine(const QByteArray& line, CaptureEntry& entry, bool& isEntry)
{
    isEntry = false;
    const QByteArray trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return true;
    if (trimmed.startsWith('#')) {
        const QByteArray rest = trimmed.mid(1).trimmed();
        const qsizetype space = rest.indexOf(' ');
        const QDateTime at = parseTime(space < 0 ? rest : rest.left(space));
        if (!at.isValid())
            return true;  // a comment
        entry = CaptureEntry{CaptureEntry::Note, at, {}, QString::fromUtf8(space < 0 ? QByteArray() : rest.mid(space + 1)), 0};
        isEntry = true;
        return true;
    }
    // The text rendering (from the first " |") is for people only: a byte
    // such as "|" or a space inside it must not be read as hex.
    const qsizetype bar = trimmed.indexOf(" |");
    const QList<QByteArray> fields = (bar < 0 ? trimmed : trimmed.left(bar)).split(' ');
    if (fields.size() < 3)
        return false;
    const QDateTime at = parseTime(fields[0]);
    if (!at.isValid() || (fields[1] != "RX" && fields[1] != "TX"))
        return false;
    QByteArray bytes;
    for (qsizetype i = 2; i < fields.size(); ++i) {
        const QByteArray& f = fields[i];
        if (f.size() != 2 || hexDigit(f[0]) < 0 || hexDigit(f[1]) < 0)
            return false;
        bytes += char(hexDigit(f[0]) * 16 + hexDigit(f[1]));
    }
    entry = CaptureEntry{fields[1] == "TX" ? CaptureEntry::Tx : CaptureEntry::Rx, at, bytes, {}, 0};
    isEntry = true;
    return true;
}

bool readCaptureFile(const QString& path, CaptureFile& capture, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    int number = 0;
    for (const QByteArray& line : lines) {
        ++number;
        CaptureEntry entry;
        bool isEntry = false;
        if (!parseCaptureLine(line, entry, isEntry)) {
            capture.badLines.append(number);
        } else if (isEntry) {
            entry.line = number;
            capture.entries.append(entry);
        }
    }
    return true;
}

} // namespace qqc
