#include "report/page_composer.h"

#include "report/report_colors.h"
#include "report/trend_plot.h"
#include "report/trifold_plot.h"
#include "util/vb_format.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace qqc::report {

namespace {

constexpr double Twips = 20;   // per point
const QRgb LabelShade = qRgb(228, 228, 228);

void setFont(QPainter& p, double points, bool bold = false, bool italic = false)
{
    QFont f = p.font();
    f.setFamily(QStringLiteral("Helvetica"));
    f.setPixelSize(std::max(1, int(std::lround(points * Twips))));
    f.setBold(bold);
    f.setItalic(italic);
    p.setFont(f);
}

double textHeight(const QPainter& p) { return QFontMetricsF(p.font()).height(); }

// One table: cells drawn from lists (never split from text), each with its
// background and text colour, text clipped to its cell. Returns the y below it.
double drawTable(QPainter& p, double x, double y, const QVector<double>& widths, const QVector<Qt::Alignment>& align,
                 const QVector<QVector<ReportTable::Cell>>& rows)
{
    const double rowHeight = textHeight(p) + 50;
    for (const auto& row : rows) {
        double cx = x;
        for (int c = 0; c < widths.size(); ++c) {
            const QRectF cellRect(cx, y, widths[c], rowHeight);
            const ReportTable::Cell cell = c < row.size() ? row[c] : ReportTable::Cell{};
            p.setPen(QPen(Qt::black, PaperLineWidth));
            p.setBrush(QColor(cell.background));
            p.drawRect(cellRect);
            p.setPen(QColor(cell.textColor));
            p.drawText(cellRect.adjusted(40, 0, -40, 0), int(align.value(c, Qt::AlignLeft) | Qt::AlignVCenter),
                       cell.text);
            cx += widths[c];
        }
        y += rowHeight;
    }
    return y;
}

// The report's colours on paper: reduced backgrounds, the red-cell text rule,
// the top-left cell shaded.
QVector<QVector<ReportTable::Cell>> paperCells(const ReportTable& t, int reduction)
{
    QVector<QVector<ReportTable::Cell>> rows = t.rows;
    const QRgb reducedRed = ReduceColor(qRgb(255, 0, 0), reduction);
    for (auto& row : rows)
        for (auto& cell : row) {
            cell.background = ReduceColor(cell.background, reduction);
            if (cell.background == reducedRed)
                cell.textColor = RedCellTextColor(reduction);
        }
    if (!rows.isEmpty() && !rows[0].isEmpty())
        rows[0][0].background = LabelShade;
    return rows;
}

void startOfPage(QPainter& p, QSizeF page, const PageInput& in, int number)
{
    p.save();
    const double left = PageMargins::Left, right = page.width() - PageMargins::Right;
    // Laid out upwards from the top margin: the database block ends just
    // above it, the title above the block, the header at the top.
    setFont(p, 8.25);
    const double blockTop = PageMargins::Top - 40 - (textHeight(p) + 50);
    setFont(p, 14, true, true);
    p.setPen(Qt::black);
    DrawAnchoredText(p, page.width() / 2, blockTop, in.labels[7], 4);
    setFont(p, 10, true);
    const double y = 40;
    DrawAnchoredText(p, left, y, in.labels[6], 0);
    DrawAnchoredText(p, page.width() / 2, y, Format(in.today.startOfDay(), "Short Date"), 1);
    DrawAnchoredText(p, right, y, QStringLiteral("Page %1").arg(number), 2);
    setFont(p, 8.25);
    const double w = std::floor((page.width() - PageMargins::Left - PageMargins::Right) / 2 - 1300);
    const QRgb shade = qRgb(192, 192, 192);
    auto c = [&](const QString& s) { return ReportTable::Cell{s, shade, qRgb(0, 0, 0)}; };
    drawTable(p, left, blockTop, {1300, w, 1300, w - 10},
              {Qt::AlignRight, Qt::AlignLeft, Qt::AlignRight, Qt::AlignLeft},
              {{c("Database:"), c(in.databaseName), c("Equipment ID:"), c(in.data.equipmentId)}});
    p.restore();
}

QImage builtInLogo()
{
    QImage logo(240, 240, QImage::Format_RGB32);
    logo.fill(QColor(0, 70, 140));
    QPainter p(&logo);
    p.setPen(Qt::white);
    QFont f;
    f.setPixelSize(44);
    f.setBold(true);
    p.setFont(f);
    p.drawText(logo.rect(), Qt::AlignCenter, QStringLiteral("Quorvel\nQC"));
    return logo;
}

} // namespace

