#include "report/ui/report_printer.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <stdexcept>

namespace qqc::report {

QString ReportPrinters::defaultPrinterName() const { return QPrinterInfo::defaultPrinterName(); }

QPageSize ReportPrinters::paperOf(const QString& name) const
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    if (info.isNull())
        throw std::runtime_error("no such printer");
    return info.defaultPageSize();
}

std::unique_ptr<QPrinter> ReportPrinters::open(const QString& name) const
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPrinterName(name);
    printer->setPageSize(paperOf(name));
    return printer;
}

} // namespace qqc::report
