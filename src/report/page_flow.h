#pragma once
// What runs on over pages: the tables row by row and the comments line by
// line. A PageFlow knows where the next item goes on the current page and how
// far down it may reach; an item that does not fit starts the next page (the
// device's new page, then that page's start-of-page block) and goes on there
// from the top margin. Everything is in twips.

#include "report/report_data.h"

#include <QSizeF>
#include <QVector>

#include <functional>

class QPainter;

namespace qqc::report {

class PageFlow {
public:
    // `newPage` starts the device's next page; `startPage` draws the block
    // every page starts with, given the page's number.
    PageFlow(QPainter& p, QSizeF page, double top, double bottomMargin, std::function<void()> newPage,
             std::function<void(int)> startPage);

    QPainter& painter() { return p_; }
    int number() const { return number_; }
    double y() const { return y_; }
    double bottom() const { return bottom_; }
    // Nothing placed on this page yet: moving on would not win room.
    bool fresh() const { return fresh_; }
    void moveTo(double y);
    // How far down items may reach on the current page (the first page
    // stops above its pictures).
    void setBottom(double bottom) { bottom_ = bottom; }
    bool fits(double height) const { return y_ + height <= bottom_; }
    // Starts the next page; the painter keeps its transform, font, pen and
    // brush across it.
    void next();

private:
    QPainter& p_;
    QSizeF page_;
    double top_, bottomMargin_;
    std::function<void()> newPage_;
    std::function<void(int)> startPage_;
    int number_ = 1;
    double y_ = 0, bottom_ = 0;
    bool fresh_ = true;
};

// The font of paper text in points (the painter's units are twips).
void setPaperFont(QPainter& p, double points, bool bold = false, bool italic = false);

struct TableColumns {
    QVector<double> widths;
    QVector<int> align;   // Qt::Alignment per column
};
using TableRows = QVector<QVector<ReportTable::Cell>>;

// Draws rows at (x, y), each cell from its own text (never split from a
// joined string), clipped to its cell. Returns the y below the last row.
double drawTable(QPainter& p, double x, double y, const TableColumns& columns, const TableRows& rows);
// The same at the flow's position. A table starts on the next page unless
// its first two rows fit; a row that does not fit goes to the next page,
// after the table's first row repeated as its head.
void flowTable(PageFlow& flow, double x, const TableColumns& columns, const TableRows& rows);

// A framed white box of wrapped text (10 pt) at the flow's position, at
// least `height` high on this page and reaching at most to its bottom,
// `width` wide there and `laterWidth` wide on the pages it continues onto.
// Text that does not fit continues in a box on the next page; a page with
// less than about three lines of room left is skipped, except that an empty
// text never starts a page of its own.
void flowTextBox(PageFlow& flow, const QString& text, double x, double width, double laterWidth, double height);

} // namespace qqc::report
