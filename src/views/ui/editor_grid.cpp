#include "views/ui/editor_grid.h"

#include <QPainter>

namespace qqc {

void ColouredHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    const QVariant brush = model() ? model()->headerData(logicalIndex, orientation(), Qt::BackgroundRole) : QVariant();
    if (!brush.canConvert<QColor>() || !brush.value<QColor>().isValid()) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    painter->save();
    painter->fillRect(rect, brush.value<QColor>());
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->setPen(Qt::black);
    painter->drawText(rect.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString());
    painter->restore();
}

EditorGridView::EditorGridView(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    verticalHeader()->hide();
    // A window placed small still shows its header and a row or two.
    setMinimumSize(60, 48);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    connect(this, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { emit gridClick(index.row() + 1, index.column()); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) { emit gridClick(0, column); });
}

void EditorGridView::markRow(int row)
{
    if (!model() || row < 0 || row >= model()->rowCount()) {
        clearSelection();
        setCurrentIndex(QModelIndex());
        return;
    }
    int column = 0;
    while (column < model()->columnCount() - 1 && isColumnHidden(column))
        ++column;
    const QModelIndex cell = model()->index(row, column);
    setCurrentIndex(cell);
    selectRow(row);
    scrollTo(cell, QAbstractItemView::EnsureVisible);
}

int EditorGridView::currentRow() const
{
    const QModelIndex cell = currentIndex();
    return cell.isValid() ? cell.row() : -1;
}

} // namespace qqc
