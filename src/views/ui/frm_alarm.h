#pragma once
// frmAlarm, the "Alarms" window: the alarm sets (vsFlexAlarmSets) and the
// limits of the selected set (vsFlexAlarmDetails), with six buttons in three
// frames: add and delete a set, assign the selected set to the current
// sample or clear it (the SetAlarm event; the main window decides which
// sample and recalculates), make it the default or clear the default. The
// caption names the default set.
//
// The main window drives it through SetDB (the lists are read again at the
// next UpdateForm) and UpdateForm(AlarmID), called on every sample click:
// that only marks the set's row, and reads the limits only when the marked
// set changes. Commands go through EditorStore, one transaction each.

#include "views/alarm_detail_model.h"
#include "views/editable_list_model.h"
#include "views/editor_store.h"
#include "views/ui/editor_form.h"

#include <array>

class QPushButton;

namespace qqc {

class EditorGridView;

class frmAlarm : public EditorForm {
    Q_OBJECT
public:
    explicit frmAlarm(QWidget* parent = nullptr);
    ~frmAlarm() override;

    // --- called by the main window ---
    void UpdateForm(qint32 alarmId);
    // 1: the detail grid shows parameters 1097, 1098, 1100 instead of 97,
    // 98, 100; from its next filling on.
    void LetISO11171(short flag) { iso11171_ = flag; }

    // --- the buttons (CmdButton 0..5) ---
    void AddAlarm();
    void DeleteAlarm();
    void SetSampleAlarm();
    void clearSampleAlarm();
    void setDefaultAlarm();
    void clearDefaultAlarm();

    // --- grid events (grid rows: header 0, data 1..) ---
    void vsFlexAlarmSets_Click(int gridRow);
    void vsFlexAlarmSets_AfterEdit(int row, const QString& text);
    void vsFlexAlarmDetails_AfterEdit(int row, int column, const QString& text);

    // --- what tests and the main window read ---
    EditorGridView& sets() const { return *vsFlexAlarmSets; }
    EditorGridView& details() const { return *vsFlexAlarmDetails; }
    EditableListModel& setsModel() { return sets_; }
    AlarmDetailModel& detailModel() { return details_; }
    qint32 selectedAlarmId() const { return selected_; }
    QPushButton* button(int index) const { return CmdButton.at(size_t(index)); }

signals:
    void SetAlarm(qint32 alarmId);

private:
    void fillDetails(qint32 alarmId);
    void refreshCaption();
    // The set of the master grid's current row, 0 when none.
    qint32 currentSetId() const;

    EditableListModel sets_;
    AlarmDetailModel details_;
    EditorGridView* vsFlexAlarmSets = nullptr;
    EditorGridView* vsFlexAlarmDetails = nullptr;
    std::array<QPushButton*, 6> CmdButton{};
    qint32 selected_ = -1;
    short iso11171_ = 0;
};

} // namespace qqc
