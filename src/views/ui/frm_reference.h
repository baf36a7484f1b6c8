#pragma once
// frmReference, the "Reference" window: the reference oils in one editable
// grid (vsFlexReference), the default oil in the caption, and the SetRef
// event that assigns the current row's oil (with its stored dielectric) to
// the current sample, or clears it (0, 0).

#include "views/ui/editable_list_form.h"

namespace qqc {

class frmReference : public EditableListForm {
    Q_OBJECT
public:
    explicit frmReference(QWidget* parent = nullptr);

signals:
    void SetRef(qint32 refId, float refDielectric);

protected:
    void raiseAssignment(int row) override;
};

} // namespace qqc
