#include "report/ui/frm_report.h"

#include "report/report_edits.h"
#include "report/report_pdf.h"
#include "db/engine.h"
#include "report/trend_plot.h"
#include "report/trifold_plot.h"
#include "report/ui/report_printer.h"
#include "util/common.h"
#include "util/prompter.h"
#include "util/std_error.h"

#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPageSize>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace qqc::report {

PlotSurface::PlotSurface(QSize units, QWidget* parent) : QWidget(parent), units_(units)
{
    setMinimumSize(units / 5);
}

void PlotSurface::setDrawing(std::function<void(QPainter&)> draw)
{
    draw_ = std::move(draw);
    update();
}

QImage PlotSurface::render(QSize pixels) const
{
    QImage img(pixels, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setWindow(0, 0, units_.width(), units_.height());
    if (draw_)
        draw_(p);
    return img;
}

void PlotSurface::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setWindow(0, 0, units_.width(), units_.height());
    if (draw_)
        draw_(p);
}

namespace {

// Paper for a PDF: the default printer's when Letter or A4, else by locale.
QPageSize::PageSizeId pdfPaper()
{
    const auto id = QPrinterInfo::defaultPrinter().defaultPageSize().id();
    return id == QPageSize::Letter || id == QPageSize::A4 ? id : defaultPaper(QLocale());
}

// Fills a table; `editable` says which cells a person may change.
void fillTable(QTableWidget* t, const ReportTable& table, int labelWidth, int columnWidth,
               const std::function<bool(int, int)>& editable)
{
    const QSignalBlocker quiet(t);
    t->clear();
    t->setRowCount(int(table.rows.size()));
    int columns = 0;
    for (const auto& row : table.rows)
        columns = std::max(columns, int(row.size()));
    t->setColumnCount(columns);
    for (int r = 0; r < table.rows.size(); ++r)
        for (int c = 0; c < table.rows[r].size(); ++c) {
            const ReportTable::Cell& cell = table.rows[r][c];
            auto* item = new QTableWidgetItem(cell.text);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable
                           | (editable(r, c) ? Qt::ItemIsEditable : Qt::NoItemFlags));
            item->setBackground(QColor(cell.background));
            item->setForeground(QColor(cell.textColor));
            if (c > 0 && columnWidth < 2000)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            t->setItem(r, c, item);
        }
    // Twips to pixels at 120 dpi: room for a date in a sample column.
    for (int c = 0; c < columns; ++c)
        t->setColumnWidth(c, (c == 0 ? labelWidth : columnWidth) / 12);
    t->setWordWrap(false);
    t->resizeRowsToContents();
    int width = 4, height = 4;
    for (int c = 0; c < columns; ++c)
        width += t->columnWidth(c);
    for (int r = 0; r < t->rowCount(); ++r)
        height += t->rowHeight(r);
    t->setFixedSize(width, height);
}

} // namespace

