#include "views/ui/editable_list_form.h"

#include "util/common.h"
#include "util/prompter.h"
#include "views/cell_text.h"
#include "views/ui/editor_grid.h"
#include "views/ui/editor_window_parts.h"

#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

namespace qqc {

EditableListForm::EditableListForm(const ListTable& table, ListFormTexts texts, QWidget* parent)
    : EditorForm(parent), table_(table), texts_(std::move(texts)), model_(table)
{
    setWindowTitle(texts_.caption);
    grid_ = new EditorGridView(this);
    grid_->setObjectName(texts_.gridName);
    grid_->setModel(&model_);
    grid_->setColumnHidden(0, true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(grid_, 1);
    layout->addWidget(commandFrames(texts_.frames, buttons_.data(), this));
    sortState_.assign(table_.columns.size(), 0);

    connect(buttons_[0], &QPushButton::clicked, this, &EditableListForm::addRecord);
    connect(buttons_[1], &QPushButton::clicked, this, &EditableListForm::deleteRecord);
    connect(buttons_[2], &QPushButton::clicked, this, &EditableListForm::setSample);
    connect(buttons_[3], &QPushButton::clicked, this, &EditableListForm::clearSample);
    if (hasDefault()) {
        connect(buttons_[4], &QPushButton::clicked, this, &EditableListForm::setDefault);
        connect(buttons_[5], &QPushButton::clicked, this, &EditableListForm::clearDefault);
    }
    connect(grid_, &EditorGridView::gridClick, this, &EditableListForm::gridClick);
    connect(&model_, &EditableListModel::cellEdited, this, &EditableListForm::afterEdit);
}

EditableListForm::~EditableListForm() = default;

void EditableListForm::UpdateForm(qint32 id)
{
    reportFailure("UpdateForm", [&] {
        bool refilled = false;
        if (reopenStore()) {
            selected_ = -1;
            sortState_.assign(table_.columns.size(), 0);
            grid_->horizontalHeader()->setSortIndicatorShown(false);
            model_.setRecords(store_.isValid() ? store_.readAll(table_) : std::vector<ListRecord>{});
            if (texts_.autoSizeColumn >= 0)
                grid_->resizeColumnToContents(texts_.autoSizeColumn);
            refilled = true;
        }
        if (id != 0 && (id != selected_ || refilled)) {
            const int row = model_.rowOf(id);
            if (row >= 0) {
                grid_->markRow(row);
                selected_ = id;
            }
        } else if (id == 0) {
            grid_->markRow(-1);
            selected_ = -1;
        }
        refreshCaption();
    });
}

void EditableListForm::refreshCaption()
{
    if (!hasDefault() || !store_.isValid()) {
        setWindowTitle(texts_.caption);
        return;
    }
    const qint32 id = store_.defaultId(table_);
    const auto rec = id != 0 ? store_.read(table_, id) : std::nullopt;
    QStringList parts;
    for (int column : texts_.captionColumns)
        parts << (rec ? cellDisplayText(table_.columns[size_t(column)], rec->values.value(column)) : QString());
    setWindowTitle(texts_.caption + QStringLiteral(" - Default: ")
                   + (rec ? parts.join(QStringLiteral(" - ")) : QStringLiteral("None")));
}

void EditableListForm::gridClick(int gridRow, int column)
{
    if (gridRow >= 1 && gridRow <= model_.rowCount()) {
        selected_ = model_.idAt(gridRow - 1);
        return;
    }
    if (gridRow != 0 || column < 0 || column >= int(sortState_.size()) || model_.rowCount() == 0)
        return;
    int& state = sortState_[size_t(column)];
    state = state == 2 ? 1 : 2;  // the first click sorts descending
    model_.sortByColumn(column, state == 2);
    grid_->horizontalHeader()->setSortIndicatorShown(true);
    grid_->horizontalHeader()->setSortIndicator(column, state == 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
    grid_->markRow(selected_ > 0 ? model_.rowOf(selected_) : -1);
}

void EditableListForm::afterEdit(int row, int column, const QString& text)
{
    const qint32 id = model_.idAt(row);
    try {
        const CellInput in = readCellInput(table_.columns.at(size_t(column)), text);
        if (in.outcome == CellInput::Refuse)
            prompter().message(in.refusal, MsgStyle::Ok | MsgStyle::Exclamation, texts_.caption);
        else if (in.outcome == CellInput::Store)
            store_.setField(table_, id, column, in.value);
        // The row shows what is stored (a record deleted meanwhile goes).
        if (const auto rec = store_.read(table_, id))
            model_.putRecord(*rec);
        else
            model_.removeRecord(id);
        refreshCaption();
    } catch (const db::DbError&) {
        ShowRoutineError(texts_.editRoutine);
    }
}

void EditableListForm::addRecord()
{
    if (!store_.isValid()) {
        MessageBoxEx(texts_.noDatabaseAdd);
        return;
    }
    reportFailure(texts_.addRoutine.toLatin1().constData(), [&] {
        const qint32 id = store_.add(table_);
        if (const auto rec = store_.read(table_, id))
            model_.appendRecord(*rec);
        grid_->markRow(model_.rowOf(id));
        selected_ = id;
    });
}

void EditableListForm::deleteRecord()
{
    if (model_.rowCount() == 0) {
        prompter().message(texts_.noneToDelete, MsgStyle::Ok, QString());
        return;
    }
    const int row = selected_ > 0 ? model_.rowOf(selected_) : -1;
    if (row < 0) {
        prompter().message(texts_.noneSelected, MsgStyle::Ok, QString());
        return;
    }
    const qint32 id = selected_;
    QStringList label;
    for (int column : texts_.confirmColumns)
        label << model_.cellText(row, column);
    reportFailure(texts_.deleteRoutine.toLatin1().constData(), [&] {
        SampleUsing sample;
        auto removal = EditorStore::Removal::Missing;
        if (const auto s = store_.firstSampleUsing(table_, id)) {
            sample = *s;
            removal = EditorStore::Removal::InUse;
        } else if (MessageBoxItems(texts_.confirmDelete, MsgStyle::YesNo, label, texts_.deleteTitle) == Answer::Yes) {
            removal = store_.remove(table_, id, &sample);
            if (removal != EditorStore::Removal::InUse) {
                model_.removeRecord(id);
                grid_->markRow(-1);
                selected_ = -1;
                refreshCaption();
            }
        }
        if (removal == EditorStore::Removal::InUse)
            MessageBoxItems(texts_.inUse, MsgStyle::Ok,
                            {QString::number(sample.sampleId), shortDateText(sample.sampleDate), sample.equipmentId},
                            texts_.deleteTitle);
    });
}

void EditableListForm::setSample()
{
    const int row = grid_->currentRow();
    if (row < 0 || model_.idAt(row) < 1) {
        prompter().message(texts_.selectFirst, MsgStyle::Ok, QString());
        return;
    }
    raiseAssignment(row);
}

void EditableListForm::clearSample() { raiseAssignment(-1); }

void EditableListForm::setDefault()
{
    const qint32 id = model_.idAt(grid_->currentRow());
    if (id < 1) {
        prompter().message(texts_.selectFirst, MsgStyle::Ok, QString());
        return;
    }
    reportFailure("CmdButton_Click", [&] {
        store_.setDefault(table_, id);
        refreshCaption();
    });
}

void EditableListForm::clearDefault()
{
    if (!store_.isValid()) {
        MessageBoxEx(texts_.noDatabaseDefault);
        return;
    }
    reportFailure("CmdButton_Click", [&] {
        store_.setDefault(table_, 0);
        refreshCaption();
    });
}

} // namespace qqc
