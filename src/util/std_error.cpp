#include "util/std_error.h"

#include "util/prompter.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>

namespace qqc {

namespace {

const QString kReportTemplate = QStringLiteral("Module: $|Procedure: $|Error: $|Code: $|");

// Fills the reporter's template. Each item is placed whole into its own
// place-holder: a "|" inside a description shows as a line break instead of
// being taken as a list separator (which would push the code off the box).
QString reportText(const QStringList& items)
{
    QString text = kReportTemplate;
    text.replace(QLatin1Char('|'), QLatin1String("\r\n"));
    qsizetype from = 0;
    for (QString item : items) {
        item.replace(QLatin1Char('|'), QLatin1String("\r\n"));
        const qsizetype at = text.indexOf(QLatin1Char('$'), from);
        if (at < 0)
            break;
        text.replace(at, 1, item);
        from = at + item.size();
    }
    return text;
}

void appendLine(const QString& path, const QString& line)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;  // the box has been shown; a failure to log is not reported again
    file.write((line + QLatin1String("\r\n")).toUtf8());
}

QString timeOfDay() { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")); }
QString dateAndTime() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

} // namespace

StdError::StdError(QString logPath, QObject* parent) : QObject(parent), logPath_(std::move(logPath)) {}

void StdError::StopApp() { emit stopRequested(); }

void StdError::RecordError(const QString& module, const QString& procedure, int code, const QString& description,
                           const QString& source)
{
    module_ = module;
    procedure_ = procedure;
    code_ = code;
    description_ = description.isEmpty() ? QStringLiteral("Unknown Error") : description;
    source_ = source;
}

int StdError::ReportError()
{
    const QString text = reportText({module_, procedure_, description_, QString::number(code_)});
    const int answer = prompter().message(text, MsgStyle::AbortRetryIgnore | MsgStyle::Critical, QString());
    appendLine(logPath_, QLatin1String("Error: Module=") + module_ + QLatin1String(",  Procedure=") + procedure_
                             + QLatin1String(",  Error=") + description_ + QLatin1String(",  Code=")
                             + listPrintNumber(code_) + QLatin1String(",  Source=") + source_
                             + QLatin1String(",  Return Code=") + listPrintNumber(answer)
                             + QLatin1String(",  Time=") + timeOfDay());
    return answer;
}

void StdError::TraceFile(const QString& path)
{
    logPath_ = path;
    const QString bar(25, QLatin1Char('='));
    appendLine(logPath_, bar + dateAndTime() + bar);
}

void StdError::TPrint(const QString& text) { appendLine(logPath_, text + QLatin1String(", ") + timeOfDay()); }

int ReportModuleError(int number, const QString& description, const QString& module, const QString& routine)
{
    const int style = description.contains(QLatin1String("Warning"))
                          ? MsgStyle::Ok | MsgStyle::Exclamation
                          : MsgStyle::AbortRetryIgnore | MsgStyle::Critical;
    const QString desc = description.isEmpty() ? QStringLiteral("Unknown Error") : description;
    return prompter().message(reportText({module, routine, desc, QString::number(number)}), style, QString());
}

void ShowRoutineError(int number, const QString& description, const QString& routine)
{
    prompter().message(QLatin1String("Error ") + QString::number(number) + QLatin1Char('(') + description
                           + QLatin1String(") in routine: ") + routine + QLatin1Char(' '),
                       MsgStyle::Ok, QString());
}

void ShowRoutineError(const QString& routine)
{
    prompter().message(QLatin1String("Error in routine: ") + routine + QLatin1Char(' '), MsgStyle::Ok, QString());
}

QString listPrintNumber(long long value)
{
    const QString digits = QString::number(value);
    return (value < 0 ? digits : QLatin1Char(' ') + digits) + QLatin1Char(' ');
}

} // namespace qqc
