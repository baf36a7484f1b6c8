#include "views/ui/frm_data.h"

#include "db/engine.h"
#include "util/common.h"
#include "util/prompter.h"
#include "util/std_error.h"
#include "util/ui/locale_font.h"
#include "views/ui/sample_grid_view.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qqc {

namespace {

// The Windows language identifier of the user's locale, for the few
// languages whose font SetLocaleFont chooses.
int userLanguageId()
{
    const QLocale locale = QLocale::system();
    switch (locale.language()) {
    case QLocale::Chinese:
        return (locale.territory() == QLocale::Taiwan || locale.territory() == QLocale::HongKong
                || locale.script() == QLocale::TraditionalChineseScript)
                   ? 1028
                   : 2052;
    case QLocale::Japanese: return 1041;
    case QLocale::Korean: return 1042;
    case QLocale::English: return locale.territory() == QLocale::UnitedStates ? 1033 : 2057;
    default: return 0;
    }
}

template <typename F>
bool trapped(const char* routine, F&& body)
{
    try {
        body();
        return true;
    } catch (const db::DbError& e) {
        ShowRoutineError(e.number(), e.description(), QLatin1String(routine));
    } catch (const std::exception& e) {
        ShowRoutineError(0, QString::fromLocal8Bit(e.what()), QLatin1String(routine));
    }
    return false;
}

} // namespace

frmData::frmData(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmData"));
    setWindowTitle(QStringLiteral("Sample Data"));

    vsFlexData = new SampleGridView(this);
    vsFlexData->setGridModel(&model_);

    static const char* const captions[] = {"", "Delete Sample(s)", "Recalculate Alarm(s)", "Export to CSV",
                                           "Export to VQM", "Import VQM"};
    auto* buttons = new QHBoxLayout;
    for (int i = 1; i <= 5; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(captions[i]), this);
        b->setObjectName(QStringLiteral("CmdButton_%1").arg(i));
        CmdButton[size_t(i)] = b;
        buttons->addWidget(b);
    }
    buttons->addStretch();
    CmdButton[5]->setVisible(false);  // until SetImport(true)

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(vsFlexData, 1);
    layout->addLayout(buttons);

    connect(CmdButton[1], &QPushButton::clicked, this, &frmData::DeleteSample);
    connect(CmdButton[2], &QPushButton::clicked, this, &frmData::recalculateSelected);
    connect(CmdButton[3], &QPushButton::clicked, this, &frmData::ExportCSV);
    connect(CmdButton[4], &QPushButton::clicked, this, &frmData::ExportVQM);
    connect(CmdButton[5], &QPushButton::clicked, this, &frmData::importVqm);

    connect(vsFlexData, &SampleGridView::gridMouseDown, this, &frmData::vsFlexData_MouseDown);
    connect(vsFlexData, &SampleGridView::gridMouseMove, this, &frmData::vsFlexData_MouseMove);
    connect(vsFlexData, &SampleGridView::gridMouseUp, this, &frmData::vsFlexData_MouseUp);
    connect(vsFlexData, &SampleGridView::gridClick, this, &frmData::vsFlexData_Click);
    connect(vsFlexData, &SampleGridView::gridArrowKey, this, &frmData::vsFlexData_ArrowKey);
    // The header is grid row 0: pressing it clears the highlight like any
    // other row, clicking it sorts.
    connect(vsFlexData, &SampleGridView::headerMouseDown, this,
            [this](Qt::MouseButton b) { vsFlexData_MouseDown(b, 0); });
    connect(vsFlexData, &SampleGridView::headerClick, this, [this](int column) {
        vsFlexData_MouseUp(0);
        vsFlexData_Click(0, column);
    });
    connect(&model_, &SampleGridModel::cellEdited, this,
            [this](int row, int column, const QString& text) { vsFlexData_AfterEdit(row + 1, column, text); });
    // Samples come in as first rows (this station's, and on a server other
    // stations'): the user's selection stays on its rows, now further down;
    // the first rows of an empty grid size the columns to real values, later
    // ones leave the widths (possibly set by the user) alone.
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        if (first != 0)
            return;
        const int count = last - first + 1;
        if (anchorFirst_ >= 1)
            anchorFirst_ += count;
        if (anchorLast_ >= 1)
            anchorLast_ += count;
        if (model_.rowCount() == count)
            vsFlexData->sizeColumns();
    });

    const int languageId = userLanguageId();
    SetLocaleFont(*this, languageId);
    for (QWidget* w : findChildren<QWidget*>())
        SetLocaleFont(*w, languageId);
}

frmData::~frmData() = default;

