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

// The viscosity cell is the row of parameter 132 wherever the catalogue
// puts it, and only in the shown sample's column.
TEST_P(ReportPage, TheViscosityCellFollowsTheCatalogue)
{
    test::runSql(path, {"UPDATE Parameters SET ParmType = 3 WHERE ParmID = 59"});   // one row more above it
    const ReportData d = readReport(store->database(), 6);
    ASSERT_EQ(6, d.tables[4].rows.size());   // title, 56, 58, 59, 73, 132
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(row == 5 ? ReportEdit::Viscosity : ReportEdit::None, reportCellEdit(d, 4, row, 1)) << row;
    EXPECT_EQ(ReportEdit::None, reportCellEdit(d, 4, 5, 2));
    EXPECT_EQ(ReportEdit::OilAdded, reportCellEdit(d, 1, 4, 1));
}

// A sample deleted while its report was shown takes nothing, not even a
// detail row; an overflowing number is no number.
TEST_P(ReportPage, AnEditOfADeletedSampleOrANonFiniteNumberStoresNothing)
{
    db::Database& db = store->database();
    EXPECT_EQ(ReportEditResult::SampleGone, storeReportEdit(db, 99, ReportEdit::SampleNum, "x").outcome);
    EXPECT_EQ(ReportEditResult::SampleGone, storeReportEdit(db, 99, ReportEdit::Viscosity, "40").outcome);
    EXPECT_TRUE(field(db, "SELECT 1 FROM SampleDetails WHERE SampleID = 99").isNull());
    EXPECT_EQ(ReportEditResult::NotANumber, storeReportEdit(db, 6, ReportEdit::UnitUsage, "1e999").outcome);
}

TEST_P(ReportPage, APictureIsCopiedIntoImgOnceAndADifferentOneOfThatNameIsRefused)
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

    home.write("notes.jpg", "not a picture");
    EXPECT_EQ(PlacedPicture::NotAPicture, placePicture(home.file("notes.jpg"), img).outcome);
}
