// Editing the report's cells and placing pictures, without a window.
#include "report/report_edits.h"
#include "report/report_fixture.h"
#include "report/report_pictures.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

using namespace qqc;
using namespace qqc::report;
using qqc::test::ReportPage;

namespace {

QVariant field(db::Database& db, const char* sql) { return db.queryValue(QString::fromLatin1(sql)); }

} // namespace

TEST_F(ReportPage, OnlyTheShownSamplesHistoryCellsAndItsViscosityRowAreEditable)
{
    // Ferrous joins the Chemistry axis: the viscosity row moves down by one.
    test::runSql(path, {"UPDATE Parameters SET ParmType = 3 WHERE ParmID = 59"});
    const ReportData d = readReport(store->database(), 6);
    const ReportEdit history[] = {ReportEdit::None, ReportEdit::SampleNum, ReportEdit::UnitUsage,
                                  ReportEdit::OilUsage, ReportEdit::OilAdded};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(history[row], reportCellEdit(d, 1, row, 1)) << row;
        EXPECT_EQ(ReportEdit::None, reportCellEdit(d, 1, row, 2)) << row;   // an older sample
        EXPECT_EQ(ReportEdit::None, reportCellEdit(d, 1, row, 0)) << row;   // the labels
    }
    const ReportTable& chemistry = d.tables[4];
    ASSERT_EQ(6, chemistry.rows.size());   // title, 56, 58, 59, 73, 132
    EXPECT_EQ(ReportEdit::Viscosity, reportCellEdit(d, 4, 5, 1));
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(ReportEdit::None, reportCellEdit(d, 4, row, 1)) << row;
    EXPECT_EQ(ReportEdit::None, reportCellEdit(d, 2, 1, 1));
    EXPECT_EQ(ReportEdit::None, reportCellEdit(d, 0, 0, 1));
    // An unknown sample shows nothing to edit.
    EXPECT_EQ(ReportEdit::None, reportCellEdit(readReport(store->database(), 99), 1, 2, 1));
}

TEST_F(ReportPage, EditsAreStoredOnlyWhenTheTextFitsTheCell)
{
    db::Database& db = store->database();
    test::runSql(path, {"INSERT INTO SampleDetails VALUES (6, 58, 2.5, 1)"});
    EXPECT_EQ(ReportEditResult::Stored, storeReportEdit(db, 6, ReportEdit::SampleNum, "A-6|x").outcome);
    EXPECT_EQ("A-6|x", field(db, "SELECT SampleNum FROM Samples WHERE SampleID = 6").toString());
    EXPECT_EQ(ReportEditResult::Stored, storeReportEdit(db, 6, ReportEdit::OilAdded, " 1.5 ").outcome);
    EXPECT_EQ("1.5", field(db, "SELECT OilAdded FROM Samples WHERE SampleID = 6").toString());
    for (const char* bad : {"abc", "", "1e999"})
        EXPECT_EQ(ReportEditResult::NotANumber, storeReportEdit(db, 6, ReportEdit::UnitUsage, bad).outcome) << bad;
    EXPECT_EQ("600", field(db, "SELECT UnitUsage FROM Samples WHERE SampleID = 6").toString());

    // The viscosity row is added when missing; the dielectric goes with it.
    const ReportEditResult visc = storeReportEdit(db, 6, ReportEdit::Viscosity, "50.5");
    EXPECT_EQ(ReportEditResult::Stored, visc.outcome);
    EXPECT_FLOAT_EQ(50.5f, visc.viscosity);
    EXPECT_FLOAT_EQ(2.5f, visc.dielectric);
    EXPECT_DOUBLE_EQ(50.5, field(db, "SELECT Value FROM SampleDetails WHERE SampleID = 6 AND ParmID = 132").toDouble());

    // A sample deleted meanwhile gets nothing, not even a detail row.
    EXPECT_EQ(ReportEditResult::SampleGone, storeReportEdit(db, 99, ReportEdit::SampleNum, "x").outcome);
    EXPECT_EQ(ReportEditResult::SampleGone, storeReportEdit(db, 99, ReportEdit::Viscosity, "40").outcome);
    EXPECT_TRUE(field(db, "SELECT 1 FROM SampleDetails WHERE SampleID = 99").isNull());
}

TEST_F(ReportPage, APictureIsCopiedIntoImgOnceAndADifferentOneOfThatNameIsRefused)
{
    const QString img = home.file("Img");
    ASSERT_TRUE(QDir().mkpath(img));
    ASSERT_TRUE(QDir().mkpath(home.file("camera")));
    QImage red(8, 8, QImage::Format_RGB32), blue(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    const QString chosen = home.file("camera/pump.png");
    ASSERT_TRUE(red.save(chosen));

    PlacedPicture p = placePicture(chosen, img);
    EXPECT_EQ(PlacedPicture::Placed, p.outcome);
    EXPECT_EQ("pump.png", p.name);
    EXPECT_TRUE(QFile::exists(img + "/pump.png"));
    // The same picture again, from outside or from Img itself: reused.
    EXPECT_EQ(PlacedPicture::Placed, placePicture(chosen, img).outcome);
    EXPECT_EQ(PlacedPicture::Placed, placePicture(img + "/pump.png", img).outcome);

    ASSERT_TRUE(blue.save(chosen));
    p = placePicture(chosen, img);
    EXPECT_EQ(PlacedPicture::NameTaken, p.outcome);
    EXPECT_EQ(QDir(img).filePath("pump.png"), p.existing);
    EXPECT_EQ(red.pixel(0, 0), QImage(img + "/pump.png").pixel(0, 0));   // the folder's file untouched

    const QString name32 = QString(28, 'a') + ".png", name33 = QString(29, 'a') + ".png";
    ASSERT_TRUE(red.save(home.file(name32)));
    ASSERT_TRUE(red.save(home.file(name33)));
    EXPECT_EQ(PlacedPicture::Placed, placePicture(home.file(name32), img).outcome);
    EXPECT_EQ(PlacedPicture::NameTooLong, placePicture(home.file(name33), img).outcome);
    EXPECT_FALSE(QFile::exists(img + "/" + name33));

    home.write("notes.jpg", "not a picture");
    EXPECT_EQ(PlacedPicture::NotAPicture, placePicture(home.file("notes.jpg"), img).outcome);
    EXPECT_FALSE(QFile::exists(img + "/notes.jpg"));
}
