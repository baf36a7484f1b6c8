#include "views/ui/frm_reference.h"

namespace qqc {

namespace {

ListFormTexts referenceTexts()
{
    ListFormTexts t;
    t.caption = QStringLiteral("Reference");
    t.gridName = QStringLiteral("vsFlexReference");
    t.frames = {QStringLiteral("Reference"), QStringLiteral("Sample Reference"), QStringLiteral("Default Reference")};
    t.noDatabaseAdd = QStringLiteral("Open or create a database before adding reference oils.");
    t.noDatabaseDefault = QStringLiteral("Open or create a database before changing reference oils.");
    t.noneToDelete = QStringLiteral("There are no Reference Oils to delete!");
    t.noneSelected = QStringLiteral("You have not selected a Reference Oil to delete! ");
    t.selectFirst = QStringLiteral("Please select a reference.");
    t.confirmDelete = QStringLiteral("Are you sure you want to DELETE Reference Oil:  $, $, $  ");
    t.confirmColumns = {1, 2, 3};
    t.deleteTitle = QStringLiteral("Deleting Reference Oil");
    t.inUse = QStringLiteral(
        "There is a Sample using this Reference Oil:||Sample:$ Date:$ Equip. ID:$||Reference Oil cannot be deleted!");
    t.addRoutine = QStringLiteral("mnuAddReference");
    t.deleteRoutine = QStringLiteral("DeleteReference");
    t.editRoutine = QStringLiteral("vsFlexReference_AfterEdit");
    t.captionColumns = {1, 2, 3};
    t.autoSizeColumn = 4;
    return t;
}

} // namespace

frmReference::frmReference(QWidget* parent) : EditableListForm(referenceTable(), referenceTexts(), parent)
{
    setObjectName(QStringLiteral("frmReference"));
}

void frmReference::raiseAssignment(int row)
{
    if (row < 0) {
        emit SetRef(0, 0.0f);
        return;
    }
    // The stored dielectric, not the cell's rounded text.
    emit SetRef(model().idAt(row), model().stored(row, 5).toFloat());
}

} // namespace qqc
