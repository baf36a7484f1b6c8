#include "support/scripted_prompter.h"

#include <QDialog>

namespace qqc::test {

ScriptedPrompter::ScriptedPrompter() { setPrompter(this); }
ScriptedPrompter::~ScriptedPrompter() { setPrompter(nullptr); }

int ScriptedPrompter::message(const QString& text, int style, const QString& title)
{
    messages.push_back({text, style, title});
    if (answers.empty())
        return leastChangingAnswer(style);
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedPrompter::openFileName(const FileDialogRequest& request)
{
    fileRequests.push_back(request);
    if (fileNames.empty())
        return {};
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

QString ScriptedPrompter::saveFileName(const FileDialogRequest& request) { return openFileName(request); }

int ScriptedPrompter::runModal(QDialog& dialog)
{
    return onModal ? onModal(dialog) : int(QDialog::Rejected);
}

QStringList ScriptedPrompter::texts() const
{
    QStringList list;
    for (const auto& m : messages)
        list << m.text;
    return list;
}

} // namespace qqc::test
