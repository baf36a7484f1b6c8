#pragma once
// frmStatus: the status window. It shows the unit's current procedure step in
// txtStatus and, below it, the status panel GridControl (gauge, status
// caption, calibration caption and the two calibration dielectrics). It only
// shows state; the main window feeds it from the unit's messages and handles
// its two notifications (closed, read-frequency).

#include "link/unit_status.h"

#include <QFrame>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QProgressBar;

namespace qqc {

constexpr int TwipsPerPixel = 15;   // 1440 twips per inch at 96 pixels per inch
constexpr int twipsToPixels(int twips) { return twips / TwipsPerPixel; }

// Step between the panel's two positions (not plugged in / available).
constexpr int GridStatusStepTwips = 560;

class GridControl : public QFrame {
    Q_OBJECT
public:
    explicit GridControl(QWidget* parent = nullptr);

    void ShowUnitStatus(int code);
    void TotalTestTime(int seconds) { totalTestTime_ = seconds; }
    int totalTestTime() const { return totalTestTime_; }
    // "Cal: <date>" and the two dielectrics x 100 as text.
    void SetCalInfo(const QString& caption, const QString& dielA, const QString& dielB);

    QProgressBar* Gauge8700 = nullptr;
    QLabel* Gauge8700Text = nullptr;
    QLabel* lblCal = nullptr;
    QLabel* lblDiel = nullptr;

private:
    int totalTestTime_ = 50;
};

class frmStatus : public QWidget {
    Q_OBJECT
public:
    explicit frmStatus(QWidget* parent = nullptr);

    // Moves the panel (251 base top, 252 one step lower) and shows the code.
    void DoGridStatus(int code);
    void TotalTestTime(int seconds);
    void NewState(int state, int variant, int count);
    void CalInfo(const QString& caption, const QString& dielA, const QString& dielB);
    void Diel(int value) { readings_.dielectric = value; }
    void Iron(int value) { readings_.ferrous = value; }
    void Water(int value) { readings_.water = value; }
    void LCont(int value) { readings_.lcont = value; }

    const StatusReadings& readings() const { return readings_; }
    // The procedure text last shown (lines separated by CR LF).
    QString statusText() const { return stateText_; }
    GridControl* panel() const { return grid_; }
    int panelBaseTop() const { return baseTop_; }

    QPlainTextEdit* txtStatus = nullptr;

signals:
    void unloaded();
    // States 4, 24 and 25: the unit waits for the PC to read its frequency.
    void ReadFreq();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    GridControl* grid_ = nullptr;
    StatusReadings readings_;
    QString stateText_;   // as built, with CR LF between the lines
    int baseTop_ = 0;
};

} // namespace qqc
