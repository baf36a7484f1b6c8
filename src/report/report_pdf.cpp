#include "report/report_pdf.h"

#include "util/save_file.h"

#include <QBuffer>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>

namespace qqc::report {

QPageSize::PageSizeId defaultPaper(const QLocale& locale)
{
    const auto t = locale.territory();
    return t == QLocale::UnitedStates || t == QLocale::Canada ? QPageSize::Letter : QPageSize::A4;
}

bool writeReportPdf(const QString& path, const PageInput& in, QPageSize::PageSizeId paper, QString* error,
                    QStringList* warnings)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        constexpr int Dpi = 1200;
        pdf.setResolution(Dpi);
        pdf.setPageSize(QPageSize(paper));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(in.labels[7]);
        pdf.setCreator(QStringLiteral("QuorvelQC Monitor"));
        QPainter p;
        if (!p.begin(&pdf)) {
            if (error)
                *error = QStringLiteral("The PDF could not be started.");
            return false;
        }
        p.scale(Dpi / 1440.0, Dpi / 1440.0);
        const QSizeF page = QPageSize(paper).sizePoints() * 20.0;
        const QStringList w = composeReport(p, page, in, [&] { pdf.newPage(); });
        p.end();
        if (warnings)
            *warnings = w;
    }
    return SaveFileWhole(path, buffer.data(), error);
}

} // namespace qqc::report
