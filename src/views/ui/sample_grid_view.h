#pragma once
// The sample grid control (vsFlexData): a QTableView over SampleGridModel
// with fixed row height and no Qt selection of its own. It reports the mouse
// and keyboard in grid terms (grid row 0 is the header, data rows count from
// 1, -1 is no row) and leaves the selection rules to its window.

#include <QStyledItemDelegate>
#include <QTableView>

namespace qqc {

class SampleGridModel;

// Editors of the grid: a plain line edit, limited to 26 characters in the
// Equip. ID column.
class SampleGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kEquipmentIdLimit = 26;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class SampleGridView : public QTableView {
    Q_OBJECT
public:
    explicit SampleGridView(QWidget* parent = nullptr);

    void setGridModel(SampleGridModel* model);
    SampleGridModel* gridModel() const { return model_; }

    // The grid row under a viewport position: 1.. for data rows, -1 below them.
    int gridRowAt(const QPoint& viewportPos) const;
    // Commits and closes an open cell editor (as after an edit).
    void commitOpenEditor();
    bool isEditing() const { return state() == EditingState; }
    // Sizes the columns 1..N+10 to their header and the rows now visible, and
    // the Comments column to 12000 twips.
    void sizeColumns();

signals:
    void gridMouseDown(Qt::MouseButton button, int gridRow);
    void gridMouseMove(int gridRow, bool leftHeld);
    void gridMouseUp(int gridRow);
    void gridClick(int gridRow, int column);
    // Up or down arrow pressed while `gridRow` was current.
    void gridArrowKey(int gridRow);
    // The header was pressed / clicked on `column`.
    void headerMouseDown(Qt::MouseButton button);
    void headerClick(int column);

protected:
    // A change within one row repaints that row only (QTableView repaints
    // the whole viewport for any multi-cell change).
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SampleGridModel* model_ = nullptr;
    QPersistentModelIndex pressed_;
};

} // namespace qqc
