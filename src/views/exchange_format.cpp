#include "views/exchange_format.h"

#include "core/parameters.h"
#include "util/vb_format.h"
#include "views/grid_columns.h"

#include <QRegularExpression>

namespace qqc {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The default text of a stored field: a number in its short single form
// (2.2, not 2.2000000476837), a text as it is, null as nothing.
QString storedText(const QVariant& v)
{
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: return SingleToText(v.toFloat());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return QString::number(v.toLongLong());
    default: return v.toString();
    }
}

// The stored sample number when it is set (neither null nor empty).
bool hasSampleNum(const GridSampleRow& row)
{
    return !row.sampleNum.isNull() && !row.sampleNum.toString().isEmpty();
}

// A text on one line: every line break (CR LF, CR or LF) becomes one blank.
QString oneLine(const QString& text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString line = text;
    return line.replace(breaks, QStringLiteral(" "));
}

// A stored date as its date and time of day. The stored text
// "yyyy-MM-ddTHH:mm:ss" is read by hand and kept without a time zone: no
// time-zone lookup per sample, which would cost more than the whole line.
QDateTime sampleDateTime(const QVariant& stored)
{
    if (stored.typeId() == QMetaType::QString) {
        const QString t = stored.toString();
        const auto digits = [&t](int from, int n) {
            int v = 0;
            for (int i = from; i < from + n; ++i) {
                const int d = t.at(i).digitValue();
                if (d < 0)
                    return -1;
                v = v * 10 + d;
            }
            return v;
        };
        if (t.size() == 19 && t.at(4) == QLatin1Char('-') && t.at(7) == QLatin1Char('-') && t.at(10) == QLatin1Char('T')
            && t.at(13) == QLatin1Char(':') && t.at(16) == QLatin1Char(':')) {
            const QDate date(digits(0, 4), digits(5, 2), digits(8, 2));
            const QTime time(digits(11, 2), digits(14, 2), digits(17, 2));
            if (date.isValid() && time.isValid())
                return QDateTime(date, time, Qt::UTC);
        }
    }
    return storedDateTime(stored);
}

// Blanks up to `width` characters since `from`.
void padTo(QString& out, qsizetype from, qsizetype width)
{
    if (out.size() - from < width)
        out.resize(from + width, QLatin1Char(' '));
}

// A tag line, the tag padded so that the colon is the 11th character.
void addTagged(QString& out, const char* tag, const QString& value)
{
    const qsizetype start = out.size();
    out += QLatin1String(tag);
    padTo(out, start, 10);
    out += QLatin1Char(':');
    out += value;
    out += kCrLf;
}

// Moves the print position of the line begun at `lineStart` to `column`
// (1-based) like a printer's tab stop: blanks up to it, or a new line when
// the text reaches beyond it.
void tabTo(QString& out, qsizetype& lineStart, int column)
{
    if (out.size() - lineStart > column - 1) {
        out += kCrLf;
        lineStart = out.size();
    }
    padTo(out, lineStart, column - 1);
}

// A parameter line (with its wraps) and its CR LF.
void addParameterLine(QString& out, const QString& tag, const QString& value, int severity)
{
    qsizetype lineStart = out.size();
    out += tag;
    tabTo(out, lineStart, 11);
    out += QLatin1Char(':');
    out += value;
    tabTo(out, lineStart, 21);
    out += QLatin1Char(',');
    out += QString::number(severity);
    out += kCrLf;
}

} // namespace

ExchangeCatalogue::ExchangeCatalogue(std::vector<GridParameter> parameters) : parameters_(std::move(parameters))
{
    for (int i = 0; i < int(parameters_.size()); ++i)
        index_.insert(parameters_[size_t(i)].parmId, i);
}

const GridParameter* ExchangeCatalogue::find(int parmId) const
{
    const auto it = index_.constFind(parmId);
    return it == index_.cend() ? nullptr : &parameters_[size_t(*it)];
}

