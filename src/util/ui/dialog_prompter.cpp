#include "util/ui/dialog_prompter.h"

#include <QDialog>

namespace qqc {

int runModal(QDialog& dialog)
{
    if (auto* dialogs = dynamic_cast<DialogPrompter*>(&prompter()))
        return dialogs->runModal(dialog);
    dialog.reject();
    return QDialog::Rejected;
}

} // namespace qqc
