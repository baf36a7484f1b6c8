#pragma once
// frmStatus: the status window. It shows the unit's current procedure step in
// txtStatus and, below it, the status panel GridControl (gauge, status
// caption, calibration caption and the two calibration dielectrics). It only
// shows the state kept by a UnitStateModel (link/unit_state_model.h) and
// follows its changes; closing it raises unloaded(), which clears the open
// flag the main window holds.

#include "link/unit_state_model.h"

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

    // Shows the model's status caption, its colour and the gauge.
    void showUnitStatus(const UnitStateModel& model);
    // Shows the model's calibration caption and dielectrics.
    void showCalInfo(const UnitStateModel& model);

    QProgressBar* Gauge8700 = nullptr;
    QLabel* Gauge8700Text = nullptr;
    QLabel* lblCal = nullptr;
    QLabel* lblDiel = nullptr;
};

class frmStatus : public QWidget {
    Q_OBJECT
public:
    // Shows `model` (not owned; it outlives the window).
    explicit frmStatus(UnitStateModel& model, QWidget* parent = nullptr);

    UnitStateModel& model() const { return model_; }
    GridControl* panel() const { return grid_; }
    int panelBaseTop() const { return baseTop_; }
    // Room for the procedure text and the panel at either position.
    QSize minimumSizeHint() const override;

    QPlainTextEdit* txtStatus = nullptr;

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showUnitStatus();
    void showStateText();

    UnitStateModel& model_;
    GridControl* grid_ = nullptr;
    int baseTop_ = 0;
};

} // namespace qqc
