#pragma once
// The error reporter: shows a recorded failure in an Abort/Retry/Ignore box
// and appends an error line to the log file.

#include <QObject>
#include <QString>

namespace qqc {

class StdError : public QObject {
    Q_OBJECT
public:
    explicit StdError(QString logPath, QObject* parent = nullptr);

    void StopApp();
    // Records a failure: `description` empty becomes "Unknown Error".
    void RecordError(const QString& module, const QString& procedure, int code,
                     const QString& description, const QString& source = QStringLiteral("QuorvelQC"));
    // Shows the recorded failure and logs it; returns Answer::Abort/Retry/Ignore.
    int ReportError();
    void TraceFile(const QString& path);
    void TPrint(const QString& text);
    void TraceFileClose() {}

    bool UseOnError() const { return useOnError_; }
    void setUseOnError(bool v) { useOnError_ = v; }
    bool TraceProc() const { return traceProc_; }
    void setTraceProc(bool v) { traceProc_ = v; }
    bool TraceLab() const { return traceLab_; }
    void setTraceLab(bool v) { traceLab_ = v; }

    int code() const { return code_; }
    const QString& module() const { return module_; }
    const QString& procedure() const { return procedure_; }
    const QString& description() const { return description_; }
    const QString& source() const { return source_; }
    const QString& logPath() const { return logPath_; }

signals:
    void stopRequested();

private:
    int code_ = 0;
    QString module_ = QStringLiteral("StdError");
    QString procedure_ = QStringLiteral("Initialize");
    QString logPath_;
    QString source_ = QStringLiteral("Class");
    QString description_;
    bool useOnError_ = false;
    bool traceProc_ = false;
    bool traceLab_ = false;
};

// The reporter's message without the class: "Warning" in the description
// gives an OK box with the exclamation icon, otherwise Abort/Retry/Ignore.
// Writes no log line. Returns the answer.
int ReportModuleError(int number, const QString& description, const QString& module, const QString& routine);

// The plain routine-failure box: "Error " + number + "(" + description +
// ") in routine: " + routine + " ", OK only, no title.
void ShowRoutineError(int number, const QString& description, const QString& routine);
// The shorter form "Error in routine: " + routine + " ".
void ShowRoutineError(const QString& routine);

// A number in list-print form: leading blank (or minus) and a trailing blank.
QString listPrintNumber(long long value);

} // namespace qqc
