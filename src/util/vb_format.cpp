#include "util/vb_format.h"

#include <QHash>
#include <QLocale>
#include <QStringList>

#include <cmath>
#include <cstdio>

namespace qqc {

namespace {

// --- numbers -----------------------------------------------------------

// |value| rounded half away from zero at `decimals`, from its 15 significant
// decimal digits (so 1.005 counts as written, not as its binary neighbour).
// Returns the digits of the integer part (no leading zeros, "" for zero) and
// exactly `decimals` fraction digits.
void decimalDigits(double value, int decimals, QString& intPart, QString& fracPart)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    const QString text = QString::fromLatin1(buf);
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    QString mantissa = text.left(e);
    mantissa.remove(QLatin1Char('.'));
    const int exponent = text.mid(e + 1).toInt();

    const int keep = exponent + 1 + decimals;  // digits kept of the mantissa
    QString kept;
    if (keep >= 0) {
        QString digits = mantissa;
        while (digits.size() <= keep)
            digits += QLatin1Char('0');
        kept = digits.left(keep);
        if (digits.at(keep) >= QLatin1Char('5')) {
            int i = int(kept.size()) - 1;
            for (; i >= 0; --i) {
                if (kept[i] == QLatin1Char('9')) {
                    kept[i] = QLatin1Char('0');
                } else {
                    kept[i] = QChar(kept[i].unicode() + 1);
                    break;
                }
            }
            if (i < 0)
                kept.prepend(QLatin1Char('1'));
        }
    }
    while (kept.size() < decimals + 1)
        kept.prepend(QLatin1Char('0'));
    fracPart = kept.right(decimals);
    intPart = kept.left(kept.size() - decimals);
    while (!intPart.isEmpty() && intPart.front() == QLatin1Char('0'))
        intPart.remove(0, 1);
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

// Formats |value| with one section (no sign handling).
QString formatSection(double value, const QString& section)
{
    const QList<Token> tokens = tokenize(section);
    qsizetype point = -1;
    qsizetype firstDigit = -1;
    qsizetype lastDigit = -1;
    bool percent = false;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == Token::Point && point < 0)
            point = i;
        if (isDigitToken(tokens[i])) {
            if (firstDigit < 0)
                firstDigit = i;
            lastDigit = i;
        }
        if (tokens[i].kind == Token::Percent)
            percent = true;
    }
    if (firstDigit < 0 && point < 0) {
        // No place-holders: the section is literal text.
        QString out;
        for (const Token& t : tokens)
            out += t.kind == Token::Literal ? t.text : t.kind == Token::Comma ? QStringLiteral(",") : t.kind == Token::Percent ? QStringLiteral("%") : QString();
        return out;
    }
    const qsizetype intEnd = point >= 0 ? point : lastDigit + 1;

    // Integer place-holders, grouping and scaling commas.
    int intZeros = 0;
    int decimals = 0;
    int decimalZerosUpTo = 0;  // fraction digits always shown (up to the last "0")
    bool grouping = false;
    int scale = 0;
    for (qsizetype i = 0; i < intEnd; ++i) {
        if (tokens[i].kind == Token::Digit0)
            ++intZeros;
        if (tokens[i].kind == Token::Comma) {
            bool digitBefore = false;
            bool digitAfter = false;
            for (qsizetype j = i - 1; j >= 0 && !digitBefore; --j)
                digitBefore = isDigitToken(tokens[j]);
            for (qsizetype j = i + 1; j < intEnd && !digitAfter; ++j)
                digitAfter = isDigitToken(tokens[j]);
            if (digitBefore && digitAfter)
                grouping = true;
            else if (digitBefore)
                ++scale;  // a comma right of the digits divides by 1000
        }
    }
    if (point >= 0) {
        for (qsizetype i = point + 1; i < tokens.size(); ++i) {
            if (isDigitToken(tokens[i])) {
                ++decimals;
                if (tokens[i].kind == Token::Digit0)
                    decimalZerosUpTo = decimals;
            }
        }
    }
    double v = std::fabs(value);
    if (percent)
        v *= 100.0;
    for (int i = 0; i < scale; ++i)
        v /= 1000.0;

    QString intDigits;
    QString frac;
    decimalDigits(v, decimals, intDigits, frac);
    while (frac.size() > decimalZerosUpTo && frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    while (intDigits.size() < intZeros)
        intDigits.prepend(QLatin1Char('0'));
    if (grouping) {
        for (qsizetype at = intDigits.size() - 3; at > 0; at -= 3)
            intDigits.insert(at, QLatin1Char(','));
    }

    // Integer digits fill the place-holders from the right; any digits left
    // over go in front of the first place-holder.
    QList<qsizetype> intSlots;
    for (qsizetype i = 0; i < intEnd; ++i)
        if (isDigitToken(tokens[i]))
            intSlots << i;
    QHash<qsizetype, QString> slotText;
    if (grouping) {
        if (!intSlots.isEmpty())
            slotText[intSlots.first()] = intDigits;
    } else {
        qsizetype d = intDigits.size();
        for (qsizetype s = intSlots.size() - 1; s >= 0; --s) {
            if (d > 0)
                slotText[intSlots[s]] = s == 0 ? intDigits.left(d) : QString(intDigits.at(--d));
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
            if (i == point)
                out += QLatin1Char('.');
            break;
        case Token::Comma:
            if (i > intEnd)
                out += QLatin1Char(',');
            break;
        case Token::Digit0:
        case Token::DigitHash:
            if (i < intEnd) {
                out += slotText.value(i);
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
    const QString p = namedNumberPattern(pattern);
    if (p.isEmpty() || p.compare(QLatin1String("General Number"), Qt::CaseInsensitive) == 0) {
        QString text = QString::number(value, 'g', 15);
        return text.toUpper();
    }
    const QStringList sections = splitSections(p);
    if (value < 0 && sections.size() >= 2 && !sections.at(1).isEmpty())
        return formatSection(value, sections.at(1));
    if (value == 0 && sections.size() >= 3 && !sections.at(2).isEmpty())
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