frmReport::frmReport(PageSettings settings, QWidget* parent) : QWidget(parent), settings_(std::move(settings))
{
    setObjectName(QStringLiteral("frmReport"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    toolbar_ = new QToolBar(this);
    for (const char* key : {"Print", "Preview"}) {
        const int mode = QByteArray(key) == "Print" ? 1 : 2;
        QAction* a = toolbar_->addAction(QString::fromLatin1(key), this, [this, mode] {
            const ReportPrinters real;
            const QString name = (printers_ ? printers_ : &real)->defaultPrinterName();
            if (!PrinterProblem(name, false))
                PrintReports(mode, name);
        });
        a->setObjectName(QString::fromLatin1(key));
    }
    toolbar_->addAction(QStringLiteral("PrintClose"), this, [this] { PrintReports(3); })
        ->setObjectName(QStringLiteral("PrintClose"));
    QAction* pdf = toolbar_->addAction(QStringLiteral("Save PDF"), this, [this] { savePdf(); });
    pdf->setObjectName(QStringLiteral("Save PDF"));
    outer->addWidget(toolbar_);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    DrawTri = new PlotSurface(QSize(1000, 1000), page);
    DrawTri->setFixedSize(300, 300);
    grid->addWidget(DrawTri, 0, 0, 1, 1);

    auto* right = new QVBoxLayout;
    Image1 = new QLabel(page);
    Image1->setFixedSize(144, 144);
    Image1->setScaledContents(true);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1);
    auto* companyBox = new QVBoxLayout;
    for (auto& l : txtText1) {
        l = new QLabel(page);
        companyBox->addWidget(l);
    }
    top->addLayout(companyBox);
    top->addStretch();
    right->addLayout(top);
    for (auto& l : txtText) {
        l = new QLabel(page);
        QFont f = l->font();
        f.setPointSize(12);
        l->setFont(f);
        right->addWidget(l);
    }
    right->addStretch();
    grid->addLayout(right, 0, 1);

    auto* tables = new QVBoxLayout;
    for (size_t i = 0; i < GridDataTable.size(); ++i) {
        auto* t = GridDataTable[i] = new QTableWidget(page);
        t->horizontalHeader()->hide();
        t->verticalHeader()->hide();
        t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(t, &QTableWidget::itemChanged, this, [this, i](QTableWidgetItem* item) {
            GridDataTable_AfterEdit(int(i), item->row(), item->column());
        });
        tables->addWidget(t);
    }
    tbComments = new QPlainTextEdit(page);
    tbComments->setReadOnly(true);
    tbComments->installEventFilter(this);
    tables->addWidget(tbComments);
    // The picture slots: a row below the comments, each a third of its width.
    auto* pictures = new QHBoxLayout;
    for (int i = 0; i < int(Img.size()); ++i) {
        auto* slot = Img[size_t(i)] = new QLabel(page);
        slot->setObjectName(QStringLiteral("Img_%1").arg(i));
        slot->setFrameShape(QFrame::Box);
        slot->setMinimumSize(120, 120);
        slot->setScaledContents(true);
        slot->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(slot, &QWidget::customContextMenuRequested, this,
                [this, i, slot](const QPoint& pos) { Img_MouseDown(i, slot->mapToGlobal(pos)); });
        pictures->addWidget(slot, 1);
    }
    tables->addLayout(pictures);
    grid->addLayout(tables, 1, 0);
    mnuImgMain = new QMenu(this);
    mnuImgMain->setObjectName(QStringLiteral("mnuImgMain"));
    mnuAddImg = mnuImgMain->addAction(QStringLiteral("Add Image"), this, [this] { mnuAddImg_Click(); });
    mnuAddImg->setObjectName(QStringLiteral("mnuAddImg"));
    mnuDelImg = mnuImgMain->addAction(QStringLiteral("Delete Image"), this, [this] { mnuDelImg_Click(); });
    mnuDelImg->setObjectName(QStringLiteral("mnuDelImg"));
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(0);
    connect(refreshTimer_, &QTimer::timeout, this, [this] { refresh(); });

    auto* plots = new QVBoxLayout;
    for (auto& s : DrawBarPlot) {
        s = new PlotSurface(QSize(3500, 1500), page);
        s->setFixedSize(420, 180);
        plots->addWidget(s);
    }
    plots->addStretch();
    grid->addLayout(plots, 1, 1);
    scroll->setWidget(page);
    outer->addWidget(scroll);
    clear();
}

frmReport::~frmReport() = default;

void frmReport::hideEvent(QHideEvent* event)
{
    saveComments();
    QWidget::hideEvent(event);
}

bool frmReport::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tbComments && event->type() == QEvent::FocusOut)
        saveComments();
    return QWidget::eventFilter(watched, event);
}

void frmReport::saveComments()
{
    if (db_ == nullptr || commentsSample_ == 0 || !tbComments->document()->isModified())
        return;
    const QString text = tbComments->toPlainText();
    tbComments->document()->setModified(false);
    if (text.isEmpty())
        return;   // clearing the box keeps the stored comment
    const qint32 id = commentsSample_;
    try {
        db_->execute(QStringLiteral("UPDATE Samples SET Comments = ? WHERE SampleID = ?"), {text, id});
    } catch (const db::DbError& e) {
        ShowRoutineError(e.number(), e.description(), QStringLiteral("tbComments_LostFocus"));
        return;
    }
    emit RefreshData(id);
}

