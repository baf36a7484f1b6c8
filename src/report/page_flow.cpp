#include "report/page_flow.h"

#include "report/page_composer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace qqc::report {

namespace {

constexpr double TwipsPerPoint = 20;
// The comments box: its text's distance from the frame, and the least room
// worth a box (three lines of 10 pt text).
constexpr double PadX = 60, PadY = 40, LeastBox = 3 * 240 + 2 * PadY;

double rowHeight(const QPainter& p) { return QFontMetricsF(p.font()).height() + 50; }

double drawRow(QPainter& p, double x, double y, const TableColumns& columns, const QVector<ReportTable::Cell>& row)
{
    const double h = rowHeight(p);
    double cx = x;
    for (int c = 0; c < columns.widths.size(); ++c) {
        const QRectF cellRect(cx, y, columns.widths[c], h);
        const ReportTable::Cell cell = c < row.size() ? row[c] : ReportTable::Cell{};
        p.setPen(QPen(Qt::black, PaperLineWidth));
        p.setBrush(QColor(cell.background));
        p.drawRect(cellRect);
        p.setPen(QColor(cell.textColor));
        p.drawText(cellRect.adjusted(40, 0, -40, 0), columns.align.value(c, Qt::AlignLeft) | Qt::AlignVCenter,
                   cell.text);
        cx += columns.widths[c];
    }
    return y + h;
}

// Line breaks of any platform as the layout's own line separator.
QString layoutText(QString text)
{
    text.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    text.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return text;
}

} // namespace

PageFlow::PageFlow(QPainter& p, QSizeF page, double top, double bottomMargin, std::function<void()> newPage,
                   std::function<void(int)> startPage)
    : p_(p), page_(page), top_(top), bottomMargin_(bottomMargin), newPage_(std::move(newPage)),
      startPage_(std::move(startPage)), y_(top), bottom_(page.height() - bottomMargin)
{
}

void PageFlow::moveTo(double y)
{
    y_ = y;
    fresh_ = false;
}

void PageFlow::next()
{
    // The state is set again after the device's new page, so the next page
    // is drawn in twips whatever the device resets there.
    const QTransform transform = p_.worldTransform();
    const QFont font = p_.font();
    const QPen pen = p_.pen();
    const QBrush brush = p_.brush();
    if (newPage_)
        newPage_();
    p_.setWorldTransform(transform);
    p_.setFont(font);
    p_.setPen(pen);
    p_.setBrush(brush);
    ++number_;
    if (startPage_)
        startPage_(number_);
    y_ = top_;
    bottom_ = page_.height() - bottomMargin_;
    fresh_ = true;
}

void setPaperFont(QPainter& p, double points, bool bold, bool italic)
{
    QFont f = p.font();
    f.setFamily(QStringLiteral("Helvetica"));
    f.setPixelSize(std::max(1, int(std::lround(points * TwipsPerPoint))));
    f.setBold(bold);
    f.setItalic(italic);
    p.setFont(f);
}

double drawTable(QPainter& p, double x, double y, const TableColumns& columns, const TableRows& rows)
{
    for (const auto& row : rows)
        y = drawRow(p, x, y, columns, row);
    return y;
}

void flowTable(PageFlow& flow, double x, const TableColumns& columns, const TableRows& rows)
{
    QPainter& p = flow.painter();
    const double h = rowHeight(p);
    if (rows.isEmpty())
        return;
    if (!flow.fits(h * double(std::min<qsizetype>(2, rows.size()))) && !flow.fresh())
        flow.next();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!flow.fits(h) && !flow.fresh()) {
            flow.next();
            flow.moveTo(drawRow(p, x, flow.y(), columns, rows[0]));
        }
        flow.moveTo(drawRow(p, x, flow.y(), columns, rows[i]));
    }
}

void flowTextBox(PageFlow& flow, const QString& text, double x, double width, double laterWidth, double height)
{
    QPainter& p = flow.painter();
    setPaperFont(p, 10);
    QString rest = layoutText(text);
    for (;;) {
        const double room = flow.bottom() - flow.y();
        if (room < LeastBox && !flow.fresh()) {
            if (rest.isEmpty())
                return;
            flow.next();
            width = laterWidth;
            height = 0;
            continue;
        }
        // The lines that fit on this page.
        QTextLayout layout(rest, p.font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        QVector<QTextLine> lines;
        double used = 0;
        qsizetype stop = rest.size();
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width - 2 * PadX);
            if (!lines.isEmpty() && used + line.height() > room - 2 * PadY) {
                stop = line.textStart();
                break;
            }
            line.setPosition(QPointF(0, used));
            used += line.height();
            lines.append(line);
        }
        layout.endLayout();
        const bool more = stop < rest.size();
        const double boxHeight = more ? room : std::min(room, std::max(height, used + 2 * PadY));
        const QRectF box(x, flow.y(), width, boxHeight);
        p.setPen(QPen(Qt::black, PaperLineWidth));
        p.setBrush(Qt::white);
        p.drawRect(box);
        p.setPen(Qt::black);
        for (const QTextLine& line : lines)
            line.draw(&p, QPointF(x + PadX, flow.y() + PadY));
        flow.moveTo(flow.y() + boxHeight);
        if (!more)
            return;
        rest = rest.mid(stop);
        flow.next();
        width = laterWidth;
        height = 0;
    }
}

} // namespace qqc::report
