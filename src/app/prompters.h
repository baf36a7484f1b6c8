#pragma once
// The two Prompters the program installs: WidgetPrompter shows real message
// boxes, file dialogs and modal dialogs; UnattendedPrompter (--unattended)
// writes every message to the log file and standard error and answers with
// the button that changes least, cancels file dialogs and closes every other
// modal dialog at once as if cancelled.
//
// A stop request (SIGTERM, SIGINT) hands the WidgetPrompter a stand-in
// (answerFrom): the boxes and dialogs it has open are closed and answered by
// the stand-in, and so is every later prompt, so nothing waits for a click.

#include "util/ui/dialog_prompter.h"

#include <QString>

#include <functional>

class QWidget;

namespace qqc {

class WidgetPrompter : public DialogPrompter {
public:
    explicit WidgetPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    int message(const QString& text, int style, const QString& title) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    int runModal(QDialog& dialog) override;
    void beep() override;

    // From now on `standIn` (not owned; the unattended prompter) answers:
    // the open boxes and dialogs are closed and answered by it, and every
    // later prompt goes straight to it.
    void answerFrom(DialogPrompter* standIn);

private:
    // The file dialog `browse`, or for a request that takes a server
    // address the line with "Browse..." (DatabaseLocationDialog).
    QString fileOrAddress(const FileDialogRequest& request, const std::function<QString()>& browse);

    QWidget* parent_ = nullptr;
    DialogPrompter* standIn_ = nullptr;
};

class UnattendedPrompter : public DialogPrompter {
public:
    // Lines go to `logPath` (appended, CR LF) and to standard error.
    explicit UnattendedPrompter(QString logPath) : logPath_(std::move(logPath)) {}

    int message(const QString& text, int style, const QString& title) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    int runModal(QDialog& dialog) override;

private:
    void record(const QString& text) const;
    QString logPath_;
};

// The name of an Answer value ("OK", "Cancel", "Abort", ...).
QString answerName(int answer);

} // namespace qqc