void frmReport::SetDB(db::Database* database)
{
    saveComments();
    db_ = database;
    sampleId_ = 0;
    data_ = {};
    clear();
}

void frmReport::UpdateForm(qint32 sampleId)
{
    if (db_ == nullptr)
        return;
    saveComments();
    ReportData d;
    try {
        d = readReport(*db_, sampleId);
    } catch (const std::exception&) {
        return;
    }
    if (!d.found)
        return;
    sampleId_ = sampleId;
    data_ = d;
    if (data_.tables[1].rows.isEmpty()) {
        clear();
    } else {
        fill();
        showPictures(true);
    }
}

void frmReport::refresh()
{
    refreshTimer_->stop();
    if (db_ == nullptr || sampleId_ == 0)
        return;
    ReportData d;
    try {
        d = readReport(*db_, sampleId_);
    } catch (const std::exception&) {
        return;   // the window keeps what it shows; the next change tries again
    }
    data_ = d;
    if (!d.found) {
        commentsSample_ = 0;   // nothing left to save the box to
        sampleId_ = 0;
        data_ = {};
        clear();
    } else if (data_.tables[1].rows.isEmpty()) {
        clear();
    } else {
        fill();
        showPictures(false);
    }
}

void frmReport::scheduleRefresh() { refreshTimer_->start(); }

void frmReport::clear()
{
    for (auto* t : GridDataTable) {
        t->clear();
        t->setRowCount(0);
        t->setColumnCount(0);
    }
    DrawTri->setDrawing({});
    for (auto* s : DrawBarPlot)
        s->setDrawing({});
    tbComments->clear();
    tbComments->setReadOnly(true);
    commentsSample_ = 0;
    clearPictures();
    const PageInput in = settings_ ? settings_() : PageInput{};
    Image1->setPixmap(QPixmap::fromImage(reportLogo(in.labels[5])));
    for (int i = 0; i < 5; ++i) {
        txtText[size_t(i)]->setText(in.labels[size_t(i)]);
        txtText1[size_t(i)]->hide();
    }
}

void frmReport::fill()
{
    const PageInput in = settings_ ? settings_() : PageInput{};
    const auto levels = data_.levels;
    DrawTri->setDrawing([levels](QPainter& p) { DrawTriFold(p, levels, QRectF(0, 0, 1000, 1000), {}); });
    for (int i = 0; i < 5; ++i)
        fillTable(GridDataTable[size_t(i)], data_.tables[size_t(i)], 1400, i == 0 ? 4500 : 900,
                  [this, i](int r, int c) { return reportCellEdit(data_, i, r, c) != ReportEdit::None; });
    // A redraw of the same sample keeps what the user is typing.
    if (commentsSample_ != sampleId_ || !tbComments->document()->isModified()) {
        tbComments->setPlainText(data_.comments);
        tbComments->document()->setModified(false);
    }
    tbComments->setReadOnly(false);
    commentsSample_ = sampleId_;
    Image1->setPixmap(QPixmap::fromImage(reportLogo(in.labels[5])));
    for (int i = 0; i < 5; ++i) {
        txtText[size_t(i)]->setText(data_.hasCustomer ? data_.customerLines[size_t(i)] : in.labels[size_t(i)]);
        txtText1[size_t(i)]->setText(in.labels[size_t(i)]);
        txtText1[size_t(i)]->setVisible(data_.hasCustomer);
    }
    for (size_t i = 0; i < DrawBarPlot.size(); ++i) {
        const TrendSeries s = data_.trends[i];
        DrawBarPlot[i]->setDrawing([s](QPainter& p) { DrawBar(p, QRectF(0, 0, 3500, 1500), s, {}); });
    }
}

bool frmReport::checkSample(const ReportData& d)
{
    if (!d.found) {
        MessageBoxEx(QStringLiteral("Please select a Sample."));
        return false;
    }
    if (d.equipmentId.trimmed().isEmpty()) {
        MessageBoxEx(QStringLiteral("Please select a Sample with an Equipment ID."));
        return false;
    }
    return true;
}

