#pragma once
// frmCal: the calibration history window, "Calibration History". It draws
// Freq220 and Freq300 of every stored calibration with their guide lines on
// CalChart, against the calibration number or date (optAxis). The rows and
// the plot come from report/cal_history.h; the window reads the rows afresh
// on every UpdateForm and keeps no record set open, so another database can
// take the file at any time.

#include "report/cal_history.h"

#include <QDialog>

class QRadioButton;

namespace qqc {

namespace db {
class Database;
}

class PlotWidget;

class frmCal : public QDialog {
    Q_OBJECT
public:
    explicit frmCal(QWidget* parent = nullptr);

    // The database to draw from (nullptr: none open); the next UpdateForm
    // reads it.
    void SetDB(db::Database* database);
    // Reads the calibrations and draws them (fewer than 4: nothing drawn).
    void UpdateForm();
    // The calibrations found by the last drawing (0 for none or no database).
    int NumCal() const { return plot_.numCal; }

    const CalPlot& plot() const { return plot_; }
    PlotWidget* CalChart() const { return chart_; }
    QRadioButton* optAxis(int index) const { return optAxis_[index]; }

private:
    void optAxis_Click(int index);
    void draw();

    db::Database* database_ = nullptr;
    QList<CalHistoryRow> rows_;
    CalAxis axis_ = CalAxis::Number;
    CalPlot plot_;
    PlotWidget* chart_ = nullptr;
    QRadioButton* optAxis_[2] = {};
};

} // namespace qqc
