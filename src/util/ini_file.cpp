#include "util/ini_file.h"

#include "util/common.h"
#include "util/cp1252.h"
#include "util/save_file.h"

#include <QFile>
#include <QList>
#include <QStringDecoder>

#include <algorithm>
#include <iterator>
#include <limits>

namespace qqc {

namespace {

// Text values are read through a 64-character buffer.
constexpr int kMaxTextLength = 63;

// Files from the earlier program are Windows-1252; files this program
// creates are UTF-8. A file is read as UTF-8 when it is valid UTF-8.
enum class Encoding { Utf8, Windows1252 };

QString decode(const QByteArray& bytes, Encoding encoding)
{
    return encoding == Encoding::Utf8 ? QString::fromUtf8(bytes) : fromCp1252(bytes);
}

// False when `text` holds a character Windows-1252 cannot hold.
bool encodeCp1252(const QString& text, QByteArray& bytes)
{
    bool lossy = false;
    bytes = toCp1252(text, &lossy);
    return !lossy;
}

struct ParsedFile {
    QList<QByteArray> lines;  // without line ends
    QByteArray eol;           // the file's own line end
    Encoding encoding = Encoding::Utf8;
};

ParsedFile load(const QString& path)
{
    ParsedFile parsed;
#ifdef Q_OS_WIN
    parsed.eol = "\r\n";
#else
    parsed.eol = "\n";
#endif
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return parsed;
    const QByteArray all = file.readAll();
    if (all.isEmpty())
        return parsed;
    if (!isValidUtf8(all))
        parsed.encoding = Encoding::Windows1252;
    const int firstNl = all.indexOf('\n');
    if (firstNl > 0 && all.at(firstNl - 1) == '\r')
        parsed.eol = "\r\n";
    else if (firstNl >= 0)
        parsed.eol = "\n";
    parsed.lines = all.split('\n');
    if (all.endsWith('\n'))
        parsed.lines.removeLast();
    for (QByteArray& l : parsed.lines)
        if (l.endsWith('\r'))
            l.chop(1);
    return parsed;
}

// "[name]" (blanks around allowed); returns false for any other line.
bool sectionName(const QByteArray& line, Encoding encoding, QString& name)
{
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return false;
    const int close = t.indexOf(']');
    if (close < 0)
        return false;
    name = decode(t.mid(1, close - 1), encoding).trimmed();
    return true;
}

// "key=value"; returns false for lines without "=" or with an empty key.
bool keyValue(const QByteArray& line, Encoding encoding, QString& key, QString& value)
{
    const int eq = line.indexOf('=');
    if (eq <= 0)
        return false;
    key = decode(line.left(eq), encoding).trimmed();
    if (key.isEmpty() || key.startsWith(QLatin1Char(';')))
        return false;
    value = decode(line.mid(eq + 1), encoding).trimmed();
    // The profile reader drops one pair of surrounding quotes.
    if (value.size() >= 2 && value.front() == value.back()
        && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')))
        value = value.mid(1, value.size() - 2);
    return true;
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The raw value of section/key, or false when the key is missing.
bool lookup(const QString& path, const QString& section, const QString& key, QString& value)
{
    const ParsedFile parsed = load(path);
    bool inSection = false;
    const QString wantedKey = key.trimmed();
    const QString wantedSection = section.trimmed();
    for (const QByteArray& line : parsed.lines) {
        QString name;
        if (sectionName(line, parsed.encoding, name)) {
            inSection = sameName(name, wantedSection);
            continue;
        }
        if (!inSection)
            continue;
        QString k;
        QString v;
        if (keyValue(line, parsed.encoding, k, v) && sameName(k, wantedKey)) {
            value = v;
            return true;
        }
    }
    return false;
}

// A value must stay on its own line.
QString singleLine(QString value)
{
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    value.replace(QChar(0), QLatin1Char(' '));
    return value;
}

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path)) {}

QString IniFile::readText(const QString& section, const QString& key, const QString& defaultValue) const
{
    QString value;
    if (!lookup(path_, section, key, value))
        value = defaultValue;
    return CleanSettingText(value.left(kMaxTextLength));
}

QString IniFile::readPath(const QString& section, const QString& key, const QString& defaultValue) const
{
    QString value;
    if (!lookup(path_, section, key, value))
        value = defaultValue;
    return CleanSettingText(value);
}

int IniFile::readInt(const QString& section, const QString& key, int defaultValue) const
{
    QString value;
    if (!lookup(path_, section, key, value))
        return defaultValue;
    value = CleanSettingText(value);
    int i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == QLatin1Char('-') || value[i] == QLatin1Char('+'))) {
        negative = value[i] == QLatin1Char('-');
        ++i;
    }
    const int firstDigit = i;
    long long n = 0;
    while (i < value.size() && value[i] >= QLatin1Char('0') && value[i] <= QLatin1Char('9')) {
        if (n <= std::numeric_limits<int>::max())
            n = n * 10 + (value[i].unicode() - '0');
        ++i;
    }
    if (i == firstDigit)
        return defaultValue;
    if (negative)
        n = -n;
    if (n > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (n < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(n);
}

bool IniFile::readFlag(const QString& section, const QString& key) const
{
    return readText(section, key, QString()) == QLatin1String("1");
}

bool IniFile::writeText(const QString& section, const QString& key, const QString& value)
{
    ParsedFile parsed = load(path_);
    if (QFile::exists(path_)) {
        // An existing file that cannot be read must not be replaced by a
        // file holding only this key.
        QFile probe(path_);
        if (!probe.open(QIODevice::ReadOnly))
            return false;
    }
    const QString wantedSection = section.trimmed();
    const QString wantedKey = key.trimmed();
    const QString newText = wantedKey + QLatin1Char('=') + singleLine(value);
    const QString header = QLatin1Char('[') + wantedSection + QLatin1Char(']');

    // The new line goes in the file's own encoding. A Windows-1252 file that
    // cannot hold it is rewritten whole as UTF-8, so no character is lost.
    QByteArray newLine;
    QByteArray newHeader;
    if (parsed.encoding == Encoding::Windows1252
        && !(encodeCp1252(newText, newLine) && encodeCp1252(header, newHeader))) {
        for (QByteArray& line : parsed.lines)
            line = decode(line, Encoding::Windows1252).toUtf8();
        parsed.encoding = Encoding::Utf8;
    }
    if (parsed.encoding == Encoding::Utf8) {
        newLine = newText.toUtf8();
        newHeader = header.toUtf8();
    }

    int sectionStart = -1;   // index of the section's header line
    int lastInSection = -1;  // last non-blank line of the section
    int keyLine = -1;
    bool inSection = false;
    for (int i = 0; i < parsed.lines.size(); ++i) {
        const QByteArray& line = parsed.lines.at(i);
        QString name;
        if (sectionName(line, parsed.encoding, name)) {
            if (inSection)
                break;  // the section ended without the key
            inSection = sameName(name, wantedSection);
            if (inSection) {
                sectionStart = i;
                lastInSection = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!line.trimmed().isEmpty())
            lastInSection = i;
        QString k;
        QString v;
        if (keyValue(line, parsed.encoding, k, v) && sameName(k, wantedKey)) {
            keyLine = i;
            break;
        }
    }

    if (keyLine >= 0) {
        parsed.lines[keyLine] = newLine;
    } else if (sectionStart >= 0) {
        parsed.lines.insert(lastInSection + 1, newLine);
    } else {
        if (!parsed.lines.isEmpty() && !parsed.lines.last().trimmed().isEmpty())
            parsed.lines.append(QByteArray());
        parsed.lines.append(newHeader);
        parsed.lines.append(newLine);
    }

    QByteArray out;
    for (const QByteArray& line : parsed.lines)
        out += line + parsed.eol;

    return SaveFileWhole(path_, out);
}

} // namespace qqc
