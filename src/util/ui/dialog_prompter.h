#pragma once
// The modal-dialog part of the prompt seam. Message boxes and file dialogs
// are asked through Prompter (util/prompter.h), which needs no widgets; a
// prompter that can also run a modal dialog derives from DialogPrompter.
// It is still one seam: the program installs one prompter with setPrompter,
// and runModal() below asks that same prompter.

#include "util/prompter.h"

class QDialog;

namespace qqc {

class DialogPrompter : public Prompter {
public:
    // Runs a modal dialog; returns QDialog::Accepted or QDialog::Rejected.
    virtual int runModal(QDialog& dialog) = 0;
};

// Runs `dialog` through the installed prompter. A prompter that shows no
// dialogs (the default one, a tool's) rejects it at once.
int runModal(QDialog& dialog);

} // namespace qqc
