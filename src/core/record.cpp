#include "core/record.h"

#include <charconv>
#include <limits>

namespace qqc {

const QStringList& testRecordFieldNames()
{
    static const QStringList names = {
        QStringLiteral("raw8700"), QStringLiteral("Temp"),   QStringLiteral("Calc8700"),
        QStringLiteral("PCCalc"),  QStringLiteral("Rslt8700"), QStringLiteral("PCRslt"),
        QStringLiteral("CalData"),
    };
    return names;
}

namespace {

// Decimal entries separated by commas, formatted into one byte buffer (a
// test's 300 readings are stored with every sample, so this runs often).
template <typename Table>
QByteArray joinEntries(const Table& entries)
{
    // Entries fit an int: at most 11 characters each ("-2147483648") plus a comma.
    static_assert(sizeof(typename Table::value_type) <= sizeof(int));
    QByteArray text(qsizetype(entries.size() * 12 + 1), Qt::Uninitialized);
    char* out = text.data();
    char* const end = text.data() + text.size();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i)
            *out++ = ',';
        out = std::to_chars(out, end, int(entries[i])).ptr;
    }
    text.truncate(qsizetype(out - text.constData()));
    return text;
}

template <typename Table>
bool loadEntries(Table& entries, const QString& text)
{
    using T = typename Table::value_type;
    if (text.isEmpty())
        return true;
    bool clean = true;
    const QStringList items = text.split(QLatin1Char(','));
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (size_t(i) >= entries.size()) {
            clean = false;
            break;
        }
        bool ok = false;
        const qlonglong v = items[i].trimmed().toLongLong(&ok);
        if (!ok || v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) {
            clean = false;
            continue;
        }
        entries[size_t(i)] = T(v);
    }
    return clean;
}

// Calls f with the table named `field` as a span; returns false for an unknown name.
template <typename Record, typename F>
bool withTable(Record& r, const QString& field, F&& f)
{
    if (field == QLatin1String("raw8700")) return f(r.raw8700), true;
    if (field == QLatin1String("Temp")) return f(r.Temp), true;
    if (field == QLatin1String("Calc8700")) return f(r.Calc8700), true;
    if (field == QLatin1String("PCCalc")) return f(r.PCCalc), true;
    if (field == QLatin1String("Rslt8700")) return f(r.Rslt8700), true;
    if (field == QLatin1String("PCRslt")) return f(r.PCRslt), true;
    if (field == QLatin1String("CalData")) return f(r.CalData), true;
    return false;
}

} // namespace

QByteArray testRecordFieldBytes(const TestRecord& record, const QString& field)
{
    QByteArray text;
    withTable(record, field, [&](const auto& table) { text = joinEntries(table); });
    return text;
}

QString testRecordFieldText(const TestRecord& record, const QString& field)
{
    return QString::fromLatin1(testRecordFieldBytes(record, field));
}

bool setTestRecordFieldText(TestRecord& record, const QString& field, const QString& text)
{
    bool clean = false;
    const bool known = withTable(record, field, [&](auto& table) { clean = loadEntries(table, text); });
    return known && clean;
}

} // namespace qqc
