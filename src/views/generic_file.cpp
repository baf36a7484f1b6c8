#include "views/generic_file.h"

#include "util/cp1252.h"

#include <QRegularExpression>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>

namespace qqc {

namespace {

// The forms a line of the writer takes.
enum class Form { Blank, Tag, WrappedValue, WrappedSeverity, LongTag, Unknown };

struct Line {
    int number = 0;
    QString text;
    Form form = Form::Unknown;
    qsizetype colon = -1;
};

Form formOf(QStringView text, qsizetype& colon)
{
    if (text.trimmed().isEmpty())
        return Form::Blank;
    colon = text.indexOf(QLatin1Char(':'));
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
    const QStringView word = text.trimmed();
    if (!indented && word.size() > 10 && std::none_of(word.begin(), word.end(), [](QChar c) { return c.isSpace(); }))
        return Form::LongTag;
    return Form::Unknown;
}

QStringView cutAtLastComma(QStringView value)
{
    const qsizetype comma = value.lastIndexOf(QLatin1Char(','));
    return (comma >= 0 ? value.left(comma) : value).trimmed();
}

// The file's lines one at a time (at CR LF, LF or CR), with one line of
// look-ahead. Each line is decoded as it is reached, so the file's bytes are
// never held a second time as text (twice their size).
class LineReader {
public:
    LineReader(QByteArrayView bytes, bool utf8) : bytes_(bytes), utf8_(utf8) { advance(); }
    bool atEnd() const { return !has_; }
    const Line& peek() const { return current_; }
    Line take()
    {
        Line line = std::move(current_);
        advance();
        return line;
    }

private:
    void advance()
    {
        const qsizetype n = bytes_.size();
        if (pos_ >= n) {
            has_ = false;
            return;
        }
        qsizetype i = pos_;
        while (i < n && bytes_[i] != '\r' && bytes_[i] != '\n')
            ++i;
        const QByteArrayView raw = bytes_.sliced(pos_, i - pos_);
        current_.number = ++number_;
        current_.text = utf8_ ? QString::fromUtf8(raw) : fromCp1252(raw);
        current_.colon = -1;
        current_.form = formOf(current_.text, current_.colon);
        if (i + 1 < n && bytes_[i] == '\r' && bytes_[i + 1] == '\n')
            ++i;
        pos_ = i + 1;
        has_ = true;
    }

    QByteArrayView bytes_;
    bool utf8_ = false;
    qsizetype pos_ = 0;
    int number_ = 0;
    Line current_;
    bool has_ = false;
};

// A line as the reader sees it: a tag and its value (a long tag joined with
// its wrapped value), or a line of no form (`unknown`). The views point into
// the entry's own lines.
struct Entry {
    QStringView tag;
    QStringView value;
    int line = 0;
    QString text;
    QString wrapped;  // the value line under a long tag
    bool unknown = false;
};

bool nextEntry(LineReader& reader, Entry& entry)
{
    while (!reader.atEnd()) {
        Line l = reader.take();
        entry.tag = entry.value = QStringView();
        entry.unknown = false;
        entry.line = l.number;
        entry.text = std::move(l.text);
        entry.wrapped.clear();
        QStringView rest;
        switch (l.form) {
        case Form::Blank:
        case Form::WrappedValue:     // the reader's empty tag: nothing to do
        case Form::WrappedSeverity:
            continue;
        case Form::Unknown:
            entry.unknown = true;
            return true;
        case Form::Tag:
            entry.tag = QStringView(entry.text).left(l.colon).trimmed();
            rest = QStringView(entry.text).mid(l.colon + 1);
            break;
        case Form::LongTag:
            if (reader.atEnd() || reader.peek().form != Form::WrappedValue) {
                entry.unknown = true;
                return true;
            }
            entry.tag = QStringView(entry.text).trimmed();
            entry.wrapped = reader.take().text;
            rest = QStringView(entry.wrapped).mid(11);
            break;
        }
        // A severity on its own line: the value above is whole.
        if (!reader.atEnd() && reader.peek().form == Form::WrappedSeverity) {
            entry.value = rest.trimmed();
            reader.take();
        } else {
            entry.value = cutAtLastComma(rest);
        }
        return true;
    }
    return false;
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

// A value as the writer writes it: a decimal point and grouping commas; a
// finite number within single precision.
bool readNumber(QStringView text, float& value)
{
    QString digits = text.toString();
    digits.remove(QLatin1Char(','));
    bool ok = false;
    const double d = digits.toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) > double(FLT_MAX))
        return false;
    value = float(d);
    return true;
}

// Tags of the format that the import reads nothing from.
bool knownTag(QStringView tag)
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

int parameterOfTag(QStringView tag)
{
    static const std::pair<const char*, int> parameters[] = {
        {"OVCORR", 56}, {"OVFERR", 59}, {"OVWATER", 60}, {"OVVISC", 132}, {"OVDVIS", 73}};
    for (const auto& [name, parmId] : parameters)
        if (tag == QLatin1String(name))
            return parmId;
    return 0;
}

// Whether the file is read as UTF-8 (its byte-order mark, or valid UTF-8);
// otherwise it is Windows-1252. Throws for NUL bytes and UTF-16.
static bool isUtf8GenericText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        throw GenericFileFault(QStringLiteral("The file is UTF-16 text; save it as Windows-1252 or UTF-8."));
    if (bytes.contains('\0'))
        throw GenericFileFault(QStringLiteral("The file holds NUL bytes (UTF-16 or no text file)."));
    return bytes.startsWith("\xEF\xBB\xBF") || isValidUtf8(bytes);
}

