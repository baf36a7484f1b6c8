#pragma once
// frmCustomer, the "Customer" window: the customers in one editable grid
// (vsCustomers) and the SetCustomer event that assigns the current row's
// customer to the current sample, or clears it (0). No default, no in-use
// check: samples of a deleted customer keep its CustomerID.

#include "views/ui/editable_list_form.h"

namespace qqc {

class frmCustomer : public EditableListForm {
    Q_OBJECT
public:
    explicit frmCustomer(QWidget* parent = nullptr);

signals:
    void SetCustomer(qint32 customerId);

protected:
    void raiseAssignment(int row) override { emit SetCustomer(row < 0 ? 0 : model().idAt(row)); }
};

} // namespace qqc
