#pragma once
// The editable list window that frmReference and frmCustomer are: one grid
// of records (fill, click, sort, add, edit, delete) and the buttons to
// assign the current row's record to the current sample, configured by the
// list's columns and texts. The window computes nothing about samples: "Set"
// and "Clear" raise the subclass's event, which the main window handles.
//
// Selection: a click on a data row (also the only one) selects its record;
// UpdateForm(ID) marks and selects the record's row; a header click sorts by
// that column (first descending, then alternating) and keeps the selected
// record marked.

#include "views/editable_list_model.h"
#include "views/editor_store.h"
#include "views/ui/editor_form.h"

#include <array>

class QPushButton;

namespace qqc {

class EditorGridView;

struct ListFormTexts {
    QString caption;            // window caption (and the start of the default's)
    QString gridName;           // the grid control's name
    QStringList frames;         // frame captions: 2, or 3 with a default
    QString noDatabaseAdd;      // through MessageBoxEx
    QString noDatabaseDefault;  // through MessageBoxEx
    QString noneToDelete;       // plain
    QString noneSelected;       // plain
    QString selectFirst;        // plain: "Set" without a current row
    QString confirmDelete;      // "$" filled with the texts of confirmColumns
    std::vector<int> confirmColumns;
    QString deleteTitle;
    QString inUse;              // "$" filled with the sample's number, date, Equip. ID
    QString addRoutine, deleteRoutine, editRoutine;
    std::vector<int> captionColumns;  // the default's texts in the caption, joined by " - "
    int autoSizeColumn = -1;
};

class EditableListForm : public EditorForm {
    Q_OBJECT
public:
    EditableListForm(const ListTable& table, ListFormTexts texts, QWidget* parent = nullptr);
    ~EditableListForm() override;

    // --- called by the main window ---
    void UpdateForm(qint32 id);

    // --- the buttons ---
    void addRecord();
    void deleteRecord();
    void setSample();    // "Set": the current row's record
    void clearSample();  // "Clear"
    void setDefault();
    void clearDefault();

    // --- grid events (grid rows: header 0, data 1..) ---
    void gridClick(int gridRow, int column);
    void afterEdit(int row, int column, const QString& text);

    EditorGridView& grid() const { return *grid_; }
    EditableListModel& model() { return model_; }
    qint32 selectedId() const { return selected_; }
    QPushButton* button(int index) const { return buttons_.at(size_t(index)); }

protected:
    // "Set" of the current row (row >= 0) or "Clear" (row -1).
    virtual void raiseAssignment(int row) = 0;

private:
    void refreshCaption();
    bool hasDefault() const { return texts_.frames.size() > 2; }

    const ListTable& table_;
    ListFormTexts texts_;
    EditableListModel model_;
    EditorGridView* grid_ = nullptr;
    std::array<QPushButton*, 6> buttons_{};
    qint32 selected_ = -1;
    std::vector<int> sortState_;  // per column: 0 never, 1 ascending, 2 descending
};

} // namespace qqc
