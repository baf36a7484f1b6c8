#pragma once
// The grid control of the editor windows: a QTableView that selects whole
// rows, reports clicks in grid terms (row 0 is the header, data rows count
// from 1) and marks a row on request. The header paints a cell in the colour
// its model gives (Qt::BackgroundRole), whatever the style.

#include <QHeaderView>
#include <QTableView>

namespace qqc {

class ColouredHeaderView : public QHeaderView {
    Q_OBJECT
public:
    explicit ColouredHeaderView(QWidget* parent = nullptr) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

class EditorGridView : public QTableView {
    Q_OBJECT
public:
    explicit EditorGridView(QWidget* parent = nullptr);

    // Selects `row` across the shown columns, makes it current and scrolls
    // it into view when it is not visible; -1 moves the selection off the rows.
    void markRow(int row);
    // The grid's current data row, -1 when none.
    int currentRow() const;

signals:
    void gridClick(int gridRow, int column);
};

} // namespace qqc
