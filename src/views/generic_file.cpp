#include "views/generic_file.h"

#include "util/cp1252.h"

#include <QRegularExpression>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>
#include <optional>

namespace qqc {

namespace {

// The forms a line of the writer takes.
enum class Form { Blank, Tag, WrappedValue, WrappedSeverity, LongTag, Unknown };

struct Line {
    int number = 0;
    QString text;
    Form form = Form::Unknown;
    int colon = -1;
};

Form formOf(const QString& text, int& colon)
{
    if (text.trimmed().isEmpty())
        return Form::Blank;
    colon = int(text.indexOf(QLatin1Char(':')));
    const bool indented = text.front().isSpace();
    if (colon >= 0) {
        if (!indented)
            return Form::Tag;
        // A value the writer moved to column 11 under a long tag.
        return colon == 10 && text.left(10).trimmed().isEmpty() ? Form::WrappedValue : Form::Unknown;
    }
    // A severity the writer moved to column 21.
    if (text.size() > 20 && text.at(20) == QLatin1Char(',') && text.left(20).trimmed().isEmpty())
        return Form::WrappedSeverity;
    const QString word = text.trimmed();
    if (!indented && word.size() > 10 && std::none_of(word.begin(), word.end(), [](QChar c) { return c.isSpace(); }))
        return Form::LongTag;
    return Form::Unknown;
}

QString cutAtLastComma(const QString& value)
{
    const qsizetype comma = value.lastIndexOf(QLatin1Char(','));
    return (comma >= 0 ? value.left(comma) : value).trimmed();
}

// The text as lines, at CR LF, LF or CR.
std::vector<Line> splitLines(const QString& text)
{
    std::vector<Line> lines;
    qsizetype start = 0;
    int number = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && text.at(i) != QLatin1Char('\r') && text.at(i) != QLatin1Char('\n'))
            continue;
        if (i == n && start == n)
            break;
        Line line;
        line.number = ++number;
        line.text = text.mid(start, i - start);
        line.form = formOf(line.text, line.colon);
        lines.push_back(std::move(line));
        if (i + 1 < n && text.at(i) == QLatin1Char('\r') && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    return lines;
}

// A line as the reader sees it: a tag and its value (a long tag joined with
// its wrapped value), or a line of no form (tag empty, `unknown` set).
struct Entry {
    GenericEntry e;
    bool unknown = false;
};

std::vector<Entry> entriesOf(const std::vector<Line>& lines)
{
    std::vector<Entry> entries;
    const auto severityFollows = [&](size_t i) { return i + 1 < lines.size() && lines[i + 1].form == Form::WrappedSeverity; };
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        Entry entry;
        entry.e.line = l.number;
        entry.e.text = l.text;
        switch (l.form) {
        case Form::Blank:
        case Form::WrappedValue:     // the reader's empty tag: nothing to do
        case Form::WrappedSeverity:
            continue;
        case Form::Unknown:
            entry.unknown = true;
            break;
        case Form::Tag:
        case Form::LongTag: {
            size_t valueLine = i;
            QString rest;
            if (l.form == Form::Tag) {
                entry.e.tag = l.text.left(l.colon).trimmed();
                rest = l.text.mid(l.colon + 1);
            } else if (i + 1 < lines.size() && lines[i + 1].form == Form::WrappedValue) {
                entry.e.tag = l.text.trimmed();
                valueLine = ++i;
                rest = lines[i].text.mid(11);
            } else {
                entry.unknown = true;
                break;
            }
            // A severity on its own line: the value above is whole.
            if (severityFollows(valueLine)) {
                entry.e.value = rest.trimmed();
                i = valueLine + 1;
            } else {
                entry.e.value = cutAtLastComma(rest);
            }
            break;
        }
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<QDate> dateOf(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// Tags of the format that the import reads nothing from.
bool knownTag(const QString& tag)
{
    static const QStringList known = {
        QStringLiteral("FILEREV"),  QStringLiteral("VQMNRID"),  QStringLiteral("LEVEL00"),  QStringLiteral("LEVEL0"),
        QStringLiteral("LEVEL1"),   QStringLiteral("LEVEL2"),   QStringLiteral("LEVEL3"),   QStringLiteral("LEVEL4"),
        QStringLiteral("UNITID#"),  QStringLiteral("SAMPLEID"), QStringLiteral("TAKEDATE"), QStringLiteral("WEARSTAT"),
        QStringLiteral("CONTSTAT"), QStringLiteral("CHEMSTAT"), QStringLiteral("OVERSTAT"), QStringLiteral("COMMENTS"),
        QStringLiteral("MHU"),      QStringLiteral("MHO"),      QStringLiteral("OILADDED"), QStringLiteral("OVCONT")};
    return known.contains(tag);
}

} // namespace

GenericFileFault::GenericFileFault(int line, const QString& text, const QString& reason)
    : std::runtime_error(QStringLiteral("Line %1, %2: \"%3\"").arg(line).arg(reason, text).toStdString()), line_(line)
{
}

GenericFileFault::GenericFileFault(const QString& reason) : std::runtime_error(reason.toStdString()) {}

int parameterOfTag(const QString& tag)
{
    static const std::map<QString, int> parameters = {{QStringLiteral("OVCORR"), 56}, {QStringLiteral("OVFERR"), 59},
                                                      {QStringLiteral("OVWATER"), 60}, {QStringLiteral("OVVISC"), 132},
                                                      {QStringLiteral("OVDVIS"), 73}};
    const auto it = parameters.find(tag);
    return it == parameters.end() ? 0 : it->second;
}

QString decodeGenericText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        throw GenericFileFault(QStringLiteral("The file is UTF-16 text; save it as Windows-1252 or UTF-8."));
    if (bytes.contains('\0'))
        throw GenericFileFault(QStringLiteral("The file holds NUL bytes (UTF-16 or no text file)."));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return isValidUtf8(bytes) ? QString::fromUtf8(bytes) : fromCp1252(bytes);
}

GenericFile parseGenericFile(const QByteArray& bytes)
{
    const std::vector<Line> lines = splitLines(decodeGenericText(bytes));
    GenericFile file;
    QString unit;
    const GenericEntry* openUnit = nullptr;  // a UNITID# not yet closed by its TAKEDATE
    bool revisionSeen = false;
    const std::vector<Entry> entries = entriesOf(lines);
    for (const Entry& entry : entries) {
        const GenericEntry& e = entry.e;
        if (!entry.unknown && e.tag == QLatin1String("FILEREV") && !revisionSeen) {
            file.revision = e.value;
            revisionSeen = true;
        } else if (!entry.unknown && e.tag == QLatin1String("UNITID#")) {
            unit = e.value;
            openUnit = &e;
            continue;
        } else if (!entry.unknown && e.tag == QLatin1String("TAKEDATE")) {
            const std::optional<QDate> date = dateOf(e.value);
            if (!date)
                throw GenericFileFault(e.line, e.text, QStringLiteral("not a date as month/day/year"));
            GenericBlock block;
            block.unitId = unit;
            block.dateText = e.value;
            block.date = *date;
            file.blocks.push_back(std::move(block));
            openUnit = nullptr;
            continue;
        }
        // Lines before the first sample are not read.
        if (file.blocks.empty())
            continue;
        GenericBlock& block = file.blocks.back();
        if (entry.unknown) {
            if (block.faultLine == 0) {
                block.faultLine = e.line;
                block.faultText = e.text;
            }
        } else {
            block.entries.push_back(e);
        }
    }
    if (file.blocks.empty())
        throw GenericFileFault(QStringLiteral("The file holds no sample (no TAKEDATE line)."));
    if (openUnit)
        throw GenericFileFault(openUnit->line, openUnit->text,
                               QStringLiteral("the file ends after this unit ID without its TAKEDATE (cut)"));
    return file;
}

std::vector<std::pair<int, float>> blockValues(const GenericBlock& block, int* unknownCount, QStringList* unknownTags)
{
    if (block.faultLine > 0)
        throw GenericFileFault(block.faultLine, block.faultText, QStringLiteral("not a line of a generic file"));
    std::vector<std::pair<int, float>> values;
    for (const GenericEntry& e : block.entries) {
        const int parmId = parameterOfTag(e.tag);
        if (parmId == 0) {
            if (!knownTag(e.tag)) {
                if (unknownCount)
                    ++*unknownCount;
                if (unknownTags && !unknownTags->contains(e.tag))
                    unknownTags->append(e.tag);
            }
            continue;
        }
        // Values are written with a decimal point and grouping commas.
        QString digits = e.value;
        digits.remove(QLatin1Char(','));
        bool ok = false;
        const double value = digits.toDouble(&ok);
        if (!ok || !std::isfinite(value) || std::fabs(value) > double(FLT_MAX))
            throw GenericFileFault(e.line, e.text, QStringLiteral("not a number"));
        const auto same = std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == parmId; });
        if (same != values.end())
            same->second = float(value);
        else
            values.emplace_back(parmId, float(value));
    }
    return values;
}

} // namespace qqc
