#include "report/page_composer.h"

#include "report/page_flow.h"
#include "report/report_colors.h"
#include "report/trend_plot.h"
#include "report/trifold_plot.h"
#include "util/vb_format.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPainter>

#include <cmath>

namespace qqc::report {

namespace {

constexpr double Twips = 20;   // per point
// Pictures are embedded at no more than this resolution of their printed size.
constexpr double PictureDpi = 300;
const QRgb LabelShade = qRgb(228, 228, 228);

double textHeight(const QPainter& p) { return QFontMetricsF(p.font()).height(); }

// The report's colours on paper: reduced backgrounds, the red-cell text rule,
// the top-left cell shaded.
TableRows paperCells(const ReportTable& t, int reduction)
{
    TableRows rows = t.rows;
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
    setPaperFont(p, 8.25);
    const double blockTop = PageMargins::Top - 40 - (textHeight(p) + 50);
    setPaperFont(p, 14, true, true);
    p.setPen(Qt::black);
    DrawAnchoredText(p, page.width() / 2, blockTop, in.labels[7], 4);
    setPaperFont(p, 10, true);
    const double y = 40;
    DrawAnchoredText(p, left, y, in.labels[6], 0);
    DrawAnchoredText(p, page.width() / 2, y, Format(in.today.startOfDay(), "Short Date"), 1);
    DrawAnchoredText(p, right, y, QStringLiteral("Page %1").arg(number), 2);
    setPaperFont(p, 8.25);
    const double w = std::floor((page.width() - PageMargins::Left - PageMargins::Right) / 2 - 1300);
    const QRgb shade = qRgb(192, 192, 192);
    auto c = [&](const QString& s) { return ReportTable::Cell{s, shade, qRgb(0, 0, 0)}; };
    drawTable(p, left, blockTop, {{1300, w, 1300, w - 10}, {Qt::AlignRight, Qt::AlignLeft, Qt::AlignRight, Qt::AlignLeft}},
              {{c("Database:"), c(in.databaseName), c("Equipment ID:"), c(in.data.equipmentId)}});
    p.restore();
}

// A picture no larger than it needs to be for `twips` at PictureDpi.
QImage forPaper(const QImage& image, QSizeF twips)
{
    const int w = int(std::ceil(twips.width() / 1440 * PictureDpi));
    const int h = int(std::ceil(twips.height() / 1440 * PictureDpi));
    if (image.width() <= w && image.height() <= h)
        return image;
    return image.scaled(std::min(w, image.width()), std::min(h, image.height()), Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation);
}

void drawPicture(QPainter& p, const QRectF& r, const QImage& image) { p.drawImage(r, forPaper(image, r.size())); }

// A picture file read straight at the size it is printed at (a JPEG decodes
// at a fraction of its size); null when it will not load.
QImage loadForPaper(const QString& file, QSizeF twips)
{
    QImageReader reader(file);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    const QSize wanted(int(std::ceil(twips.width() / 1440 * PictureDpi)), int(std::ceil(twips.height() / 1440 * PictureDpi)));
    if (full.isValid() && (full.width() > wanted.width() || full.height() > wanted.height()))
        reader.setScaledSize(full.boundedTo(wanted));
    return reader.read();
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

QStringList composeReport(QPainter& p, QSizeF page, const PageInput& in, const std::function<void()>& newPage)
{
    QStringList warnings;
    const ReportData& d = in.data;
    const int reduction = clampReduction(in.colorReduction);
    const double tm = PageMargins::Top, lm = PageMargins::Left;
    const double pw = page.width(), ph = page.height();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    startOfPage(p, page, in, 1);
    PageFlow flow(p, page, tm, PageMargins::Bottom, newPage, [&](int n) { startOfPage(p, page, in, n); });

    // The first page: Trifold, logo, addresses, trend plots and pictures.
    const bool imageLayout = in.imageFlag && d.hasImageRow();
    const double tri = imageLayout ? std::floor((pw - lm - PageMargins::Right - 200) / 3) : 5925;
    TriFoldStyle ts;
    ts.labelSize = 9 * Twips;
    ts.lineWidth = PaperLineWidth;
    ts.page = true;
    ts.reduction = reduction;
    DrawTriFold(p, d.levels, QRectF(lm, tm, tri, tri), ts);

    const double x0 = lm + tri + 200;
    drawPicture(p, QRectF(x0, tm, 2160, 2160), reportLogo(in.labels[5]));
    p.setPen(Qt::black);
    const auto& company = in.labels;
    if (d.hasCustomer) {
        setPaperFont(p, 9);
        double cy = tm;
        for (int i = 0; i < 5; ++i) {
            DrawAnchoredText(p, x0 + 2160 + 200, cy, company[size_t(i)], 0);
            cy += textHeight(p) + 50;
        }
    }
    setPaperFont(p, 14);
    double ay = tm + 2160 + 200;
    for (int i = 0; i < 5; ++i) {
        DrawAnchoredText(p, x0, ay, d.hasCustomer ? d.customerLines[size_t(i)] : company[size_t(i)], 0);
        ay += textHeight(p) + 25;
    }

    double trendBottom = 0;
    if (!d.tables[1].rows.isEmpty()) {
        const double left = imageLayout ? lm + 5925 + 200 : x0;
        // Below the addresses in both layouts, so the plots never cover them.
        QRectF r(left, imageLayout ? std::max(tm + tri + 200, ay + 170) : ay + 170, pw - left - 100, 1872);
        TrendStyle style;
        style.labelSize = 6 * Twips;
        style.page = true;
        for (const TrendSeries& s : d.trends) {
            DrawBar(p, r, s, style);
            trendBottom = r.bottom();
            r.translate(0, 1872 + 100);
        }
    }

    if (imageLayout) {
        const double side = std::floor((pw - PageMargins::Right - lm - 900) / 3);
        const double picTop = ph - PageMargins::Bottom - side;
        for (int i = 0; i < 3; ++i) {
            const QString& name = d.imageFiles[size_t(i)];
            if (name.isEmpty())
                continue;
            const QString file = pictureFile(in.imageFolder, name);
            const QRectF square(lm + i * (side + 300), picTop, side, side);
            const QImage img = file.isEmpty() ? QImage() : loadForPaper(file, square.size());
            if (img.isNull()) {
                warnings << QStringLiteral("Image file not found: %1").arg(QDir(in.imageFolder).filePath(name));
                continue;
            }
            drawPicture(p, square, img);
        }
        flow.setBottom(picTop - 100);
    }

    // Tables, then the comments: both run on over later pages as needed.
    setPaperFont(p, imageLayout ? 6 : 7.5);
    flow.moveTo(tm + tri + 200);
    if (!d.tables[0].rows.isEmpty()) {
        flowTable(flow, lm, {{1400, 4525}, {Qt::AlignLeft, Qt::AlignLeft}}, paperCells(d.tables[0], reduction));
        flow.moveTo(flow.y() + 200);
    }
    const TableColumns history{{1400, 905, 905, 905, 905, 905},
                               {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight,
                                Qt::AlignRight}};
    for (size_t t = 1; t < 5; ++t) {
        if (d.tables[t].rows.isEmpty())
            continue;
        flowTable(flow, lm, history, paperCells(d.tables[t], reduction));
        flow.moveTo(flow.y() + 200);
    }
    const double fullWidth = pw - lm - PageMargins::Right;
    if (imageLayout && flow.number() == 1) {
        flowTextBox(flow, d.comments, lm, 5925, fullWidth, flow.bottom() - flow.y());
    } else {
        // A full-width box on the first page starts below the trend plots.
        if (flow.number() == 1)
            flow.moveTo(std::max(flow.y(), trendBottom + 200));
        flowTextBox(flow, d.comments, lm, fullWidth, fullWidth, 2880);
    }
    p.restore();
    return warnings;
}

} // namespace qqc::report
