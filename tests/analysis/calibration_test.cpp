// The calibration model, the plausibility checks, the definition file's
// bytes and the fluid dielectric texts. The "C" message is decoded through
// the Monitor in tests/app (a hand-written frame, rejected words).

#include "analysis/calibration.h"
#include "support/file_size_limit.h"
#include "support/temp_home.h"

#include <QDir>
#include <gtest/gtest.h>

namespace qqc {
namespace {

const CalibrationSet kCal{5000, 4000, 220, 300};
const CalRecord kRecord{1, 45000.5, 3500, 2900, 220, 300};

TEST(DielectricModel, CalibrationCountsGiveTheirFluidsAndTheChartFormIsCappedAndRounded)
{
    EXPECT_EQ(*CountToDielectric(5000, kCal), 220.0);
    EXPECT_EQ(*CountToDielectric(4000, kCal), 300.0);
    EXPECT_EQ(*DielectricForChart(-100000, kCal), 16.0);  // d far above 1600
    // 0.08 per count: 4999 gives 220.08, chart 2.2008 -> 2.201
    EXPECT_DOUBLE_EQ(*DielectricForChart(4999, kCal), 2.201);
    // Index form rounds halves to even: 0.1 per count, 220.5 -> 220, 221.5 -> 222.
    const CalibrationSet tenth{5000, 4000, 220, 320};
    EXPECT_EQ(*DielectricIndex(4995, tenth), 220);
    EXPECT_EQ(*DielectricIndex(4985, tenth), 222);
}

TEST(CalibrationChecks, WarnsOnSwappedCountsAndOnAnyZero)
{
    // 299 and 300 counts apart are checked through the Monitor in tests/app.
    EXPECT_TRUE(CalibrationOrderSuspicious({4000, 5000, 220, 300}));   // swapped
    EXPECT_FALSE(CalibrationOrderSuspicious({32767, -32768, 220, 300}));  // no overflow
    EXPECT_TRUE(CalibrationHasZero({0, 0, 0, 0}));
    EXPECT_TRUE(CalibrationHasZero({5000, 4000, 220, 0}));
    EXPECT_FALSE(CalibrationHasZero(kCal));
}

TEST(CalFile, KnownRecordHasTheseEighteenBytes)
{
    EXPECT_EQ(kRecord.toBytes().toHex(' '), QByteArray("01 00 00 00 00 00 10 f9 e5 40 ac 0d 54 0b dc 00 2c 01"));
    const CalRecord extremes{-2, -1.25, -1, 32767, -32768, 0};
    EXPECT_EQ(extremes.toBytes().toHex(' '), QByteArray("fe ff 00 00 00 00 00 00 f4 bf ff ff ff 7f 00 80 00 00"));
    EXPECT_EQ(CalRecord::fromBytes(extremes.toBytes()), extremes);
}

// Writing and reading the bare record run through the Monitor's new
// calibration and download in tests/app.
TEST(CalFile, RewriteKeepsTrailingBytesAndReadsBackTheRecord)
{
    test::TempHome home;
    const QString name = QString::fromLatin1(kCalFileName);
    home.write(name, kRecord.toBytes() + QByteArray("tail"));
    CalRecord changed = kRecord;
    changed.Diel300 = 301;
    ASSERT_TRUE(WriteCalFile(home.file(name), changed));
    EXPECT_EQ(home.read(name), changed.toBytes() + QByteArray("tail"));
    CalRecord back;
    EXPECT_EQ(ReadCalFile(home.file(name), back).status, CalFileStatus::Ok);
    EXPECT_EQ(back, changed);
    // Rewritten through a temporary file, which does not stay behind.
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList{name});
}

// A short or missing file is reported through the download in tests/app.
TEST(CalFile, FailedWriteIsReportedAndLeavesTheOldFileWhole)
{
    test::TempHome home;
    const QString name = QString::fromLatin1(kCalFileName);
    QString error;
    EXPECT_FALSE(WriteCalFile(home.file(QStringLiteral("missing-folder/") + name), CalRecord{}, &error));
    EXPECT_FALSE(error.isEmpty());

    // A write that fails half-way must not leave a cut record behind.
    ASSERT_TRUE(WriteCalFile(home.file(name), kRecord));
    {
        test::FileSizeLimit limit(8);
        EXPECT_FALSE(WriteCalFile(home.file(name), CalRecord{2, 1.0, 1, 2, 3, 4}, &error));
    }
    EXPECT_EQ(home.read(name), kRecord.toBytes());
}

TEST(DielectricText, FluidTextsBecomeHundredths)
{
    EXPECT_EQ(DielectricTextToValue(QStringLiteral("2.20")), qint16(220));
    EXPECT_EQ(DielectricTextToValue(QStringLiteral("3.00")), qint16(300));
    EXPECT_EQ(DielectricTextToValue(QStringLiteral(" 2.315 ")), qint16(232));  // 231.5 -> even
    EXPECT_FALSE(DielectricTextToValue(QStringLiteral("abc")));
    EXPECT_FALSE(DielectricTextToValue(QString()));
    EXPECT_FALSE(DielectricTextToValue(QStringLiteral("400")));  // 40000 does not fit
}

} // namespace
} // namespace qqc
