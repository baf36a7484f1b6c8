#pragma once
// The report window: one sample's Trifold plot, its five tables, the logo and
// address block, three trend plots and the comments, with a toolbar that
// writes the same report as a PDF file. With the image flag on, three
// picture slots (Img) below the comments take pictures through mnuImgMain.
//
// Edits: the comments, the shown sample's Sample #, usages and viscosity
// (report_edits.h) are stored here and raise RefreshData (the viscosity also
// ViscChg and RecalculateAlarms, judged by the Monitor). The window follows
// changes made anywhere (sampleEdited, sampleDeleted): it redraws once the
// events of the moment are handled, or clears when its sample is gone.

#include "report/page_composer.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QTimer;
class QPrinter;
class QPrintPreviewWidget;
class QPlainTextEdit;
class QTableWidget;
class QToolBar;

namespace qqc::db {
class Database;
}

namespace qqc::report {

class PlotSurface;
class ReportPrinters;

class frmReport : public QWidget {
    Q_OBJECT
public:
    // What the page needs besides the sample, read afresh at each use:
    // labels, colour reduction, image flag and Img folder.
    using PageSettings = std::function<PageInput()>;
    explicit frmReport(PageSettings settings, QWidget* parent = nullptr);
    ~frmReport() override;

    void SetDB(db::Database* database);
    // Shows `sampleId`; an unknown sample leaves the window as it was, a
    // sample without history (or no database) clears it.
    void UpdateForm(qint32 sampleId);
    qint32 currentSample() const { return sampleId_; }
    const ReportData& shown() const { return data_; }

    // "Save PDF": the sample read afresh, checked like a print, written to a
    // file chosen through the prompter. True when a file was written.
    bool savePdf();

    // Printing: the printers the window asks (not owned; the real ones when
    // never set).
    void setPrinters(const ReportPrinters* printers) { printers_ = printers; }
    // True, after its message, when printing must not start on `name`: no
    // printer, paper other than Letter or A4, or a printer that cannot be asked.
    bool PrinterProblem(const QString& name, bool skipPaperCheck);
    // 1 print, 2 preview over the window, 3 close the preview.
    void PrintReports(int mode, const QString& name = {});
    QPrintPreviewWidget* preview() const { return preview_; }

    QToolBar* toolbar() const { return toolbar_; }
    std::array<QTableWidget*, 5> GridDataTable{};
    PlotSurface* DrawTri = nullptr;
    std::array<PlotSurface*, 3> DrawBarPlot{};
    QLabel* Image1 = nullptr;
    std::array<QLabel*, 5> txtText{}, txtText1{};
    QPlainTextEdit* tbComments = nullptr;
    std::array<QLabel*, 3> Img{};
    QMenu* mnuImgMain = nullptr;
    QAction* mnuAddImg = nullptr;
    QAction* mnuDelImg = nullptr;

    // A cell of GridDataTable(index) was edited: stored when the cell allows
    // it and the text changed; a non-number in a numeric cell is refused
    // with a message and the previous text put back.
    void GridDataTable_AfterEdit(int index, int row, int column);
    // Right button on Img(slot) while a sample is shown: "add" for an empty
    // slot, "delete" for a used one, then the menu at `globalPos`.
    void Img_MouseDown(int slot, const QPoint& globalPos);
    void mnuAddImg_Click();
    void mnuDelImg_Click();

    // Changes made anywhere: a sample of the shown history (or of its
    // equipment) redraws the window; the shown sample deleted clears it.
    void sampleEdited(qint32 sampleId);
    void sampleDeleted(qint32 sampleId);

signals:
    void RefreshData(qint32 sampleId);
    void ViscChg(qint32 sampleId, float dielectric, float viscosity);
    void RecalculateAlarms(qint32 sampleId);

private:
    void clear();
    void fill();
    // The shown sample read again (after a change); cleared when it is gone.
    void refresh();
    void scheduleRefresh();
    // The picture slots from the shown rows; `announce`: a missing picture
    // gets its message (when a sample is shown, not at every redraw).
    void showPictures(bool announce);
    void clearPictures();
    // Stores the comment typed for the sample shown, when the user changed it
    // and it is not empty; then RefreshData.
    void saveComments();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // "Please select a Sample." / "... with an Equipment ID."; false after a message.
    bool checkSample(const ReportData& d);
    // The page as it is now: the sample read afresh, settings, today.
    PageInput currentPage();
    void paintPages(QPrinter* printer);

    PageSettings settings_;
    db::Database* db_ = nullptr;
    qint32 sampleId_ = 0;
    ReportData data_;
    qint32 commentsSample_ = 0;   // the sample the comments box was filled for
    QToolBar* toolbar_ = nullptr;
    const ReportPrinters* printers_ = nullptr;
    std::unique_ptr<QPrinter> previewPrinter_;
    QPrintPreviewWidget* preview_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
    int imageSlot_ = 0;   // the slot of the last right-click on a picture
};

// A drawing surface with a fixed coordinate system (1000 x 1000 for the
// Trifold, 3500 x 1500 for a trend plot) whatever its size on screen.
class PlotSurface : public QWidget {
    Q_OBJECT
public:
    PlotSurface(QSize units, QWidget* parent = nullptr);
    void setDrawing(std::function<void(QPainter&)> draw);
    // The drawing at `pixels` size, as the window shows it.
    QImage render(QSize pixels) const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QSize units_;
    std::function<void(QPainter&)> draw_;
};

} // namespace qqc::report