QString ExchangeCatalogue::valueText(int parmId, float value) const
{
    const GridParameter* p = find(parmId >= 1000 ? parmId - 1000 : parmId);
    if (!p || p->format.isEmpty())
        return SingleToText(value);
    return Format(double(value), p->format);
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r'))
        && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvHeader(const ExchangeCatalogue& catalogue)
{
    QString line = QStringLiteral(
        "SampleID,Sample #,Date,Equip. ID,Unit Usage, Oil Usage, Oil Added, Wear Sev,Contam Sev,Chem Sev,Ref Diel,");
    for (const GridParameter& p : catalogue.parameters())
        line += csvField(p.description) + QLatin1Char(',');
    return line + QStringLiteral("COMMENTS,");
}

QString csvLine(const GridSampleRow& row, const ExchangeCatalogue& catalogue)
{
    QString line;
    const auto add = [&line](const QString& field) { line += csvField(field) + QLatin1Char(','); };
    add(QString::number(row.sampleId));
    bool numeric = false;
    const double number = row.sampleNum.toString().toDouble(&numeric);
    add(hasSampleNum(row) && !(numeric && number == 0.0) ? row.sampleNum.toString() : QString::number(row.sampleId));
    const QDateTime date = sampleDateTime(row.sampleDate);
    add(date.isValid() ? Format(date, QStringLiteral("Short Date")) + QLatin1Char(' ') + Format(date, QStringLiteral("h:mm"))
                       : QString());
    for (const QVariant* v : {&row.equipmentId, &row.unitUsage, &row.oilUsage, &row.oilAdded, &row.wearSev,
                              &row.contamSev, &row.chemSev, &row.refDielectric})
        add(storedText(*v));
    for (const GridParameter& p : catalogue.parameters()) {
        const GridDetail* d = row.detail(p.parmId);
        add(d ? catalogue.valueText(p.parmId, d->value) : QString());
    }
    add(storedText(row.comments));
    return line;
}

QStringList genericHeaderLines()
{
    return {QStringLiteral("FILEREV   :1.04"), QStringLiteral("VQMNRID   :10"), QStringLiteral("LEVEL00   :0"),
            QStringLiteral("LEVEL0    :1"),    QStringLiteral("LEVEL1    :2"),  QStringLiteral("LEVEL2    :3"),
            QStringLiteral("LEVEL3    :4"),    QStringLiteral("LEVEL4    :5")};
}

int overallStatus(const GridSampleRow& row)
{
    double overall = 0.0;
    for (const QVariant* v : {&row.wearSev, &row.contamSev, &row.chemSev}) {
        bool ok = false;
        const double sev = v->toDouble(&ok);
        if (!v->isNull() && ok && sev > overall)
            overall = RoundHalfEven(sev);
    }
    return int(overall);
}

QString genericParameterLine(const QString& tag, const QString& value, int severity)
{
    QString out;
    addParameterLine(out, tag, value, severity);
    out.chop(2);
    return out;
}

QString genericBlock(const GridSampleRow& row, const ExchangeCatalogue& catalogue)
{
    const QDateTime date = sampleDateTime(row.sampleDate);
    if (!date.isValid())
        throw ExchangeError(QStringLiteral("Sample %1 has no date.").arg(row.sampleId).toStdString());

    QString block;
    block.reserve(512);
    // The reader cuts a value at its last comma; a trailing one keeps an
    // equipment ID with a comma whole.
    QString unit = oneLine(storedText(row.equipmentId));
    if (unit.contains(QLatin1Char(',')))
        unit += QLatin1Char(',');
    addTagged(block, "UNITID#", unit);
    addTagged(block, "SAMPLEID", hasSampleNum(row) ? oneLine(row.sampleNum.toString()) : QString::number(row.sampleId));
    addTagged(block, "TAKEDATE", date.toString(QStringLiteral("MM/dd/yyyy")));
    const std::pair<const char*, const QVariant*> severities[] = {
        {"WEARSTAT", &row.wearSev}, {"CONTSTAT", &row.contamSev}, {"CHEMSTAT", &row.chemSev}};
    for (const auto& [tag, v] : severities) {
        bool ok = false;
        if (!v->isNull() && v->toDouble(&ok) >= 0.0 && ok)
            addTagged(block, tag, storedText(*v));
    }
    if (const int overall = overallStatus(row); overall > 0)
        addTagged(block, "OVERSTAT", QString::number(overall));
    for (const GridDetail& d : row.details) {
        if (d.value == float(NoValue) || d.parmId >= 1000)
            continue;
        if (d.parmId < 50 || d.parmId > 132)
            throw ExchangeError(
                QStringLiteral("Sample %1 has a value of parameter %2, which the file cannot hold.")
                    .arg(row.sampleId)
                    .arg(d.parmId)
                    .toStdString());
        const GridParameter* p = catalogue.find(d.parmId);
        addParameterLine(block, p ? p->generic : QString(), catalogue.valueText(d.parmId, d.value), d.severity);
    }
    const QString comments = storedText(row.comments);
    if (!comments.isEmpty())
        block += QStringLiteral("COMMENTS:") + oneLine(comments) + kCrLf;
    return block;
}

} // namespace qqc
