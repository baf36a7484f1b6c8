// The report read from a copy of the built template, and written to a PDF
// that poppler reads back as text and pixels.
#include "report/report_fixture.h"
#include "report/page_composer.h"
#include "report/report_data.h"
#include "report/report_pdf.h"

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace qqc;
using qqc::test::ReportPage;
using namespace qqc::report;

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST_F(ReportPage, ReaderTakesTheShownSampleAndItsHistoryNewestFirst)
{
    const ReportData d = readReport(store->database(), 6);
    ASSERT_TRUE(d.found);
    EXPECT_EQ("PUMP|7;A", d.equipmentId);
    EXPECT_EQ(5, d.levels[0]);
    EXPECT_EQ(3, d.levels[1]);
    EXPECT_EQ(1, d.levels[2]);
    // Column 1 is sample 6 itself (not the later sample 8 of the same date).
    const auto& history = d.tables[1].rows;
    ASSERT_EQ(5, history.size());
    ASSERT_EQ(6, history[1].size());
    EXPECT_EQ("6", history[1][1].text);
    EXPECT_EQ("2", history[1][5].text);
    EXPECT_EQ("600", history[2][1].text);
    // Wear: the severity row, then the ferrous row with its cell colours.
    const auto& wear = d.tables[2].rows;
    EXPECT_EQ("Wear", wear[0][0].text);
    EXPECT_EQ(qRgb(255, 0, 0), wear[0][1].background);
    EXPECT_EQ(qRgb(255, 255, 255), wear[0][1].textColor);
    EXPECT_EQ("Ferrous Index", wear[1][0].text);
    EXPECT_EQ("60.0", wear[1][1].text);
    // Chemistry lists the dielectric and the viscosity too (not alarmed, so
    // the levels stay): row 4 is the viscosity.
    const auto& chemistry = d.tables[4].rows;
    ASSERT_EQ(5, chemistry.size());
    EXPECT_EQ("Dielectric", chemistry[2][0].text);
    EXPECT_EQ("Viscosity @ 40C", chemistry[4][0].text);
    // Trend: six points oldest first, the -999 a gap, the alarm set's limits.
    const TrendSeries& fe = d.trends[0];
    ASSERT_EQ(6, fe.values.size());
    EXPECT_EQ(1, fe.days[0]);
    EXPECT_FALSE(fe.values[2].has_value());
    EXPECT_DOUBLE_EQ(60, *fe.values[5]);
    EXPECT_EQ(QDate(2026, 3, 7), fe.lastDate);

    EXPECT_FALSE(readReport(store->database(), 99).found);
}

TEST_F(ReportPage, HistoryReadsUseTheEquipmentIndex)
{
    QSqlQuery q(store->database().connection());
    ASSERT_TRUE(q.exec("EXPLAIN QUERY PLAN SELECT SampleID FROM Samples WHERE EquipmentID = 'A' AND "
                       "(SampleDate < '2026' OR (SampleDate = '2026' AND SampleID <= 5)) "
                       "ORDER BY EquipmentID DESC, SampleDate DESC, SampleID DESC LIMIT 12"));
    QString plan;
    while (q.next())
        plan += q.value(3).toString() + "\n";
    EXPECT_TRUE(plan.contains("INDEX SamplesEquipment")) << plan.toStdString();
    EXPECT_FALSE(plan.contains("SCAN")) << plan.toStdString();
    EXPECT_FALSE(plan.contains("TEMP B-TREE")) << plan.toStdString();
}

TEST_F(ReportPage, PdfCarriesTheHeaderTablesAndTriFold)
{
    const QString pdf = home.file("report.pdf");
    QString error;
    ASSERT_TRUE(writeReportPdf(pdf, input(6), QPageSize::Letter, &error)) << error.toStdString();
    if (qEnvironmentVariableIsSet("QQC_KEEP_PDF"))
        QFile::copy(pdf, qEnvironmentVariable("QQC_KEEP_PDF"));
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    const QString text = run("pdftotext", {"-layout", pdf, "-"});
    for (const char* s : {"Trend Report", "Header %d|x", "Page 1", "Database:", "Equipment ID:", "PUMP|7;A",
                          "Ferrous Index", "60.0", "Acme Labs", "Oil looks dark", "Sample #"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
    EXPECT_TRUE(text.contains(QFileInfo(path).fileName()));

    // At 72 dpi (20 twips a pixel): the Trifold's outer band, straight below
    // its centre (left 144 + 5925 / 2, top 1008 + 0.65 * 5925 + 0.45 * 5 * 504),
    // is red; sample 6 is Wear 5, Contamination 3, Chemistry 1.
    run("pdftoppm", {"-png", "-r", "72", "-singlefile", pdf, home.file("page")});
    const QImage page(home.file("page.png"));
    ASSERT_FALSE(page.isNull());
    const int cx = (144 + 5925 / 2) / 20;
    const int cy = int((1008 + 0.65 * 5925) / 20);
    EXPECT_EQ(qRgb(0, 255, 0), page.pixel(cx, cy + 5) | 0xff000000);
    // The built-in logo is solid blue at its corner.
    EXPECT_EQ(qRgb(0, 70, 140), page.pixel((144 + 5925 + 200) / 20 + 3, 1008 / 20 + 3) | 0xff000000);
}

TEST_F(ReportPage, OnePictureRowSelectsTheImageLayoutEvenWhenItsFileIsMissing)
{
    test::runSql(path, {"INSERT INTO Images (SampleID, ReportSlot, ImageFile) VALUES (6, 1, 'gone.jpg')",
                        "INSERT INTO Images (SampleID, ReportSlot, ImageFile) VALUES (6, 2, '../escape.png')"});
    PageInput in = input(6);
    in.imageFlag = true;
    QImage img(12240 / 10, 15840 / 10, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.scale(0.1, 0.1);
    const QStringList warnings = composeReport(p, QSizeF(12240, 15840), in, {});
    p.end();
    ASSERT_EQ(2, warnings.size());
    EXPECT_TRUE(warnings[0].startsWith("Image file not found: ")) << warnings[0].toStdString();
    // The image layout's Trifold is a third of the width: its right edge lies
    // left of where the standard one's would.
    const int s = (12240 - 288 - 200) / 3;
    EXPECT_EQ(qRgb(255, 255, 255), img.pixel((144 + s + 100) / 10, (1008 + 3000) / 10) | 0xff000000);
}
