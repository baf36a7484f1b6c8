#include "util/prompter.h"

#include <cstdio>

namespace qqc {

int leastChangingAnswer(int style)
{
    switch (style & MsgStyle::ButtonMask) {
    case MsgStyle::AbortRetryIgnore: return Answer::Ignore;
    case MsgStyle::YesNo: return Answer::No;
    case MsgStyle::YesNoCancel:   // "No" may still go on (close without saving); "Cancel" stops
    case MsgStyle::OkCancel:
    case MsgStyle::RetryCancel: return Answer::Cancel;
    default: return Answer::Ok;
    }
}

namespace {

// Used until a real prompter is installed: writes each message to standard
// error and answers with the button that changes least.
class DefaultPrompter : public Prompter {
public:
    int message(const QString& text, int style, const QString&) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return leastChangingAnswer(style);
    }
    QString openFileName(const FileDialogRequest&) override { return {}; }
    QString saveFileName(const FileDialogRequest&) override { return {}; }
};

DefaultPrompter defaultPrompter;
Prompter* current = &defaultPrompter;

} // namespace

Prompter& prompter() { return *current; }
void setPrompter(Prompter* p) { current = p ? p : &defaultPrompter; }

} // namespace qqc
