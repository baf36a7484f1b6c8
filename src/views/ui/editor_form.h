#pragma once
// What the editor windows (frmAlarm and the editable lists) share with the
// main window: SetDB hands over the database and marks the lists for reading
// again, and the next UpdateForm opens the store on it afresh
// (reopenStore()); an accepted close raises Unload, which clears the
// window's open flag.

#include "views/editor_store.h"

#include <QWidget>

namespace qqc {

class EditorForm : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    void SetDB(db::Database* database);

signals:
    void Unload();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Once after each SetDB (and on the first call): opens the store on the
    // database handed over and returns true, so that UpdateForm reads its
    // lists again.
    bool reopenStore();

    EditorStore store_;

private:
    db::Database* database_ = nullptr;
    bool reopen_ = true;
};

} // namespace qqc