QString pictureFile(const QString& folder, const QString& name)
{
    if (name.isEmpty() || name.contains('/') || name.contains('\\') || name.contains(QStringLiteral("..")))
        return {};
    const QString path = QDir(folder).filePath(name);
    return QFileInfo(path).isFile() ? path : QString();
}

QImage reportLogo(const QString& path)
{
    QImage logo;
    if (!path.isEmpty() && logo.load(path))
        return logo;
    return builtInLogo();
}

QStringList composeReport(QPainter& p, QSizeF page, const PageInput& in, const std::function<void()>& /*newPage*/)
{
    QStringList warnings;
    const ReportData& d = in.data;
    const int reduction = clampReduction(in.colorReduction);
    const double tm = PageMargins::Top, lm = PageMargins::Left;
    const double pw = page.width(), ph = page.height();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    startOfPage(p, page, in, 1);

    const bool imageLayout = in.imageFlag && d.hasImageRow();
    const double tri = imageLayout ? std::floor((pw - lm - PageMargins::Right - 200) / 3) : 5925;
    const double tableFont = imageLayout ? 6 : 7.5;

    TriFoldStyle ts;
    ts.labelSize = 9 * Twips;
    ts.lineWidth = PaperLineWidth;
    ts.page = true;
    ts.reduction = reduction;
    DrawTriFold(p, d.levels, QRectF(lm, tm, tri, tri), ts);

    // Tables.
    setFont(p, tableFont);
    double y = tm + tri + 200;
    if (!d.tables[0].rows.isEmpty()) {
        y = drawTable(p, lm, y, {1400, 4525}, {Qt::AlignLeft, Qt::AlignLeft}, paperCells(d.tables[0], reduction));
        y += 200;
    }
    for (int t = 1; t < 5; ++t) {
        if (d.tables[size_t(t)].rows.isEmpty())
            continue;
        y = drawTable(p, lm, y, {1400, 905, 905, 905, 905, 905},
                      {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight},
                      paperCells(d.tables[size_t(t)], reduction));
        y += 200;
    }
    const double commentsY = y;

    // Right column: logo, addresses.
    const double x0 = lm + tri + 200;
    const QImage logo = reportLogo(in.labels[5]);
    p.drawImage(QRectF(x0, tm, 2160, 2160), logo);
    p.setPen(Qt::black);
    const auto& company = in.labels;
    if (d.hasCustomer) {
        setFont(p, 9);
        double cy = tm;
        for (int i = 0; i < 5; ++i) {
            DrawAnchoredText(p, x0 + 2160 + 200, cy, company[size_t(i)], 0);
            cy += textHeight(p) + 50;
        }
    }
    setFont(p, 14);
    double ay = tm + 2160 + 200;
    for (int i = 0; i < 5; ++i) {
        DrawAnchoredText(p, x0, ay, d.hasCustomer ? d.customerLines[size_t(i)] : company[size_t(i)], 0);
        ay += textHeight(p) + 25;
    }

    // Trend plots.
    if (!d.tables[1].rows.isEmpty()) {
        const double left = imageLayout ? lm + 5925 + 200 : x0;
        QRectF r(left, imageLayout ? tm + tri + 200 : ay + 170, pw - left - 100, 1872);
        TrendStyle style;
        style.labelSize = 6 * Twips;
        style.page = true;
        for (const TrendSeries& s : d.trends) {
            DrawBar(p, r, s, style);
            r.translate(0, 1872 + 100);
        }
    }

    // Pictures, then the comments box above them.
    double commentsBottom = commentsY + 2880;
    double commentsWidth = pw - lm - PageMargins::Right;
    if (imageLayout) {
        const double side = std::floor((pw - PageMargins::Right - lm - 900) / 3);
        const double picTop = ph - PageMargins::Bottom - side;
        for (int i = 0; i < 3; ++i) {
            const QString& name = d.imageFiles[size_t(i)];
            if (name.isEmpty())
                continue;
            const QString file = pictureFile(in.imageFolder, name);
            QImage img;
            if (file.isEmpty() || !img.load(file)) {
                warnings << QStringLiteral("Image file not found: %1").arg(QDir(in.imageFolder).filePath(name));
                continue;
            }
            p.drawImage(QRectF(lm + i * (side + 300), picTop, side, side), img);
        }
        commentsBottom = picTop - 100;
        commentsWidth = 5925;
    }
    if (commentsBottom > commentsY) {
        const QRectF box(lm, commentsY, commentsWidth, commentsBottom - commentsY);
        p.setPen(QPen(Qt::black, PaperLineWidth));
        p.setBrush(Qt::white);
        p.drawRect(box);
        setFont(p, 10);
        p.drawText(box.adjusted(60, 40, -60, -40), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, d.comments);
    }
    p.restore();
    return warnings;
}

} // namespace qqc::report