GenericFile parseGenericFile(const QByteArray& bytes)
{
    const bool utf8 = isUtf8GenericText(bytes);
    LineReader reader(QByteArrayView(bytes).sliced(bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0), utf8);
    GenericFile file;
    // One block per TAKEDATE line: reserved once, so the vector is not
    // copied while it grows (a large file's blocks are its largest part).
    file.blocks.reserve(bytes.count("\nTAKEDATE") + bytes.count("\rTAKEDATE") + 1);
    QString unit;
    int openUnitLine = 0;  // a UNITID# not yet closed by its TAKEDATE
    QString openUnitText;
    bool revisionSeen = false;
    Entry e;
    while (nextEntry(reader, e)) {
        if (!e.unknown && e.tag == QLatin1String("FILEREV") && !revisionSeen) {
            file.revision = e.value.toString();
            revisionSeen = true;
        } else if (!e.unknown && e.tag == QLatin1String("UNITID#")) {
            unit = e.value.toString();
            openUnitLine = e.line;
            openUnitText = e.text;
            continue;
        } else if (!e.unknown && e.tag == QLatin1String("TAKEDATE")) {
            const QString dateText = e.value.toString();
            const std::optional<QDate> date = dateOf(dateText);
            if (!date)
                throw GenericFileFault(e.line, e.text, QStringLiteral("not a date as month/day/year"));
            GenericBlock block;
            block.unitId = unit;
            block.dateText = dateText;
            block.date = *date;
            file.blocks.push_back(std::move(block));
            openUnitLine = 0;
            continue;
        }
        // Lines before the first sample are not read.
        if (file.blocks.empty())
            continue;
        GenericBlock& block = file.blocks.back();
        if (e.unknown) {
            if (block.faultLine == 0) {
                block.faultLine = e.line;
                block.faultText = e.text;
            }
        } else if (const int parmId = parameterOfTag(e.tag); parmId != 0) {
            GenericEntry entry;
            entry.parmId = parmId;
            entry.line = e.line;
            entry.number = readNumber(e.value, entry.value);
            if (!entry.number && block.badNumberText.isNull())
                block.badNumberText = e.text;
            block.entries.push_back(entry);
        } else if (!knownTag(e.tag)) {
            ++block.unknownCount;
            if (!block.unknownTags.contains(e.tag))
                block.unknownTags.append(e.tag.toString());
        }
    }
    if (file.blocks.empty())
        throw GenericFileFault(QStringLiteral("The file holds no sample (no TAKEDATE line)."));
    if (openUnitLine > 0)
        throw GenericFileFault(openUnitLine, openUnitText,
                               QStringLiteral("the file ends after this unit ID without its TAKEDATE (cut)"));
    return file;
}

std::vector<std::pair<int, float>> blockValues(const GenericBlock& block, int* unknownCount, QStringList* unknownTags)
{
    if (block.faultLine > 0)
        throw GenericFileFault(block.faultLine, block.faultText, QStringLiteral("not a line of a generic file"));
    if (unknownCount)
        *unknownCount += block.unknownCount;
    if (unknownTags)
        for (const QString& tag : block.unknownTags)
            if (!unknownTags->contains(tag))
                unknownTags->append(tag);
    std::vector<std::pair<int, float>> values;
    for (const GenericEntry& e : block.entries) {
        if (!e.number)
            throw GenericFileFault(e.line, block.badNumberText, QStringLiteral("not a number"));
        const auto same = std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == e.parmId; });
        if (same != values.end())
            same->second = e.value;
        else
            values.emplace_back(e.parmId, e.value);
    }
    return values;
}

} // namespace qqc
