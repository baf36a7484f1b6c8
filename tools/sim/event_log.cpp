#include "sim/event_log.h"

#include <QStringList>

namespace qqc::sim {

void EventLog::add(const QString& event)
{
    if (path_.isEmpty())
        return;
    if (!file_.isOpen()) {
        file_.setFileName(path_);
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_).count();
    file_.write(QStringLiteral("%1 %2\n").arg(ms).arg(event).toUtf8());
    file_.flush();
}

QString EventLog::tableText(const TestRecord& record, const QString& table)
{
    QStringList items;
    const auto add = [&items](const auto& values) {
        for (auto v : values)
            items << QString::number(qint64(v));
    };
    if (table == QLatin1String("raw8700")) add(record.raw8700);
    else if (table == QLatin1String("Temp")) add(record.Temp);
    else if (table == QLatin1String("Calc8700")) add(record.Calc8700);
    else if (table == QLatin1String("CalData")) add(record.CalData);
    else if (table == QLatin1String("Rslt8700")) add(record.Rslt8700);
    return items.join(QLatin1Char(','));
}

} // namespace qqc::sim
