#include "views/ui/frm_customer.h"

namespace qqc {

namespace {

ListFormTexts customerTexts()
{
    ListFormTexts t;
    t.caption = QStringLiteral("Customer");
    t.gridName = QStringLiteral("vsCustomers");
    t.frames = {QStringLiteral("Customer"), QStringLiteral("Sample Customer")};
    t.noDatabaseAdd = QStringLiteral("Open or create a database before adding customers.");
    t.noneToDelete = QStringLiteral("There are no Customers to delete!");
    t.noneSelected = QStringLiteral("You have not selected a Customer to delete! ");
    t.selectFirst = QStringLiteral("Please select a Customer.");
    t.confirmDelete = QStringLiteral("Are you sure you want to DELETE Customer:  $, $");
    t.confirmColumns = {1, 2};
    t.deleteTitle = QStringLiteral("Deleting Customer");
    t.addRoutine = QStringLiteral("AddCustomer");
    t.deleteRoutine = QStringLiteral("DeleteCustomer");
    t.editRoutine = QStringLiteral("vsCustomers_AfterEdit");
    return t;
}

} // namespace

frmCustomer::frmCustomer(QWidget* parent) : EditableListForm(customerTable(), customerTexts(), parent)
{
    setObjectName(QStringLiteral("frmCustomer"));
}

} // namespace qqc
