#pragma once
// The printed report: one sample laid out on pages in twips (1440 to the
// inch) through any QPainter (a PDF writer, a printer, a preview, an image).
// Every page starts with the header (label 6, today's date, "Page n") and
// the title with the database and equipment block. The first page holds the
// Trifold, logo, addresses, trend plots and pictures; tables and comments that
// do not fit on it run on over the following pages.

#include "report/report_data.h"

#include <QDate>
#include <QImage>
#include <QSizeF>
#include <QStringList>

#include <array>
#include <functional>

class QPainter;

namespace qqc::report {

struct PageInput {
    ReportData data;
    std::array<QString, 8> labels;   // company, address x2, telephone, e-mail, logo path, header, title
    int colorReduction = 0;          // clamped to 0..255 when drawn
    bool imageFlag = false;          // the image layout when a picture row exists
    QString imageFolder;             // the Img folder of the program folder
    QString databaseName;            // the open database file's full name
    QDate today;
};

// Margins in twips.
struct PageMargins {
    static constexpr double Top = 1008, Left = 144, Right = 144, Bottom = 432;
};
// The paper line width in twips, whatever the device's resolution.
constexpr double PaperLineWidth = 24;

// The picture file of a slot: the bare name inside `folder`; empty when the
// name has a separator or "..", or no such file exists.
QString pictureFile(const QString& folder, const QString& name);
// The logo: the label's file when it loads, else the built-in one.
QImage reportLogo(const QString& path);

// Lays the report out onto `p`, whose units must be twips over a page of
// `page` twips. `newPage` starts the next page of the device (the painter's
// state is set again after it). Pictures are drawn at no more than 300 dpi
// of their printed size. Returns the warnings (pictures not found) in the
// order met.
QStringList composeReport(QPainter& p, QSizeF page, const PageInput& in, const std::function<void()>& newPage);

} // namespace qqc::report