void frmData::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        // Shown again after a close, or handed a database while closed:
        // samples stored meanwhile were not pushed to the closed window, so
        // the grid is read afresh.
        if ((shownBefore_ || reopen_) && database_)
            UpdateForm();
        shownBefore_ = true;
        emit InitCtl();
    }
}

void frmData::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted() && loaded_) {
        loaded_ = false;
        emit Unload();
    }
}

void frmData::SetDB(db::Database* database)
{
    database_ = database;
    reopen_ = true;
}

void frmData::UpdateForm()
{
    vsFlexData->commitOpenEditor();
    trapped("UpdateForm", [&] {
        const bool columns = reopen_;
        if (reopen_) {
            model_.setStore(SampleGridStore(database_));
            reopen_ = false;
        }
        if (!model_.store().isValid()) {
            model_.setStore(SampleGridStore());
            return;
        }
        setUpdatesEnabled(false);
        try {
            model_.reload(columns);
        } catch (...) {
            setUpdatesEnabled(true);
            throw;
        }
        clearAnchors();
        sortState_.assign(size_t(model_.columnCount()), 0);
        vsFlexData->scrollToTop();
        vsFlexData->sizeColumns();
        setUpdatesEnabled(true);
    });
}

void frmData::AddDataToGrid(qint32 sampleId)
{
    vsFlexData->commitOpenEditor();
    if (!model_.store().isValid())
        return;
    model_.insertSampleAtTop(sampleId);
}

void frmData::RefreshSampleDisplay(qint32 sampleId)
{
    model_.refreshSample(sampleId);
}

void frmData::SetImport(bool visible)
{
    CmdButton[5]->setVisible(visible);
}

std::vector<qint32> frmData::highlightedSampleIds() const
{
    std::vector<qint32> ids;
    for (int row : model_.highlightedRows())
        ids.push_back(model_.sampleIdAt(row));
    return ids;
}

int frmData::sortState(int column) const
{
    if (column < 0 || column >= int(sortState_.size()))
        return 0;
    return sortState_[size_t(column)];
}

// --- commands ---------------------------------------------------------

void frmData::DeleteSample()
{
    if (model_.rowCount() == 0) {
        prompter().message(QStringLiteral("There are no samples to delete!"), MsgStyle::Ok, QString());
        return;
    }
    if (anchorFirst_ < 1 || anchorLast_ < 1) {
        MessageBoxEx(QStringLiteral("You have not selected a Sample!|Click on a Sample to select it. "), MsgStyle::Ok,
                     QString(), QStringLiteral("Deleting Samples"));
        return;
    }
    const int answer = MessageBoxEx(QStringLiteral("Are you sure you want to DELETE the selected Sample(s)?"),
                                    MsgStyle::YesNo + MsgStyle::Question);
    if (answer != Answer::Yes) {
        clearAnchors();  // the highlight stays
        return;
    }
    // Bottom row first, as the rows are removed.
    std::vector<qint32> ids = highlightedSampleIds();
    std::reverse(ids.begin(), ids.end());
    QList<qint32> gone;
    setUpdatesEnabled(false);
    trapped("DeleteSample", [&] {
        const std::vector<qint32> deleted = model_.store().deleteSamples(ids);
        model_.removeSamples(QSet<qint32>(deleted.begin(), deleted.end()));
        gone = QList<qint32>(deleted.begin(), deleted.end());
    });
    clearAnchors();
    setUpdatesEnabled(true);
    if (!gone.isEmpty())
        emit samplesDeleted(gone);
}

void frmData::recalculateSelected()
{
    if (anchorFirst_ < 1 || anchorLast_ < 1) {
        MessageBoxEx(QStringLiteral("Please select Sample(s) to Recalculate "));
        return;
    }
    // Each recalculation redraws its row; the list is taken first.
    for (qint32 id : highlightedSampleIds())
        emit RecalculateAlarms(id);
    MessageBoxEx(QStringLiteral("Finished"));
}

// --- grid events --------------------------------------------------------

void frmData::vsFlexData_MouseDown(Qt::MouseButton button, int gridRow)
{
    model_.clearHighlights();
    anchorFirst_ = button == Qt::LeftButton ? gridRow : -1;
}

void frmData::vsFlexData_MouseMove(int gridRow, bool leftHeld)
{
    if (!leftHeld || gridRow < 1)
        return;
    // Every row between the row where the drag began and the pointer, so a
    // fast drag leaves no gaps.
    const int from = anchorFirst_ >= 1 ? anchorFirst_ : gridRow;
    model_.highlightRange(from - 1, gridRow - 1);
}

void frmData::vsFlexData_MouseUp(int gridRow)
{
    anchorLast_ = anchorFirst_ != -1 ? gridRow : -1;
}

