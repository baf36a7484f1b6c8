#include "views/cell_text.h"

#include "util/vb_format.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace qqc {

std::optional<QDate> cellTextToDate(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    QDate d = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (d.isValid())
        return d;
    // The regional short form, as "Short Date" writes it (four-digit year)
    // and as people type it (two digits: this century).
    const QLocale locale;
    QString pattern = locale.dateFormat(QLocale::ShortFormat);
    QString fourDigits = pattern;
    if (!fourDigits.contains(QLatin1String("yyyy")))
        fourDigits.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    d = locale.toDate(t, fourDigits);
    if (d.isValid())
        return d;
    QString twoDigits = fourDigits;
    twoDigits.replace(QLatin1String("yyyy"), QLatin1String("yy"));
    d = locale.toDate(t, twoDigits);
    if (d.isValid() && d.year() < 2000)
        d = d.addYears(100);
    if (d.isValid())
        return d;
    return std::nullopt;
}

QString shortDateText(const QVariant& stored)
{
    if (stored.isNull())
        return QString();
    QDateTime when = stored.toDateTime();
    if (!when.isValid()) {
        const QString text = stored.toString().trimmed();
        when = QDateTime::fromString(text, Qt::ISODate);
        if (!when.isValid())
            when = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd")).startOfDay();
    }
    return when.isValid() ? Format(when, QStringLiteral("Short Date")) : QString();
}

QString exampleShortDate()
{
    return Format(QDate(2026, 12, 31).startOfDay(), QStringLiteral("Short Date"));
}

} // namespace qqc
