#pragma once
// The printers the report window sees: a small seam so tests stand in a PDF
// file for a printer, or no printer at all.

#include <QPageSize>
#include <QString>

#include <memory>

class QPrinter;

namespace qqc::report {

class ReportPrinters {
public:
    virtual ~ReportPrinters() = default;
    // The default printer's name; empty when there is none.
    virtual QString defaultPrinterName() const;
    // The paper the named printer uses; throws std::runtime_error when the
    // printer cannot be asked.
    virtual QPageSize paperOf(const QString& name) const;
    // A printer set up for `name`, full page, its own resolution.
    virtual std::unique_ptr<QPrinter> open(const QString& name) const;
};

} // namespace qqc::report
