#pragma once
// The engineering chart's data, without a window: the three channel series of
// a test record in "% Frequency" or "Dielectric" form with their y-axis
// range, and the texts of the four grids (labels, headers, values, upper-case
// hexadecimal columns). frmChart (report/ui) only shows what these return.
//
// "Dielectric" converts with the calibration the test itself carries
// (CalData), never with the unit's present calibration.

#include "core/cal_record.h"
#include "core/record.h"
#include "report/plot_axis.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace qqc {

enum class ChartMode { PercentFrequency, Dielectric };

// The test's own calibration, in the form the dielectric model takes.
CalibrationSet testCalibration(const TestRecord& record);

// A count as the chart shows it in "Dielectric" mode (at most 16); empty when
// the test's calibration counts are equal.
std::optional<double> chartDielectric(const TestRecord& record, double count);

// "% Frequency" range: base = raw8700[0] (1 when below 1), `lastSouth` =
// raw8700[299]. Every rounding takes a half to the even neighbour.
AxisRange percentFrequencyRange(double base, double lastSouth);
// "Dielectric" range from the dielectric of the first Base reading `a` and of
// the last South reading `b`.
AxisRange dielectricRange(double a, double b);

struct ChartPlot {
    static constexpr int SeriesCount = 3;   // Base, North, South
    std::array<QList<QPointF>, SeriesCount> series;
    AxisRange y;
    QString yTitle;     // "% Frequency" or "Dielectric"
    QString notice;     // why nothing is drawn (empty when the series are there)
};

const QStringList& chartSeriesNames();   // "Base", "North", "South"

// The chart of `record` in `mode`: point i of each series at x = i * 0.5.
ChartPlot chartPlot(const TestRecord& record, ChartMode mode);

// --- grid texts --------------------------------------------------------------

const QStringList& calcLabels();     // the 23 rows of vsCalcs
const QStringList& resultLabels();   // the 8 rows of vsSlvVars
const QStringList& calDataLabels();  // the 4 rows of vsCalData

// Upper-case hexadecimal of a 32-bit (or, for `bits` 16, 16-bit) value; a
// negative value in two's complement of that width.
QString hexText(qint64 value, int bits = 32);

// One vsRaw row below the header: reading number (1..100), Base, North,
// South, Temp, then the four raw values in hexadecimal. In "Dielectric" mode
// the channel columns show the dielectric (empty when there is none).
QStringList rawRowTexts(const TestRecord& record, int reading, ChartMode mode);

// vsCalcs / vsSlvVars / vsCalData rows: label, then the values ("Short" has
// an empty PC cell; vsCalData's second value is the hexadecimal form).
QList<QStringList> calcRows(const TestRecord& record);
QList<QStringList> resultRows(const TestRecord& record);
QList<QStringList> calDataRows(const TestRecord& record);

// The text shown when a selected sample has no stored test record.
QString noTestRecordText(const QString& sampleNumber);

} // namespace qqc
