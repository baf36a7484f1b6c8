#pragma once
// UnitStateModel: what the status window (frmStatus, link/ui) and its panel
// show, kept without a window. UnitLink writes the unit's status, procedure
// state and live readings into it, the Monitor the last test's readings, the
// calibration caption and the test time total; the window observes it
// through the signals below. Its operations keep the names of the status
// window's and panel's operations.
//
// The Monitor holds the status window's open flag; while it is clear nobody
// writes here, so nothing the unit sends meanwhile is kept for display.

#include "link/unit_status.h"

#include <QObject>
#include <QString>

namespace qqc {

class UnitStateModel : public QObject {
    Q_OBJECT
public:
    explicit UnitStateModel(QObject* parent = nullptr) : QObject(parent) {}

    // --- the status window's operations ---
    // 251 raises the panel to its base position, 252 lowers it one step;
    // then ShowUnitStatus(code).
    void DoGridStatus(int code);
    void TotalTestTime(int seconds) { totalTestTime_ = seconds; }
    // The procedure text of a state; states 4, 24 and 25 also ask for the
    // frequency read (ReadFreq).
    void NewState(int state, int variant, int count);
    void CalInfo(const QString& caption, const QString& dielA, const QString& dielB)
    {
        SetCalInfo(caption, dielA, dielB);
    }
    // The value setters only store; NewState 28 shows them.
    void Diel(int value) { readings_.dielectric = value; }
    void Iron(int value) { readings_.ferrous = value; }
    void Water(int value) { readings_.water = value; }
    void LCont(int value) { readings_.lcont = value; }

    // --- the panel's operations ---
    // Caption, colour and gauge for a status code; the gauge keeps its value
    // when the code's value is outside its range.
    void ShowUnitStatus(int code);
    // The calibration caption and "A: " + A / 100 + " B: " + B / 100.
    void SetCalInfo(const QString& caption, const QString& dielA, const QString& dielB);

    // --- what the window shows ---
    int totalTestTime() const { return totalTestTime_; }
    const StatusReadings& readings() const { return readings_; }
    // The procedure text last shown, lines separated by CR LF.
    const QString& stateText() const { return stateText_; }
    const QString& statusCaption() const { return statusCaption_; }
    bool statusRed() const { return statusRed_; }
    int gauge() const { return gauge_; }
    // True after 252 until the next 251.
    bool panelLowered() const { return panelLowered_; }
    const QString& calCaption() const { return calCaption_; }
    const QString& calDielectrics() const { return calDielectrics_; }

signals:
    void unitStatusChanged();   // caption, colour, gauge or panel position
    void stateTextChanged();
    void calInfoChanged();
    // States 4, 24 and 25: the unit waits for the PC to read its frequency.
    void ReadFreq();

private:
    StatusReadings readings_;
    int totalTestTime_ = 50;
    QString stateText_;
    QString statusCaption_;
    bool statusRed_ = false;
    int gauge_ = 0;
    bool panelLowered_ = false;
    QString calCaption_;
    QString calDielectrics_;
};

} // namespace qqc