void frmData::vsFlexData_Click(int gridRow, int column)
{
    if (model_.rowCount() == 0)
        return;
    if (gridRow == 0) {
        sortByColumn(column);
        return;
    }
    if (gridRow < 1 || gridRow > model_.rowCount())
        return;
    const int row = gridRow - 1;
    model_.setHighlighted(row, true);
    emit SelFromGrid(model_.sampleIdAt(row));
    if (column == model_.commentsColumn()) {
        const QModelIndex cell = model_.index(row, column);
        vsFlexData->setCurrentIndex(cell);
        vsFlexData->edit(cell);
    } else if (column != SampleGridModel::ColEquipment) {
        anchorFirst_ = anchorLast_ = gridRow;
    }
}

void frmData::vsFlexData_ArrowKey(int currentGridRow)
{
    anchorFirst_ = anchorLast_ = currentGridRow;
}

void frmData::sortByColumn(int column)
{
    if (column < 0 || column >= model_.columnCount())
        return;
    if (sortState_.size() < size_t(model_.columnCount()))
        sortState_.resize(size_t(model_.columnCount()), 0);
    int& state = sortState_[size_t(column)];
    const int next = state == 2 ? 1 : 2;  // the first click sorts descending
    trapped("vsFlexData_Click", [&] {
        model_.sortByColumn(column, next == 2);
        state = next;
        vsFlexData->horizontalHeader()->setSortIndicatorShown(true);
        vsFlexData->horizontalHeader()->setSortIndicator(column, next == 2 ? Qt::DescendingOrder
                                                                           : Qt::AscendingOrder);
    });
}

void frmData::storeSampleText(qint32 sampleId, const QString& field, const QString& text)
{
    // An emptied cell stores null; a sample deleted meanwhile is skipped.
    const QVariant value = text.isEmpty() ? QVariant() : QVariant(text);
    if (model_.store().setSampleField(sampleId, field, value))
        emit sampleEdited(sampleId);
}

void frmData::vsFlexData_AfterEdit(int gridRow, int column, const QString& text)
{
    if (gridRow < 1 || gridRow > model_.rowCount())
        return;
    const int row = gridRow - 1;
    const qint32 sampleId = model_.sampleIdAt(row);
    trapped("vsFlexData_AfterEdit", [&] {
        switch (column) {
        case SampleGridModel::ColSampleNum:
            storeSampleText(sampleId, QStringLiteral("SampleNum"), text);
            model_.refreshRow(row);
            return;
        case SampleGridModel::ColEquipment:
            storeSampleText(sampleId, QStringLiteral("EquipmentID"),
                            text.left(SampleGridDelegate::kEquipmentIdLimit));
            model_.refreshRow(row);
            return;
        case SampleGridModel::ColUnitUsage:
        case SampleGridModel::ColOilUsage:
        case SampleGridModel::ColOilAdded: {
            if (text.isEmpty() || !gridTextIsNumeric(text)) {
                // Nothing stored: the cell shows blank, the stored value stays.
                if (!text.isEmpty())
                    prompter().beep();
                model_.blankCell(row, column);
                return;
            }
            const char* field = column == SampleGridModel::ColUnitUsage ? "UnitUsage"
                                : column == SampleGridModel::ColOilUsage ? "OilUsage" : "OilAdded";
            if (model_.store().setSampleField(sampleId, QLatin1String(field), text.trimmed()))
                emit sampleEdited(sampleId);
            model_.refreshRow(row);
            return;
        }
        default:
            break;
        }
        if (column == model_.commentsColumn()) {
            storeSampleText(sampleId, QStringLiteral("Comments"), text);
            model_.refreshRow(row);
            return;
        }
        if (column != model_.viscosityColumn() || column < 0)
            return;
        double number = 0;
        if (text.isEmpty() || !gridTextIsNumeric(text, &number)) {
            if (!text.isEmpty())
                prompter().beep();
            model_.blankCell(row, column);
            return;
        }
        const float viscosity = float(number);
        if (!model_.store().storeViscosity(sampleId, viscosity))
            return;  // deleted meanwhile
        emit sampleEdited(sampleId);
        model_.refreshRow(row);
        const std::optional<float> dielectric = model_.parameterValue(row, SampleGridModel::kDielectricParmId);
        if (!dielectric || model_.dielectricColumn() < 0) {
            // The viscosity stays stored; without a dielectric nothing can be
            // compared or judged.
            throw db::DbError(13, QStringLiteral("Type mismatch"));
        }
        emit ViscChg(sampleId, *dielectric, viscosity);
        emit RecalculateAlarms(sampleId);
    });
}

} // namespace qqc
