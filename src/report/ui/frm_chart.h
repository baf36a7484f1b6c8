#pragma once
// frmChart: the engineering chart window. It shows the program-wide test
// record it was given (the Monitor's current record) as the chart Chart8700
// (series Base, North, South) and the grids vsRaw, vsCalcs, vsSlvVars and
// vsCalData; the option buttons Option1 switch between "% Frequency" and
// "Dielectric". The data come from report/chart_data.h; this class only
// shows them.

#include "core/record.h"
#include "report/chart_data.h"

#include <QWidget>

class QLabel;
class QRadioButton;
class QTableWidget;

namespace qqc {

class PlotWidget;

class frmChart : public QWidget {
    Q_OBJECT
public:
    // `record` is read on every UpdateForm and mode switch; it must outlive
    // the window.
    explicit frmChart(const TestRecord& record, QWidget* parent = nullptr);

    // Shows the four grids when true, the chart alone when false.
    void SetChart(bool flag);
    // Refills vsRaw, the chart and the three other grids from the record.
    void UpdateForm();
    // A selected sample without a stored test record: says so and empties the
    // grids; the mode switch then draws nothing until the next UpdateForm.
    void showNoTestRecord(const QString& sampleNumber);

    ChartMode mode() const { return mode_; }
    PlotWidget* Chart8700() const { return chart_; }
    QRadioButton* Option1(int index) const { return option1_[index]; }
    QTableWidget* vsRaw() const { return vsRaw_; }
    QTableWidget* vsCalcs() const { return vsCalcs_; }
    QTableWidget* vsSlvVars() const { return vsSlvVars_; }
    QTableWidget* vsCalData() const { return vsCalData_; }
    QLabel* notice() const { return notice_; }

private:
    void Option1_Click(int index);
    void fillRawAndChart();
    void clearGrids();

    const TestRecord& record_;
    bool chartFlag_ = true;
    bool hasRecord_ = false;  // false while a sample without a record is shown
    ChartMode mode_ = ChartMode::PercentFrequency;
    PlotWidget* chart_ = nullptr;
    QRadioButton* option1_[2] = {};
    QTableWidget* vsRaw_ = nullptr;
    QTableWidget* vsCalcs_ = nullptr;
    QTableWidget* vsSlvVars_ = nullptr;
    QTableWidget* vsCalData_ = nullptr;
    QLabel* notice_ = nullptr;
    QWidget* grids_ = nullptr;
};

} // namespace qqc
