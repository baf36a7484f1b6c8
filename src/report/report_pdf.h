#pragma once
// The report of one sample as a PDF file, written whole or not at all.

#include "report/page_composer.h"

#include <QPageSize>

namespace qqc::report {

// Letter in US and Canadian locales, A4 elsewhere.
QPageSize::PageSizeId defaultPaper(const QLocale& locale);

// Writes the report to `path`; false with the reason in `error` (the file
// then stays as it was). `warnings` receives the pictures not found.
bool writeReportPdf(const QString& path, const PageInput& in, QPageSize::PageSizeId paper, QString* error = nullptr,
                    QStringList* warnings = nullptr);

} // namespace qqc::report
