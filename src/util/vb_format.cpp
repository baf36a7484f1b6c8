#include "util/vb_format.h"

#include <QHash>
#include <QLocale>
#include <QStringList>

#include <cmath>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qqc {

namespace {

// --- numbers -----------------------------------------------------------

// |value| rounded half away from zero at `decimals`, from its 15 significant
// decimal digits (so 1.005 counts as written, not as its binary neighbour).
// Returns the digits of the integer part (no leading zeros, "" for zero) and
// exactly `decimals` fraction digits. Worked in bytes: it runs once per
// value of every exported or shown cell.
void decimalDigits(double value, int decimals, QString& intPart, QString& fracPart)
{
    // As "%.14e" writes it, without printf's machinery.
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf - 1, std::fabs(value), std::chars_format::scientific, 14);
    *written.ptr = '\0';
    const char* e = std::strchr(buf, 'e');
    std::string mantissa;
    for (const char* p = buf; p < e; ++p)
        if (*p != '.')
            mantissa += *p;
    const int exponent = std::atoi(e + 1);

    const int keep = exponent + 1 + decimals;  // digits kept of the mantissa
    std::string kept;
    if (keep >= 0) {
        kept = mantissa.substr(0, size_t(keep));
        kept.resize(size_t(keep), '0');
        const char next = size_t(keep) < mantissa.size() ? mantissa[size_t(keep)] : '0';
        if (next >= '5') {
            int i = int(kept.size()) - 1;
            for (; i >= 0; --i) {
                if (kept[size_t(i)] == '9') {
                    kept[size_t(i)] = '0';
                } else {
                    ++kept[size_t(i)];
                    break;
                }
            }
            if (i < 0)
                kept.insert(kept.begin(), '1');
        }
    }
    if (kept.size() < size_t(decimals) + 1)
        kept.insert(0, size_t(decimals) + 1 - kept.size(), '0');
    const size_t intSize = kept.size() - size_t(decimals);
    fracPart = QString::fromLatin1(kept.data() + intSize, qsizetype(decimals));
    size_t lead = 0;
    while (lead < intSize && kept[lead] == '0')
        ++lead;
    intPart = QString::fromLatin1(kept.data() + lead, qsizetype(intSize - lead));
}

// One ";"-separated section of a numeric pattern, split into tokens.
struct Token {
    enum Kind { Literal, Digit0, DigitHash, Point, Comma, Percent } kind;
    QString text;  // for literals
};

QList<Token> tokenize(const QString& section)
{
    QList<Token> tokens;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section.at(i);
        switch (c.unicode()) {
        case '0': tokens.push_back({Token::Digit0, {}}); break;
        case '#': tokens.push_back({Token::DigitHash, {}}); break;
        case '.': tokens.push_back({Token::Point, {}}); break;
        case ',': tokens.push_back({Token::Comma, {}}); break;
        case '%': tokens.push_back({Token::Percent, {}}); break;
        case '\\':
            if (i + 1 < section.size())
                tokens.push_back({Token::Literal, QString(section.at(++i))});
            break;
        case '"': {
            const qsizetype close = section.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? section.size() : close;
            tokens.push_back({Token::Literal, section.mid(i + 1, end - i - 1)});
            i = end;
            break;
        }
        default: tokens.push_back({Token::Literal, QString(c)}); break;
        }
    }
    return tokens;
}

QStringList splitSections(const QString& pattern)
{
    QStringList sections;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('\\') && i + 1 < pattern.size()) {
            current += c;
            current += pattern.at(++i);
            continue;
        }
        if (!quoted && c == QLatin1Char(';')) {
            sections << current;
            current.clear();
            continue;
        }
        current += c;
    }
    sections << current;
    return sections;
}

bool isDigitToken(const Token& t) { return t.kind == Token::Digit0 || t.kind == Token::DigitHash; }

