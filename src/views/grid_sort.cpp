#include "views/grid_sort.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace qqc {

namespace {

using db::StoredValue;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Only blanks are trimmed (tabs and line ends stay), as the database's
// trim() does.
QByteArrayView trimBlanks(QByteArrayView t)
{
    qsizetype from = 0, to = t.size();
    while (from < to && t[from] == ' ')
        ++from;
    while (to > from && t[to - 1] == ' ')
        --to;
    return t.sliced(from, to - from);
}

// A text made only of digits, points, signs and exponent letters, with at
// least one digit, reads as a number.
bool looksNumeric(QByteArrayView t)
{
    bool digit = false;
    for (char c : t) {
        if (isDigit(c))
            digit = true;
        else if (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-')
            return false;
    }
    return digit;
}

// The number such a text converts to: its longest leading part that is a
// number ("5-3" is 5, "1e" is 1), 0 when it starts with none ("e5", "+-").
double leadingNumber(QByteArrayView t)
{
    qsizetype i = 0;
    const bool negative = i < t.size() && t[i] == '-';
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    const qsizetype start = i;
    qsizetype digits = 0;
    for (; i < t.size() && isDigit(t[i]); ++i)
        ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && isDigit(t[i]); ++i)
            ++digits;
    if (digits == 0)
        return 0.0;
    bool exponentDown = false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        qsizetype j = i + 1;
        exponentDown = j < t.size() && t[j] == '-';
        if (j < t.size() && (t[j] == '+' || t[j] == '-'))
            ++j;
        if (j < t.size() && isDigit(t[j])) {
            while (j < t.size() && isDigit(t[j]))
                ++j;
            i = j;
        } else {
            exponentDown = false;
        }
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(t.data() + start, t.data() + i, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range)
        value = exponentDown ? 0.0 : std::numeric_limits<double>::infinity();
    return negative ? -value : value;
}

// A whole number against a fraction, exactly (no rounding of either).
int compareIntReal(qint64 i, double r)
{
    if (r < -9223372036854775808.0)
        return 1;
    if (r >= 9223372036854775808.0)
        return -1;
    const qint64 y = qint64(r);
    if (i != y)
        return i < y ? -1 : 1;
    const double s = double(i);
    return s < r ? -1 : s > r ? 1 : 0;
}

int compareBytes(const char* a, quint32 na, const char* b, quint32 nb, bool noCase)
{
    const quint32 n = std::min(na, nb);
    if (noCase) {
        for (quint32 k = 0; k < n; ++k) {
            auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
            const int d = fold(uchar(a[k])) - fold(uchar(b[k]));
            if (d)
                return d;
        }
    } else if (const int d = n ? std::memcmp(a, b, n) : 0) {
        return d;
    }
    return na == nb ? 0 : na < nb ? -1 : 1;
}

bool isNumber(quint8 type) { return type == StoredValue::Integer || type == StoredValue::Real; }

} // namespace

GridSortBuilder::GridSortBuilder(GridSortKey::Kind kind, size_t expectedRows)
    : kind_(kind), noCase_(kind == GridSortKey::EquipmentId || kind == GridSortKey::Comments)
{
    entries_.reserve(expectedRows);
}

GridSortBuilder::Entry GridSortBuilder::entryFor(qint32 sampleId, const StoredValue& stored)
{
    Entry e;
    e.id = sampleId;
    e.type = quint8(stored.type);
    e.integer = 0;
    switch (stored.type) {
    case StoredValue::Integer: e.integer = stored.integer; break;
    case StoredValue::Real: e.real = stored.real; break;
    default: break;
    }
    const bool textual = stored.type == StoredValue::Text || stored.type == StoredValue::Blob;
    // The fields edited as text (Sample #, Equip. ID, the usages, Comments)
    // sort a blank text as blank and a number written as text as that number.
    const bool asNumber = kind_ == GridSortKey::SampleNumber || kind_ == GridSortKey::EquipmentId
                          || kind_ == GridSortKey::UnitUsage || kind_ == GridSortKey::OilUsage
                          || kind_ == GridSortKey::OilAdded || kind_ == GridSortKey::Comments;
    if (textual && asNumber) {
        const QByteArrayView t = trimBlanks(stored.bytes);
        if (t.isEmpty()) {
            e.type = StoredValue::Null;
        } else if (looksNumeric(t)) {
            e.type = StoredValue::Real;
            e.real = leadingNumber(t);
        }
    }
    // What each column shows blank: Sample # blank or 0 shows the SampleID;
    // a usage of -1 or less, a severity below 0 and a reference dielectric
    // of 0 mean "no value".
    const bool number = isNumber(e.type);
    const auto against = [&](double limit) {
        return e.type == StoredValue::Integer ? compareIntReal(e.integer, limit)
                                              : e.real < limit ? -1 : e.real > limit ? 1 : 0;
    };
    switch (kind_) {
    case GridSortKey::SampleNumber:
        if (e.type == StoredValue::Null || (number && against(0) == 0)) {
            e.type = StoredValue::Integer;
            e.integer = sampleId;
        }
        break;
    case GridSortKey::UnitUsage:
    case GridSortKey::OilUsage:
    case GridSortKey::OilAdded:
        if (number && against(-1) <= 0)
            e.type = StoredValue::Null;
        break;
    case GridSortKey::WearSev:
    case GridSortKey::ContamSev:
    case GridSortKey::ChemSev:
        if (number && against(0) < 0)
            e.type = StoredValue::Null;
        break;
    case GridSortKey::RefDielectric:
        if (number && against(0) == 0)
            e.type = StoredValue::Null;
        break;
    default:
        break;
    }
    if (e.type == StoredValue::Text || e.type == StoredValue::Blob) {
        // The original text, not the trimmed one.
        e.text.offset = quint32(texts_.size());
        e.text.size = quint32(stored.bytes.size());
        texts_.append(stored.bytes);
    }
    return e;
}

void GridSortBuilder::add(qint32 sampleId, const StoredValue& stored)
{
    entries_.push_back(entryFor(sampleId, stored));
}

int GridSortBuilder::compare(const Entry& a, const Entry& b) const
{
    // Classes first: blank, number, text, binary.
    const auto rank = [](quint8 t) {
        return t == StoredValue::Null ? 0 : isNumber(t) ? 1 : t == StoredValue::Text ? 2 : 3;
    };
    const int ra = rank(a.type), rb = rank(b.type);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    switch (ra) {
    case 0: return 0;
    case 1:
        if (a.type == StoredValue::Integer && b.type == StoredValue::Integer)
            return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
        if (a.type == StoredValue::Real && b.type == StoredValue::Real)
            return a.real < b.real ? -1 : a.real > b.real ? 1 : 0;
        return a.type == StoredValue::Integer ? compareIntReal(a.integer, b.real) : -compareIntReal(b.integer, a.real);
    default:
        return compareBytes(texts_.constData() + a.text.offset, a.text.size, texts_.constData() + b.text.offset,
                            b.text.size, ra == 2 && noCase_);
    }
}

std::vector<qint32> GridSortBuilder::descending()
{
    std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
        const int c = compare(a, b);
        return c != 0 ? c > 0 : a.id > b.id;
    });
    std::vector<qint32> ids;
    ids.reserve(entries_.size());
    for (const Entry& e : entries_)
        ids.push_back(e.id);
    entries_.clear();
    entries_.shrink_to_fit();
    texts_.clear();
    texts_.squeeze();
    return ids;
}

} // namespace qqc