PageInput frmReport::currentPage()
{
    saveComments();
    PageInput in = settings_ ? settings_() : PageInput{};
    if (db_ != nullptr && sampleId_ != 0) {
        try {
            in.data = readReport(*db_, sampleId_);
        } catch (const std::exception&) {
            in.data = {};
        }
    }
    in.databaseName = QDir::toNativeSeparators(in.databaseName);
    in.today = QDate::currentDate();
    return in;
}

bool frmReport::PrinterProblem(const QString& name, bool skipPaperCheck)
{
    if (name.isEmpty()) {
        MessageBoxEx(QStringLiteral("Printer not found.  Select a default printer"));
        return true;
    }
    const ReportPrinters real;
    try {
        if (!skipPaperCheck) {
            const auto id = (printers_ ? printers_ : &real)->paperOf(name).id();
            if (id != QPageSize::Letter && id != QPageSize::A4) {
                MessageBoxItems(QStringLiteral("Non standard paper size selected or incorrect printer: $"), MsgStyle::Ok,
                                {name});
                return true;
            }
        }
    } catch (const std::exception&) {
        MessageBoxItems(QStringLiteral("Problem with printer: [$]"), MsgStyle::Ok, {name});
        return true;
    }
    return false;
}

void frmReport::paintPages(QPrinter* printer)
{
    const PageInput in = currentPage();
    QPainter p;
    if (!p.begin(printer)) {
        ShowRoutineError(0, QStringLiteral("The printer could not be started"), QStringLiteral("PrintReports"));
        return;
    }
    const double dpi = printer->resolution();
    p.scale(dpi / 1440.0, dpi / 1440.0);
    const QSizeF page = printer->pageLayout().fullRectPoints().size() * 20.0;
    const QStringList warnings = composeReport(p, page, in, [printer] { printer->newPage(); });
    p.end();
    for (const QString& w : warnings)
        MessageBoxItems(QStringLiteral("$"), MsgStyle::Ok, {w});
}

void frmReport::PrintReports(int mode, const QString& name)
{
    if (mode == 3) {
        if (preview_ != nullptr)
            preview_->hide();
        return;
    }
    if (!checkSample(currentPage().data))
        return;
    const ReportPrinters real;
    std::unique_ptr<QPrinter> printer;
    try {
        printer = (printers_ ? printers_ : &real)->open(name);
    } catch (const std::exception& e) {
        ShowRoutineError(0, QString::fromLocal8Bit(e.what()), QStringLiteral("PrintReports"));
        return;
    }
    printer->setFullPage(true);
    if (mode == 1) {
        paintPages(printer.get());
        return;
    }
    delete preview_;
    previewPrinter_ = std::move(printer);
    preview_ = new QPrintPreviewWidget(previewPrinter_.get(), this);
    connect(preview_, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* p) { paintPages(p); });
    preview_->setGeometry(rect().adjusted(0, toolbar_->height(), 0, 0));
    preview_->fitInView();
    preview_->show();
    preview_->raise();
    preview_->updatePreview();
}

bool frmReport::savePdf()
{
    PageInput in = currentPage();
    if (!checkSample(in.data))
        return false;
    FileDialogRequest request;
    request.title = QStringLiteral("Save Report as PDF");
    request.folder = QDir::homePath();
    request.fileName = QStringLiteral("Sample %1.pdf").arg(in.data.sampleId);
    request.filter = QStringLiteral("PDF files (*.pdf)");
    const QString path = prompter().saveFileName(request);
    if (path.isEmpty())
        return false;
    QString error;
    QStringList warnings;
    const bool written = writeReportPdf(path, in, pdfPaper(), &error, &warnings);
    for (const QString& w : warnings)
        MessageBoxItems(QStringLiteral("$"), MsgStyle::Ok, {w});
    if (!written)
        MessageBoxItems(QStringLiteral("The report could not be written to $:|$"), MsgStyle::Exclamation,
                        {path, error});
    return written;
}

} // namespace qqc::report