// One section of a pattern, read once: its tokens and what they ask for.
struct Section {
    bool empty = false;  // no text at all: the first section serves
    QList<Token> tokens;
    bool literalOnly = false;  // no place-holders: the section is its text
    QString literalText;
    qsizetype point = -1;
    qsizetype intEnd = 0;
    bool percent = false;
    bool grouping = false;
    int intZeros = 0;
    int decimals = 0;
    int decimalZerosUpTo = 0;  // fraction digits always shown (up to the last "0")
    int scale = 0;
    QList<qsizetype> intSlots;      // the integer place-holders' tokens
    QList<qsizetype> slotOfToken;   // token -> index into intSlots, or -1
};

Section compileSection(const QString& text)
{
    Section s;
    s.empty = text.isEmpty();
    s.tokens = tokenize(text);
    const QList<Token>& tokens = s.tokens;
    qsizetype firstDigit = -1;
    qsizetype lastDigit = -1;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == Token::Point && s.point < 0)
            s.point = i;
        if (isDigitToken(tokens[i])) {
            if (firstDigit < 0)
                firstDigit = i;
            lastDigit = i;
        }
        if (tokens[i].kind == Token::Percent)
            s.percent = true;
    }
    if (firstDigit < 0 && s.point < 0) {
        s.literalOnly = true;
        for (const Token& t : tokens)
            s.literalText += t.kind == Token::Literal ? t.text : t.kind == Token::Comma ? QStringLiteral(",") : t.kind == Token::Percent ? QStringLiteral("%") : QString();
        return s;
    }
    s.intEnd = s.point >= 0 ? s.point : lastDigit + 1;

    // Integer place-holders, grouping and scaling commas.
    for (qsizetype i = 0; i < s.intEnd; ++i) {
        if (tokens[i].kind == Token::Digit0)
            ++s.intZeros;
        if (tokens[i].kind == Token::Comma) {
            bool digitBefore = false;
            bool digitAfter = false;
            for (qsizetype j = i - 1; j >= 0 && !digitBefore; --j)
                digitBefore = isDigitToken(tokens[j]);
            for (qsizetype j = i + 1; j < s.intEnd && !digitAfter; ++j)
                digitAfter = isDigitToken(tokens[j]);
            if (digitBefore && digitAfter)
                s.grouping = true;
            else if (digitBefore)
                ++s.scale;  // a comma right of the digits divides by 1000
        }
    }
    if (s.point >= 0) {
        for (qsizetype i = s.point + 1; i < tokens.size(); ++i) {
            if (isDigitToken(tokens[i])) {
                ++s.decimals;
                if (tokens[i].kind == Token::Digit0)
                    s.decimalZerosUpTo = s.decimals;
            }
        }
    }
    s.slotOfToken = QList<qsizetype>(tokens.size(), -1);
    for (qsizetype i = 0; i < s.intEnd; ++i)
        if (isDigitToken(tokens[i])) {
            s.slotOfToken[i] = s.intSlots.size();
            s.intSlots << i;
        }
    return s;
}

// Formats |value| with one section (no sign handling).
QString formatSection(double value, const Section& s)
{
    if (s.literalOnly)
        return s.literalText;
    const QList<Token>& tokens = s.tokens;
    double v = std::fabs(value);
    if (s.percent)
        v *= 100.0;
    for (int i = 0; i < s.scale; ++i)
        v /= 1000.0;

    QString intDigits;
    QString frac;
    decimalDigits(v, s.decimals, intDigits, frac);
    while (frac.size() > s.decimalZerosUpTo && frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    if (intDigits.size() < s.intZeros)
        intDigits.prepend(QString(s.intZeros - intDigits.size(), QLatin1Char('0')));
    if (s.grouping) {
        for (qsizetype at = intDigits.size() - 3; at > 0; at -= 3)
            intDigits.insert(at, QLatin1Char(','));
    }

    // Integer digits fill the place-holders from the right; any digits left
    // over go in front of the first place-holder.
    QList<QString> slotText(s.intSlots.size());
    if (s.grouping) {
        if (!s.intSlots.isEmpty())
            slotText[0] = intDigits;
    } else {
        qsizetype d = intDigits.size();
        for (qsizetype slot = s.intSlots.size() - 1; slot >= 0; --slot) {
            if (d > 0)
                slotText[slot] = slot == 0 ? intDigits.left(d) : QString(intDigits.at(--d));
        }
    }

    QString out;
    int fracIndex = 0;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        switch (t.kind) {
        case Token::Literal: out += t.text; break;
        case Token::Percent: out += QLatin1Char('%'); break;
        case Token::Point:
            if (i == s.point)
                out += QLatin1Char('.');
            break;
        case Token::Comma:
            if (i > s.intEnd)
                out += QLatin1Char(',');
            break;
        case Token::Digit0:
        case Token::DigitHash:
            if (i < s.intEnd) {
                out += slotText[s.slotOfToken[i]];
            } else {
                if (fracIndex < frac.size())
                    out += frac.at(fracIndex);
                ++fracIndex;
            }
            break;
        }
    }
    return out;
}

