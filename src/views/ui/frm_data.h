#pragma once
// frmData, the "Sample Data" window: every stored sample in one grid
// (vsFlexData), newest first, and five command buttons. The user corrects a
// sample's header data and viscosity here, highlights samples for
// recalculation, deletion and export, and clicks the sample the rest of the
// program shows. The window computes nothing itself: it raises events
// (SelFromGrid, RecalculateAlarms, ViscChg) that the main window handles, and
// the main window drives it through SetDB, UpdateForm, AddDataToGrid and
// RefreshSampleDisplay.
//
// Selection state: the highlighted rows (kept by the model) and two anchors,
// the first and last grid row of the current mouse selection (-1 when none;
// grid rows count from 1, the header is row 0). Multi-sample commands refuse
// to run while an anchor is below 1, and then act on exactly the highlighted
// rows.

#include "views/cell_text.h"
#include "views/sample_grid_model.h"

#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QProgressDialog;
class QPushButton;

namespace qqc {

namespace db {
class Database;
}

class SampleGridView;

class frmData : public QWidget {
    Q_OBJECT
public:
    // Open (shown and not closed since): data pushed to it is shown at once.
    bool isOpen() const { return loaded_; }
    explicit frmData(QWidget* parent = nullptr);
    ~frmData() override;

    // --- called by the main window ---
    // Keeps the database (not owned); the next UpdateForm reopens everything.
    void SetDB(db::Database* database);
    // Rebuilds the parameter columns (after SetDB) and the whole grid.
    void UpdateForm();
    // Commits an open cell editor, then shows the sample as the first row.
    void AddDataToGrid(qint32 sampleId);
    // Re-reads the sample's row from the database.
    void RefreshSampleDisplay(qint32 sampleId);
    // Shows or hides "Import VQM".
    void SetImport(bool visible);

    // --- the command buttons ---
    void DeleteSample();
    void recalculateSelected();
    // Exchange-file commands; their bodies live in frm_data_exchange.cpp.
    void ExportCSV();
    void ExportVQM();
    void importVqm();

    // --- what the exchange commands and tests read ---
    SampleGridView& grid() const { return *vsFlexData; }
    SampleGridModel& model() { return model_; }
    const SampleGridModel& model() const { return model_; }
    db::Database* database() const { return database_; }
    int firstAnchor() const { return anchorFirst_; }
    int lastAnchor() const { return anchorLast_; }
    void clearAnchors() { anchorFirst_ = anchorLast_ = -1; }
    bool hasSelection() const { return anchorFirst_ >= 1 && anchorLast_ >= 1; }
    // SampleIDs of the highlighted rows, top to bottom.
    std::vector<qint32> highlightedSampleIds() const;
    // Sort state of a column: 0 never sorted, 1 ascending, 2 descending.
    int sortState(int column) const;
    QPushButton* button(int index) const { return CmdButton.at(size_t(index)); }
    // How long an export or import runs before its progress window shows,
    // and a hook called when it does (tests cancel through it).
    void setProgressDelay(int ms) { progressDelayMs_ = ms; }
    void setProgressShownHook(std::function<void(QProgressDialog&)> hook) { progressShown_ = std::move(hook); }

    // --- grid events (grid rows: header 0, data 1..) ---
    void vsFlexData_MouseDown(Qt::MouseButton button, int gridRow);
    void vsFlexData_MouseMove(int gridRow, bool leftHeld);
    void vsFlexData_MouseUp(int gridRow);
    void vsFlexData_Click(int gridRow, int column);
    void vsFlexData_ArrowKey(int currentGridRow);
    void vsFlexData_AfterEdit(int gridRow, int column, const QString& text);

signals:
    void InitCtl();
    void Unload();
    void SelFromGrid(qint32 sampleId);
    void RecalculateAlarms(qint32 sampleId);
    void ViscChg(qint32 sampleId, float dielectric, float viscosity);
    // A cell of the sample was stored, or samples were deleted, by this window.
    void sampleEdited(qint32 sampleId);
    void samplesDeleted(const QList<qint32>& sampleIds);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void sortByColumn(int column);
    void storeSampleText(qint32 sampleId, const QString& field, const QString& text);
    void exportSelected(bool csv);

    SampleGridModel model_;
    SampleGridView* vsFlexData = nullptr;
    std::array<QPushButton*, 6> CmdButton{};  // index 1..5 as captioned
    db::Database* database_ = nullptr;
    bool reopen_ = false;
    bool loaded_ = false;
    bool shownBefore_ = false;
    int anchorFirst_ = -1;
    int anchorLast_ = -1;
    std::vector<int> sortState_;
    int progressDelayMs_ = 1000;
    std::function<void(QProgressDialog&)> progressShown_;
};

} // namespace qqc
