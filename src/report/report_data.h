#pragma once
// What one report shows, read from the database in one go: the sample, its
// reference oil and customer, the five tables with the report's own cell
// colours, the Trifold levels, the three trend series with their alarm
// limits, and the picture rows. The reads go through the equipment index
// (the last 5 or 12 samples, newest first) and by key, never through a scan
// of the samples.

#include <QDate>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <optional>

namespace qqc::db {
class Database;
}

namespace qqc::report {

// A table of the report: cells by row, each with its background and text colour.
struct ReportTable {
    struct Cell {
        QString text;
        QRgb background = qRgb(255, 255, 255);
        QRgb textColor = qRgb(0, 0, 0);
    };
    QVector<QVector<Cell>> rows;
    QVector<int> rowParms;   // the ParmID of each row of a severity table (0: the title row)
};

// One trend plot's data: up to 12 points, x in days since the day before
// the first one, y the value (nullopt: missing, a gap in the line).
struct TrendSeries {
    int parmId = 0;
    QString title;
    QVector<double> days;
    QVector<std::optional<double>> values;
    QDate firstDate, lastDate;   // one day before the first, one after the last
    std::array<double, 4> limits{};  // HighNormal, Alert, Alarm, Extreme; 0 when none
};

struct ReportData {
    bool found = false;          // the sample exists
    qint32 sampleId = 0;
    QString equipmentId;
    std::array<double, 3> levels{};   // Wear, Contamination, Chemistry, 0..5
    // 0 reference oil, 1 sample history, 2 Wear, 3 Contamination, 4 Chemistry.
    std::array<ReportTable, 5> tables;
    QString comments;
    bool hasCustomer = false;
    std::array<QString, 5> customerLines;
    std::array<TrendSeries, 3> trends;   // ParmID 59, 56, 60
    std::array<QString, 3> imageFiles;   // bare names; empty: no row
    QVector<qint32> historyIds;          // the samples read, newest first (the shown one first)
    bool hasImageRow() const { return !imageFiles[0].isEmpty() || !imageFiles[1].isEmpty() || !imageFiles[2].isEmpty(); }
};

// The trend parameters in plot order: ferrous, dielectric change, water.
constexpr std::array<int, 3> TrendParms = {59, 56, 60};

// Reads the report of `sampleId`; found is false when there is no such
// sample. Throws db::DbError on an engine failure.
ReportData readReport(db::Database& db, qint32 sampleId);

// Whether a change to `sampleId` can change what `shown` shows: a sample of
// its history, or one (now) of the same equipment. Reads the one sample by key.
bool changeTouchesReport(db::Database& db, const ReportData& shown, qint32 sampleId);

} // namespace qqc::report