bool allZero(const QString& text)
{
    for (QChar c : text)
        if (c.isDigit() && c != QLatin1Char('0'))
            return false;
    return true;
}

QString namedNumberPattern(const QString& pattern)
{
    const QString p = pattern.toLower();
    if (p == QLatin1String("fixed"))
        return QStringLiteral("0.00");
    if (p == QLatin1String("standard"))
        return QStringLiteral("#,##0.00");
    if (p == QLatin1String("percent"))
        return QStringLiteral("0.00%");
    return pattern;
}

// A numeric pattern read once: a table runs the same few patterns over
// every row. The cache is per thread and bounded.
struct CompiledPattern {
    bool general = false;  // no pattern, or "General Number"
    QList<Section> sections;
};

const CompiledPattern& compiledPattern(const QString& pattern)
{
    thread_local QHash<QString, CompiledPattern> cache;
    auto it = cache.constFind(pattern);
    if (it != cache.cend())
        return *it;
    if (cache.size() >= 256)
        cache.clear();
    CompiledPattern compiled;
    const QString p = namedNumberPattern(pattern);
    compiled.general = p.isEmpty() || p.compare(QLatin1String("General Number"), Qt::CaseInsensitive) == 0;
    if (!compiled.general)
        for (const QString& text : splitSections(p))
            compiled.sections << compileSection(text);
    return *cache.insert(pattern, std::move(compiled));
}

// --- dates -------------------------------------------------------------

// The short date of the regional settings, with a four-digit year.
QString shortDatePattern()
{
    QString qt = QLocale().dateFormat(QLocale::ShortFormat);
    if (!qt.contains(QLatin1String("yyyy")))
        qt.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return qt;
}

