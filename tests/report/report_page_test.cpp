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
#include <QRegularExpression>
#include <QSqlQuery>
#include <QDir>

#include <cmath>
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

// The text of each page of a PDF.
QStringList pageTexts(const QString& pdf)
{
    const QString info = run("pdfinfo", {pdf});
    const int pages = info.section("Pages:", 1).trimmed().section('\n', 0, 0).toInt();
    QStringList texts;
    for (int i = 1; i <= pages; ++i)
        texts << run("pdftotext", {"-layout", "-f", QString::number(i), "-l", QString::number(i), pdf, "-"});
    return texts;
}

// Sixty more Wear parameters, and a comment of 300 numbered lines.
void makeLong(const QString& path)
{
    QStringList sql;
    for (int i = 0; i < 60; ++i)
        sql << QString("INSERT INTO Parameters (ParmID, ParmDescription, Format, ParmType) VALUES (%1, 'Extra %1', "
                       "'0.0', 1)").arg(1000 + i);
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QString("note %1 of the long comment").arg(i, 3, 10, QChar('0'));
    sql << "UPDATE Samples SET Comments = '" + lines.join("\r\n") + "' WHERE SampleID = 6";
    test::runSql(path, sql);
}

} // namespace

QQC_BOTH_ENGINES(ReportPage);

TEST_P(ReportPage, ReaderTakesTheShownSampleAndItsHistoryNewestFirst)
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

TEST_P(ReportPage, HistoryReadsUseTheEquipmentIndex)
{
    if (onServer())
        GTEST_SKIP() << "SQLite's query plan";
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

TEST_P(ReportPage, PdfCarriesTheHeaderTablesAndTriFold)
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

TEST_P(ReportPage, OnePictureRowSelectsTheImageLayoutEvenWhenItsFileIsMissing)
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

TEST_P(ReportPage, LongTablesAndCommentsRunOnOverPagesThatEachStartWithTheHeaderBlock)
{
    makeLong(path);
    const QString pdf = home.file("long.pdf");
    QString error;
    ASSERT_TRUE(writeReportPdf(pdf, input(6), QPageSize::A4, &error)) << error.toStdString();
    if (qEnvironmentVariableIsSet("QQC_KEEP_PDF"))
        QFile::copy(pdf, qEnvironmentVariable("QQC_KEEP_PDF"));
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    const QStringList pages = pageTexts(pdf);
    ASSERT_GE(pages.size(), 3);
    for (int i = 0; i < pages.size(); ++i) {
        const QString& t = pages[i];
        for (const QString& s : {QString("Page %1").arg(i + 1), QString("Header %d|x"), QString("Trend Report"),
                                 QString("Database:"), QString("Equipment ID:"), QString("PUMP|7;A")})
            EXPECT_TRUE(t.contains(s)) << "page " << i + 1 << " lacks " << s.toStdString();
    }
    // Every row and every comment line is printed once; the Wear table's
    // head row is repeated where the table goes on.
    const QString all = pages.join("\f");
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(1, all.count(QString("Extra %1").arg(1000 + i))) << 1000 + i;
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(1, all.count(QString("note %1 of").arg(i, 3, 10, QChar('0')))) << i;
    EXPECT_TRUE(pages[0].contains("Extra 1000"));
    EXPECT_TRUE(pages[1].contains("Extra 1059"));
    EXPECT_TRUE(QRegularExpression("^\\s*Wear ", QRegularExpression::MultilineOption).match(pages[1]).hasMatch())
        << pages[1].toStdString();
    EXPECT_TRUE(pages.last().contains("note 299 of"));
}

TEST_P(ReportPage, ImageLayoutKeepsTablesOffThePicturesAndMovesSqueezedCommentsOn)
{
    makeLong(path);
    QDir().mkpath(home.file("Img"));
    QImage picture(4000, 4000, QImage::Format_RGB32);
    picture.fill(qRgb(0, 128, 0));
    ASSERT_TRUE(picture.save(home.file("Img/green.png")));
    test::runSql(path, {"INSERT INTO Images (SampleID, ReportSlot, ImageFile) VALUES (6, 0, 'green.png')"});
    PageInput in = input(6);
    in.imageFlag = true;

    // Each page rendered at 10 twips a pixel.
    QImage img(12240 / 10, 15840 / 10, QImage::Format_RGB32);
    img.fill(Qt::white);
    QVector<QImage> pages;
    QPainter p(&img);
    p.scale(0.1, 0.1);
    const QStringList warnings = composeReport(p, QSizeF(12240, 15840), in, [&] {
        pages << img.copy();
        p.save();
        p.resetTransform();
        p.fillRect(img.rect(), Qt::white);
        p.restore();
    });
    p.end();
    pages << img;
    EXPECT_TRUE(warnings.isEmpty());
    ASSERT_GE(pages.size(), 2);
    // The picture square of slot 0, at the left margin above the bottom one,
    // is the picture's green at its corners: no table row lies on it.
    const int side = (12240 - 288 - 900) / 3;
    const int picTop = 15840 - 432 - side;
    for (const QPoint& at : {QPoint(144 + 60, picTop + 60), QPoint(144 + side - 60, picTop + 60)})
        EXPECT_EQ(qRgb(0, 128, 0), pages[0].pixel(at / 10) | 0xff000000) << at.x() << "," << at.y();
    // The squeezed comments box went on: the first page has none between
    // the tables and the pictures (white just above the picture row, right
    // of the table column's frame).
    EXPECT_EQ(qRgb(255, 255, 255), pages[0].pixel((144 + 3000) / 10, (picTop - 150) / 10) | 0xff000000);

    // The picture went into the PDF at no more than 300 dpi of its printed size.
    const QString pdf = home.file("pictures.pdf");
    ASSERT_TRUE(writeReportPdf(pdf, in, QPageSize::Letter));
    if (qEnvironmentVariableIsSet("QQC_KEEP_PDF"))
        QFile::copy(pdf, qEnvironmentVariable("QQC_KEEP_PDF") + ".pictures.pdf");
    if (QStandardPaths::findExecutable("pdfimages").isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    const QStringList list = run("pdfimages", {"-list", pdf}).split('\n', Qt::SkipEmptyParts);
    int largest = 0;
    for (const QString& line : list.mid(2))
        largest = std::max(largest, line.simplified().section(' ', 3, 3).toInt());
    EXPECT_GT(largest, 0);
    EXPECT_LE(largest, int(std::ceil(side / 1440.0 * 300)));
}
