#include "views/ui/frm_alarm.h"

#include "util/common.h"
#include "util/prompter.h"
#include "util/std_error.h"
#include "views/cell_text.h"
#include "views/ui/editor_grid.h"
#include "views/ui/editor_window_parts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

namespace qqc {

namespace {
const QString kDeleting = QStringLiteral("Deleting Alarm Set");
}

frmAlarm::frmAlarm(QWidget* parent) : EditorForm(parent), sets_(alarmSetTable())
{
    setObjectName(QStringLiteral("frmAlarm"));
    setWindowTitle(QStringLiteral("Alarms"));

    vsFlexAlarmSets = new EditorGridView(this);
    vsFlexAlarmSets->setObjectName(QStringLiteral("vsFlexAlarmSets"));
    vsFlexAlarmSets->setModel(&sets_);
    vsFlexAlarmSets->setColumnHidden(0, true);
    vsFlexAlarmSets->horizontalHeader()->setStretchLastSection(true);

    vsFlexAlarmDetails = new EditorGridView(this);
    vsFlexAlarmDetails->setObjectName(QStringLiteral("vsFlexAlarmDetails"));
    vsFlexAlarmDetails->setHorizontalHeader(new ColouredHeaderView(vsFlexAlarmDetails));
    vsFlexAlarmDetails->setModel(&details_);
    vsFlexAlarmDetails->setColumnHidden(AlarmDetailModel::ColParmId, true);
    vsFlexAlarmDetails->setColumnWidth(AlarmDetailModel::ColParameter, 180);

    auto* grids = new QHBoxLayout;
    grids->addWidget(vsFlexAlarmSets, 1);
    grids->addWidget(vsFlexAlarmDetails, 2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addLayout(grids, 1);
    layout->addWidget(commandFrames({QStringLiteral("Alarm"), QStringLiteral("Sample Alarm"), QStringLiteral("Default Alarm")},
                                    CmdButton.data(), this));

    connect(CmdButton[0], &QPushButton::clicked, this, &frmAlarm::AddAlarm);
    connect(CmdButton[1], &QPushButton::clicked, this, &frmAlarm::DeleteAlarm);
    connect(CmdButton[2], &QPushButton::clicked, this, &frmAlarm::SetSampleAlarm);
    connect(CmdButton[3], &QPushButton::clicked, this, &frmAlarm::clearSampleAlarm);
    connect(CmdButton[4], &QPushButton::clicked, this, &frmAlarm::setDefaultAlarm);
    connect(CmdButton[5], &QPushButton::clicked, this, &frmAlarm::clearDefaultAlarm);
    connect(vsFlexAlarmSets, &EditorGridView::gridClick, this, [this](int row, int) { vsFlexAlarmSets_Click(row); });
    connect(&sets_, &EditableListModel::cellEdited, this,
            [this](int row, int, const QString& text) { vsFlexAlarmSets_AfterEdit(row, text); });
    connect(&details_, &AlarmDetailModel::cellEdited, this, &frmAlarm::vsFlexAlarmDetails_AfterEdit);
}

frmAlarm::~frmAlarm() = default;

void frmAlarm::UpdateForm(qint32 alarmId)
{
    reportFailure("UpdateForm", [&] {
        bool refilled = false;
        if (reopenStore()) {
            selected_ = -1;
            details_.setRows(0, {});
            sets_.setRecords(store_.isValid() ? store_.readAll(alarmSetTable()) : std::vector<ListRecord>{});
            refilled = true;
        }
        if (alarmId != 0 && (alarmId != selected_ || refilled)) {
            const int row = sets_.rowOf(alarmId);
            if (row >= 0) {
                vsFlexAlarmSets->markRow(row);
                fillDetails(alarmId);
            }
        } else if (alarmId == 0) {
            vsFlexAlarmSets->markRow(-1);
        }
        selected_ = alarmId;
        refreshCaption();
    });
}

void frmAlarm::fillDetails(qint32 alarmId)
{
    details_.setRows(alarmId, store_.alarmLimits(alarmId));
    for (int row = 0; row < details_.rowCount(); ++row)
        vsFlexAlarmDetails->setRowHidden(row, AlarmDetailModel::hiddenFor(details_.parmIdAt(row), iso11171_));
}

void frmAlarm::refreshCaption()
{
    if (!store_.isValid()) {
        setWindowTitle(QStringLiteral("Alarms"));
        return;
    }
    // A default that no longer exists shows as none, never as a stale name.
    const qint32 id = store_.defaultId(alarmSetTable());
    const auto set = id != 0 ? store_.read(alarmSetTable(), id) : std::nullopt;
    setWindowTitle(QStringLiteral("Alarms - Default: ") + (set ? set->values.value(1).toString() : QStringLiteral("None")));
}

qint32 frmAlarm::currentSetId() const
{
    return sets_.idAt(vsFlexAlarmSets->currentRow());
}

void frmAlarm::vsFlexAlarmSets_Click(int gridRow)
{
    if (gridRow < 1 || gridRow > sets_.rowCount())
        return;
    reportFailure("vsFlexAlarmSets_Click", [&] {
        selected_ = sets_.idAt(gridRow - 1);
        fillDetails(selected_);
    });
}

void frmAlarm::vsFlexAlarmSets_AfterEdit(int row, const QString& text)
{
    const qint32 id = sets_.idAt(row);
    reportFailure("vsFlexAlarmSets_AfterEdit", [&] {
        const CellInput in = readCellInput(alarmSetTable().columns[1], text);
        if (in.outcome == CellInput::Store)
            store_.setField(alarmSetTable(), id, 1, in.value);
        // The cell shows what is stored: the first 32 characters, or the
        // stored name again after an emptied cell.
        if (const auto rec = store_.read(alarmSetTable(), id))
            sets_.putRecord(*rec);
        refreshCaption();
    });
}

void frmAlarm::vsFlexAlarmDetails_AfterEdit(int row, int column, const QString& text)
{
    // The limits go to the set the grid shows, whatever row of the master
    // grid is current meanwhile.
    const qint32 alarmId = details_.alarmId();
    const int parmId = details_.parmIdAt(row);
    const int limit = column - AlarmDetailModel::ColFirstLimit;
    if (alarmId < 1 || limit < 0 || limit > 3)
        return;
    reportFailure("vsFlexAlarmDetails_AfterEdit", [&] {
        const CellInput in = readCellInput(alarmLimitColumn(), text);
        if (in.outcome == CellInput::Refuse)
            prompter().message(in.refusal, MsgStyle::Ok | MsgStyle::Exclamation, QStringLiteral("Alarms"));
        else
            store_.setLimit(alarmId, parmId, limit, in.value.toDouble());
        if (const auto stored = store_.alarmLimit(alarmId, parmId))
            details_.putLimits(*stored);
    });
}

void frmAlarm::AddAlarm()
{
    if (!store_.isValid()) {
        MessageBoxEx(QStringLiteral("Open or create a database before adding alarms."));
        return;
    }
    reportFailure("mnuAddAlarmSet", [&] {
        const qint32 id = store_.addAlarmSet();
        if (const auto rec = store_.read(alarmSetTable(), id))
            sets_.appendRecord(*rec);
        // The new set is marked and shown: its limits are filled in next.
        vsFlexAlarmSets->markRow(sets_.rowOf(id));
        selected_ = id;
        fillDetails(id);
    });
}

void frmAlarm::DeleteAlarm()
{
    if (sets_.rowCount() == 0) {
        prompter().message(QStringLiteral("There are no Alarm Sets to delete!"), MsgStyle::Ok, QString());
        return;
    }
    const int row = selected_ > 0 ? sets_.rowOf(selected_) : -1;
    if (row < 0) {
        prompter().message(QStringLiteral("You have not selected an Alarm Set to delete! "), MsgStyle::Ok, QString());
        return;
    }
    const qint32 id = selected_;
    const QString name = sets_.cellText(row, 1);
    static const QString inUse =
        QStringLiteral("There is a Sample using this Alarm Set:||Sample:$ Date:$ Equip. ID:$||Alarm Set cannot be deleted!");
    try {
        SampleUsing sample;
        auto removal = EditorStore::Removal::Missing;
        if (const auto s = store_.firstSampleUsing(alarmSetTable(), id)) {
            sample = *s;
            removal = EditorStore::Removal::InUse;
        } else if (prompter().message(QStringLiteral("Are you sure you want to delete Alarm Set: ") + name, MsgStyle::YesNo,
                                      kDeleting)
                   == Answer::Yes) {
            removal = store_.remove(alarmSetTable(), id, &sample);
            if (removal != EditorStore::Removal::InUse) {
                details_.setRows(0, {});
                sets_.setRecords(store_.readAll(alarmSetTable()));
            }
        }
        if (removal == EditorStore::Removal::InUse)
            MessageBoxItems(inUse, MsgStyle::Ok,
                            {QString::number(sample.sampleId), shortDateText(sample.sampleDate), sample.equipmentId},
                            kDeleting);
    } catch (const db::DbError&) {
        prompter().message(QStringLiteral("Error in routine: mnuDeleteAlarmSet_Click"), MsgStyle::Ok, QString());
    }
    selected_ = -1;
    vsFlexAlarmSets->markRow(-1);
    reportFailure("mnuDeleteAlarmSet_Click", [&] { refreshCaption(); });
}

void frmAlarm::SetSampleAlarm()
{
    const qint32 id = currentSetId();
    if (id < 1) {
        MessageBoxEx(QStringLiteral("Please select and alarm set first."));
        return;
    }
    emit SetAlarm(id);
}

void frmAlarm::clearSampleAlarm() { emit SetAlarm(0); }

void frmAlarm::setDefaultAlarm()
{
    const qint32 id = currentSetId();
    if (id < 1) {
        prompter().message(QStringLiteral("Please select an Alarm."), MsgStyle::Ok, QString());
        return;
    }
    reportFailure("CmdButton_Click", [&] {
        store_.setDefault(alarmSetTable(), id);
        refreshCaption();
    });
}

void frmAlarm::clearDefaultAlarm()
{
    if (!store_.isValid()) {
        MessageBoxEx(QStringLiteral("Open or create a database before changing alarms."));
        return;
    }
    reportFailure("CmdButton_Click", [&] {
        store_.setDefault(alarmSetTable(), 0);
        refreshCaption();
    });
}

} // namespace qqc
