#include "views/ui/editor_form.h"

#include <QCloseEvent>

namespace qqc {

void EditorForm::SetDB(db::Database* database)
{
    database_ = database;
    reopen_ = true;
}

bool EditorForm::reopenStore()
{
    if (!reopen_)
        return false;
    reopen_ = false;
    store_ = EditorStore(database_);
    return true;
}

void EditorForm::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit Unload();
}

} // namespace qqc
