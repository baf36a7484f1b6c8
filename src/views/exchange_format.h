#pragma once
// The text of the two export files, line by line, from stored sample rows:
// the spreadsheet table (CSV) and the generic exchange file (revision 1.04).
// Pure: the writers (views/exchange_export.h) read the rows and write the
// lines. Lines come without their CR LF.
//
// CSV: a fixed header and one column per parameter; every field is followed
// by ",". A field holding a comma, a double quote or a line break is quoted
// with its quotes doubled, so a spreadsheet reads the columns where they are.
//
// Generic file: eight fixed lines, then one block per sample (unit,
// sample number, date, the severities that are set, the overall status, one
// line per parameter value, the comments). Tags are padded so that the colon
// is the 11th character; a parameter line puts its severity's comma in
// column 21 and wraps like a printer's tab stop when the text before a stop
// is too long. Line breaks inside texts become blanks, so no text reads back
// as a tag line.

#include "views/sample_grid_store.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

namespace qqc {

// The parameter catalogue as both files need it.
class ExchangeCatalogue {
public:
    explicit ExchangeCatalogue(std::vector<GridParameter> parameters);
    const std::vector<GridParameter>& parameters() const { return parameters_; }
    // The parameter record of a ParmID, nullptr when there is none.
    const GridParameter* find(int parmId) const;
    // The text of a value in the parameter's Format (that of ParmID - 1000
    // for a ParmID of 1000 or more); the short text when it has none.
    QString valueText(int parmId, float value) const;

private:
    std::vector<GridParameter> parameters_;
    QHash<int, int> index_;  // ParmID -> index into parameters_
};

// A sample the generic file cannot hold (no date, a parameter outside the
// catalogue's range); the export stops and names it.
class ExchangeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

QString csvField(const QString& text);
QString csvHeader(const ExchangeCatalogue& catalogue);
QString csvLine(const GridSampleRow& row, const ExchangeCatalogue& catalogue);

// The eight lines every generic file starts with.
QStringList genericHeaderLines();
// The block of one sample, joined with CR LF and ending in CR LF.
QString genericBlock(const GridSampleRow& row, const ExchangeCatalogue& catalogue);
// One parameter line (with its wraps, joined by CR LF).
QString genericParameterLine(const QString& tag, const QString& value, int severity);
// The overall status: the greatest of the three severities, rounded halves
// to even; 0 when none is above 0.
int overallStatus(const GridSampleRow& row);

} // namespace qqc