QString formatDateTokens(const QDateTime& value, const QString& pattern)
{
    const QDate date = value.date();
    const QTime time = value.time();
    const QLocale locale;
    QString out;
    bool lastWasHour = false;
    const bool twelveHour = pattern.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive)
                            || pattern.contains(QLatin1String("A/P"), Qt::CaseInsensitive);
    qsizetype i = 0;
    auto run = [&](QChar c) {
        qsizetype n = 0;
        while (i + n < pattern.size() && pattern.at(i + n).toLower() == c)
            ++n;
        return n;
    };
    while (i < pattern.size()) {
        const QChar c = pattern.at(i).toLower();
        if (pattern.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            const bool upper = pattern.at(i).isUpper();
            QString ap = time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            out += upper ? ap : ap.toLower();
            i += 5;
            continue;
        }
        if (pattern.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
            const bool upper = pattern.at(i).isUpper();
            QString ap = time.hour() < 12 ? QStringLiteral("A") : QStringLiteral("P");
            out += upper ? ap : ap.toLower();
            i += 3;
            continue;
        }
        if (c == QLatin1Char('"')) {
            const qsizetype close = pattern.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? pattern.size() : close;
            out += pattern.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < pattern.size()) {
            out += pattern.at(i + 1);
            i += 2;
            continue;
        }
        const qsizetype n = run(c);
        if (c == QLatin1Char('d')) {
            if (n == 1) out += QString::number(date.day());
            else if (n == 2) out += QStringLiteral("%1").arg(date.day(), 2, 10, QLatin1Char('0'));
            else if (n == 3) out += locale.dayName(date.dayOfWeek(), QLocale::ShortFormat);
            else out += locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
        } else if (c == QLatin1Char('m') && lastWasHour && n <= 2) {
            out += n == 1 ? QString::number(time.minute()) : QStringLiteral("%1").arg(time.minute(), 2, 10, QLatin1Char('0'));
        } else if (c == QLatin1Char('m')) {
            if (n == 1) out += QString::number(date.month());
            else if (n == 2) out += QStringLiteral("%1").arg(date.month(), 2, 10, QLatin1Char('0'));
            else if (n == 3) out += locale.monthName(date.month(), QLocale::ShortFormat);
            else out += locale.monthName(date.month(), QLocale::LongFormat);
        } else if (c == QLatin1Char('n')) {
            out += n == 1 ? QString::number(time.minute()) : QStringLiteral("%1").arg(time.minute(), 2, 10, QLatin1Char('0'));
        } else if (c == QLatin1Char('y')) {
            if (n >= 3) out += QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
            else if (n == 2) out += QStringLiteral("%1").arg(date.year() % 100, 2, 10, QLatin1Char('0'));
            else out += QString::number(date.dayOfYear());
        } else if (c == QLatin1Char('h')) {
            int h = time.hour();
            if (twelveHour) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            out += n == 1 ? QString::number(h) : QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0'));
            lastWasHour = true;
            i += n;
            continue;
        } else if (c == QLatin1Char('s')) {
            out += n == 1 ? QString::number(time.second()) : QStringLiteral("%1").arg(time.second(), 2, 10, QLatin1Char('0'));
        } else {
            out += pattern.mid(i, n);
            i += n;
            continue;  // separators keep a pending hour ("h:mm")
        }
        lastWasHour = false;
        i += n;
    }
    return out;
}

} // namespace

QString Format(double value, const QString& pattern)
{
    if (!std::isfinite(value))
        return QString::number(value);
    const CompiledPattern& compiled = compiledPattern(pattern);
    if (compiled.general) {
        QString text = QString::number(value, 'g', 15);
        return text.toUpper();
    }
    const QList<Section>& sections = compiled.sections;
    if (value < 0 && sections.size() >= 2 && !sections.at(1).empty)
        return formatSection(value, sections.at(1));
    if (value == 0 && sections.size() >= 3 && !sections.at(2).empty)
        return formatSection(value, sections.at(2));
    const QString text = formatSection(value, sections.at(0));
    if (value < 0 && !allZero(text))
        return QLatin1Char('-') + text;
    return text;
}

QString Format(const QDateTime& value, const QString& pattern)
{
    const QString p = pattern.toLower();
    if (p == QLatin1String("short date"))
        return value.date().toString(shortDatePattern());
    if (p == QLatin1String("long date"))
        return QLocale().toString(value.date(), QLocale::LongFormat);
    if (p == QLatin1String("short time"))
        return value.time().toString(QStringLiteral("HH:mm"));
    if (p == QLatin1String("long time"))
        return value.time().toString(QStringLiteral("HH:mm:ss"));
    if (p == QLatin1String("general date") || p.isEmpty()) {
        QString text = value.date().toString(shortDatePattern());
        if (value.time().msecsSinceStartOfDay() != 0)
            text += QLatin1Char(' ') + value.time().toString(QStringLiteral("HH:mm:ss"));
        return text;
    }
    return formatDateTokens(value, pattern);
}

QString SingleToText(float value)
{
    if (value == 0.0f)
        return QStringLiteral("0");
    return QString::number(double(value), 'g', 7).toUpper();
}

double RoundHalfEven(double value, int digits)
{
    if (!std::isfinite(value))
        return value;
    if (digits <= 0)
        return std::nearbyint(value);
    const double scale = std::pow(10.0, digits);
    return std::nearbyint(value * scale) / scale;
}

} // namespace qqc
