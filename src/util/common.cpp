#include "util/common.h"

#include "util/program_folder.h"
#include "util/prompter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace qqc {

int MessageBoxEx(const QString& prompt, int buttons, const QString& substitutions, const QString& title)
{
    QString text = prompt;
    text.replace(QLatin1Char('|'), QLatin1String("\r\n"));
    text.replace(QLatin1Char('+'), QLatin1Char('\t'));
    QString list = substitutions;
    text = SubstituteParams(text, list);
    return prompter().message(text, buttons, title);
}

int MessageBoxItems(const QString& prompt, int buttons, const QStringList& items, const QString& title)
{
    QString text = prompt;
    text.replace(QLatin1Char('|'), QLatin1String("\r\n"));
    text.replace(QLatin1Char('+'), QLatin1Char('\t'));
    qsizetype from = 0;
    for (const QString& item : items) {
        const qsizetype at = text.indexOf(QLatin1Char('$'), from);
        if (at < 0)
            break;
        text.replace(at, 1, item);
        from = at + item.size();
    }
    return prompter().message(text, buttons, title);
}

QString SubstituteParams(const QString& templ, QString& list)
{
    QString result = templ;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = result.indexOf(QLatin1Char('$'), from);
        if (at < 0)
            return result;
        QString item;
        const qsizetype bar = list.indexOf(QLatin1Char('|'));
        if (bar >= 0) {
            item = list.left(bar);
            list = list.mid(bar + 1);
        } else {
            item = list;  // the last item is reused for every further "$"
        }
        result.replace(at, 1, item);
        from = at + item.size();
    }
}

QString CleanSettingText(const QString& text)
{
    QString s = text;
    s.replace(QChar(0), QLatin1Char(' '));
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && s.at(end - 1) == QLatin1Char(' '))
        --end;
    return s.mid(begin, end - begin);
}

QString DeviceTypeName(int index)
{
    static const char* const names[] = {"None", "8xLR", "87PB", "87FX", "87RN", "8700", "8900", "MODEM"};
    if (index < 0 || index > 7)
        return QStringLiteral("Undefined");
    return QString::fromLatin1(names[index]);
}

void SplitPath(const QString& path, QString& folder, QString& fileName)
{
    const qsizetype at = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    if (at < 0)
        return;
    folder = path.left(at + 1);
    fileName = path.mid(at + 1);
}

QString NextNumberedFileName(const QString& folder, const QString& prefix, const QString& extension)
{
    // Directory listings with wild cards match names case-insensitively.
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QStringList names = dir.entryList({prefix + QLatin1String("*.") + extension},
                                            QDir::Files | QDir::Hidden | QDir::System);
    const QString upperPrefix = prefix.toUpper();
    long long largest = 0;
    for (const QString& name : names) {
        const QString upper = name.toUpper();
        if (!upper.startsWith(upperPrefix))
            continue;
        const QString rest = upper.mid(upperPrefix.size());
        const QString digits = rest.left(rest.indexOf(QLatin1Char('.')));
        bool ok = !digits.isEmpty();
        for (QChar c : digits)
            ok = ok && c.isDigit() && c.unicode() < 128;
        long long n = 0;
        if (ok && digits.size() <= 15)
            n = digits.toLongLong();
        largest = std::max(largest, n);
    }
    const int width = std::max(0, 8 - int(prefix.size()));
    return folder + prefix + QStringLiteral("%1").arg(largest + 1, width, 10, QLatin1Char('0'))
           + QLatin1Char('.') + extension;
}

QString NullToText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    return value.toString();
}

QVariant TextToNullable(const QString& text)
{
    if (text.isEmpty())
        return QVariant();
    return text;
}

void SortSingles(int n, float* values)
{
    if (n < 1 || values == nullptr)
        return;
    std::make_heap(values, values + n);
    std::sort_heap(values, values + n);
}

void DebugLog(const QString& text, bool enabled)
{
    if (!enabled)
        return;
    QFile file(programFile(QStringLiteral("quorvelqc.log")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                         + QLatin1Char(',') + text + QLatin1String("\r\n");
    file.write(line.toUtf8());
}

std::optional<QFont> localeFont(const QFont& current, int languageId)
{
    QString family;
    switch (languageId) {
    case 2052:
        family = QString(QChar(0x5B8B)) + QChar(0x4F53);
        break;
    case 1041: {
        static const char16_t name[] = {0xFF2D, 0xFF33, 0x0020, 0xFF30, 0x30B4, 0x30B7, 0x30C3, 0x30AF};
        family = QString::fromUtf16(name, 8);
        break;
    }
    case 1028:
        family = QString(QChar(0x65B0)) + QChar(0x7D30) + QChar(0x660E) + QChar(0x9AD4);
        break;
    case 1042:
    case 1033:
        return std::nullopt;
    default:
        return QFont();   // the default font
    }
    QFont font = current;
    font.setFamily(family);
    return font;
}

bool gridTextIsNumeric(const QString& text, double* value)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    double v = QLocale::c().toDouble(t, &ok);
    if (!ok)
        v = QLocale::system().toDouble(t, &ok);
    if (ok && !std::isfinite(v))
        ok = false;
    if (ok && value)
        *value = v;
    return ok;
}

} // namespace qqc
