#pragma once
// Every question the program asks a person goes through one Prompter: message
// boxes and file dialogs here, other modal dialogs through its widget-side
// extension DialogPrompter (util/ui/dialog_prompter.h). The main program installs a
// widget-backed one (or the unattended one); tests install a scripted one, so
// nothing ever blocks on a person who is not there.

#include <QString>

namespace qqc {

// Message box style values, combined as buttons + icon exactly as the
// classic message box takes them (18 = Abort/Retry/Ignore + critical icon).
namespace MsgStyle {
constexpr int Ok = 0;
constexpr int OkCancel = 1;
constexpr int AbortRetryIgnore = 2;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int RetryCancel = 5;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int ButtonMask = 7;
} // namespace MsgStyle

// Answers, with the classic numeric values that callers and logs rely on.
namespace Answer {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace Answer

struct FileDialogRequest {
    QString title;
    QString folder;      // initial folder
    QString fileName;    // initial file name
    QString filter;      // Qt filter text, e.g. "Database (*.mdb)"
    // A database server's address (postgresql://...) may be typed instead
    // of choosing a file; the answer is then that address.
    bool serverAddress = false;
};

class Prompter {
public:
    virtual ~Prompter() = default;

    // Shows a message box; `style` is buttons + icon. Returns an Answer value.
    virtual int message(const QString& text, int style, const QString& title) = 0;
    // Returns the chosen path, or an empty string when cancelled.
    virtual QString openFileName(const FileDialogRequest& request) = 0;
    virtual QString saveFileName(const FileDialogRequest& request) = 0;
    // An audible hint (invalid input); silent where there is nobody to hear it.
    virtual void beep() {}
};

// The answer that changes least for a style: Ignore for Abort/Retry/Ignore,
// No for Yes/No(/Cancel), Cancel for OK/Cancel and Retry/Cancel, OK otherwise.
int leastChangingAnswer(int style);

// The program-wide prompter. Until one is installed, an unattended prompter
// answers (so library code run from a test or tool never blocks).
Prompter& prompter();
// Installs `p` (not owned) as the program-wide prompter; nullptr restores the
// unattended default.
void setPrompter(Prompter* p);

} // namespace qqc
