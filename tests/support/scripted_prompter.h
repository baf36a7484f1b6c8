#pragma once
// A Prompter for tests: records every message and file dialog, and answers
// from queues the test fills (or with the least-changing answer when empty).

#include "util/ui/dialog_prompter.h"

#include <QStringList>
#include <deque>
#include <functional>

namespace qqc::test {

struct ShownMessage {
    QString text;
    int style = 0;
    QString title;
};

class ScriptedPrompter : public DialogPrompter {
public:
    ScriptedPrompter();   // installs itself as the program-wide prompter
    ~ScriptedPrompter() override;  // restores the default

    int message(const QString& text, int style, const QString& title) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    int runModal(QDialog& dialog) override;
    void beep() override { ++beeps; }

    std::deque<int> answers;          // next message answers
    std::deque<QString> fileNames;    // next file dialog results ("" = cancel)
    // Called with each modal dialog; returns its result. Default: Rejected.
    std::function<int(QDialog&)> onModal;

    std::vector<ShownMessage> messages;
    std::vector<FileDialogRequest> fileRequests;
    int beeps = 0;

    QStringList texts() const;
};

} // namespace qqc::test
