#include "views/ui/sample_grid_view.h"

#include "views/sample_grid_model.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>

#include <algorithm>

namespace qqc {

QWidget* SampleGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        if (index.column() == SampleGridModel::ColEquipment)
            line->setMaxLength(kEquipmentIdLimit);
    }
    return editor;
}

SampleGridView::SampleGridView(QWidget* parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("vsFlexData"));
    setItemDelegate(new SampleGridDelegate(this));
    // The highlight is the window's own (painted by the model); Qt only keeps
    // the current cell.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setMouseTracking(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // Auto-sizing looks only at the rows on screen: a large database is
    // never read through for it.
    horizontalHeader()->setResizeContentsPrecision(0);
    horizontalHeader()->viewport()->installEventFilter(this);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &SampleGridView::headerClick);
}

void SampleGridView::setGridModel(SampleGridModel* model)
{
    model_ = model;
    setModel(model);
}

int SampleGridView::gridRowAt(const QPoint& viewportPos) const
{
    const int row = rowAt(viewportPos.y());
    return row < 0 ? -1 : row + 1;
}

void SampleGridView::commitOpenEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void SampleGridView::sizeColumns()
{
    if (!model_)
        return;
    const int comments = model_->commentsColumn();
    setColumnHidden(SampleGridModel::ColSampleId, true);
    // Only the rows that fit on the screen from the top row down are
    // measured (QTableView's own sizing reads every row while the view is
    // hidden, which on a large database means every sample).
    const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    const int visibleRows = std::max(viewport()->height(), 40 * rowHeight) / rowHeight + 1;
    const int top = std::max(0, rowAt(0));
    const int bottom = std::min(model_->rowCount(), top + visibleRows);
    const QFontMetrics header = horizontalHeader()->fontMetrics();
    const QFontMetrics cells = fontMetrics();
    const int margin = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    for (int c = 1; c < comments; ++c) {
        int width = header.horizontalAdvance(model_->headerText(c)) + 16;
        for (int r = top; r < bottom; ++r)
            width = std::max(width, cells.horizontalAdvance(model_->cellText(r, c)) + margin);
        setColumnWidth(c, width);
    }
    setColumnWidth(comments, int(12000.0 / 1440.0 * logicalDpiX()));
}

void SampleGridView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    if (!topLeft.isValid() || !bottomRight.isValid() || topLeft.row() != bottomRight.row() || topLeft == bottomRight
        || isEditing()) {
        QTableView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const int y = rowViewportPosition(topLeft.row());
    const int h = rowHeight(topLeft.row());
    if (y + h >= 0 && y < viewport()->height())
        viewport()->update(QRect(0, y, viewport()->width(), h));
}

void SampleGridView::mousePressEvent(QMouseEvent* event)
{
    pressed_ = indexAt(event->position().toPoint());
    emit gridMouseDown(event->button(), gridRowAt(event->position().toPoint()));
    QTableView::mousePressEvent(event);
}

void SampleGridView::mouseMoveEvent(QMouseEvent* event)
{
    emit gridMouseMove(gridRowAt(event->position().toPoint()), (event->buttons() & Qt::LeftButton) != 0);
    QTableView::mouseMoveEvent(event);
}

void SampleGridView::mouseReleaseEvent(QMouseEvent* event)
{
    const int row = gridRowAt(event->position().toPoint());
    const QPersistentModelIndex clicked = pressed_;
    pressed_ = QPersistentModelIndex();
    QTableView::mouseReleaseEvent(event);
    emit gridMouseUp(row);
    // A click (left button) belongs to the cell where the button went down.
    if (clicked.isValid() && event->button() == Qt::LeftButton)
        emit gridClick(clicked.row() + 1, clicked.column());
}

void SampleGridView::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && state() != EditingState) {
        const QModelIndex current = currentIndex();
        emit gridArrowKey(current.isValid() ? current.row() + 1 : -1);
    }
    QTableView::keyPressEvent(event);
}

bool SampleGridView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonPress)
        emit headerMouseDown(static_cast<QMouseEvent*>(event)->button());
    return QTableView::eventFilter(watched, event);
}

} // namespace qqc
