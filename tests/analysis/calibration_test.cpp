// The calibration model, the plausibility checks, the definition file's
// bytes, the "C" message payload and the fluid dielectric texts.

#include "analysis/calibration.h"
#include "support/file_size_limit.h"
#include "support/temp_home.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace qqc {
namespace {

const CalibrationSet kCal{5000, 4000, 220, 300};

TEST(DielectricModel, CalibrationCountsGiveTheirFluidsExactly)
{
    EXPECT_EQ(*CountToDielectric(5000, kCal), 220.0);
    EXPECT_EQ(*CountToDielectric(4000, kCal), 300.0);
    EXPECT_EQ(*DielectricIndex(5000, kCal), 220);
    EXPECT_EQ(*DielectricIndex(4000, kCal), 300);
    EXPECT_EQ(*DielectricIndex(4500, kCal), 260);
    EXPECT_EQ(*DielectricForChart(5000, kCal), 2.2);
    EXPECT_EQ(*DielectricForChart(4000, kCal), 3.0);
}

TEST(DielectricModel, ChartFormCapsAtSixteenAndRoundsToThreeDecimals)
{
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
    const CalRecord rec{1, 45000.5, 3500, 2900, 220, 300};
    EXPECT_EQ(rec.toBytes().toHex(' '), QByteArray("01 00 00 00 00 00 10 f9 e5 40 ac 0d 54 0b dc 00 2c 01"));
    const CalRecord extremes{-2, -1.25, -1, 32767, -32768, 0};
    EXPECT_EQ(extremes.toBytes().toHex(' '), QByteArray("fe ff 00 00 00 00 00 00 f4 bf ff ff ff 7f 00 80 00 00"));
    EXPECT_EQ(CalRecord::fromBytes(extremes.toBytes()), extremes);
}

TEST(CalFile, WriteThenReadRoundTripsAndKeepsTrailingBytes)
{
    test::TempHome home;
    const QString path = home.file(QString::fromLatin1(kCalFileName));
    const CalRecord rec{1, 45000.5, 3500, 2900, 220, 300};
    ASSERT_TRUE(WriteCalFile(path, rec));
    EXPECT_EQ(home.read(QString::fromLatin1(kCalFileName)), rec.toBytes());

    CalRecord back;
    EXPECT_EQ(ReadCalFile(path, back).status, CalFileStatus::Ok);
    EXPECT_EQ(back, rec);

    // A longer file keeps what follows its record when the record is rewritten.
    home.write(QString::fromLatin1(kCalFileName), rec.toBytes() + QByteArray("tail"));
    CalRecord changed = rec;
    changed.Diel300 = 301;
    ASSERT_TRUE(WriteCalFile(path, changed));
    EXPECT_EQ(home.read(QString::fromLatin1(kCalFileName)), changed.toBytes() + QByteArray("tail"));
    // Rewritten through a temporary file, which does not stay behind.
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList{QString::fromLatin1(kCalFileName)});
}

// A short or missing file is reported through the download in tests/app.
TEST(CalFile, FailedWriteIsReportedAndLeavesTheOldFileWhole)
{
    test::TempHome home;
    QString error;
    EXPECT_FALSE(WriteCalFile(home.file(QStringLiteral("missing-folder/") + QString::fromLatin1(kCalFileName)),
                              CalRecord{}, &error));
    EXPECT_FALSE(error.isEmpty());

    // A write that fails half-way must not leave a cut record behind.
    const QString path = home.file(QString::fromLatin1(kCalFileName));
    const CalRecord old{1, 45000.5, 3500, 2900, 220, 300};
    ASSERT_TRUE(WriteCalFile(path, old));
    {
        test::FileSizeLimit limit(8);
        EXPECT_FALSE(WriteCalFile(path, CalRecord{2, 1.0, 1, 2, 3, 4}, &error));
    }
    EXPECT_EQ(home.read(QString::fromLatin1(kCalFileName)), old.toBytes());
}

QByteArray calFrame(std::initializer_list<int> payload)
{
    QByteArray f("C");
    for (int b : payload)
        f.append(char(b));
    return f;
}

TEST(CalMessage, ReadsFourBigEndianWordsAndTwoTraceBytes)
{
    NewCalMessage m;
    ASSERT_TRUE(ParseCalMessage(calFrame({0x13, 0x88, 0x0F, 0xA0, 0x00, 0xDC, 0x01, 0x2C, 7, 255}), m));
    EXPECT_EQ(m.set(), (CalibrationSet{5000, 4000, 220, 300}));
    EXPECT_EQ(m.traceLine(), QStringLiteral("NewCal,5000,4000,220,300,7,255"));
}

TEST(CalMessage, WordAbove32767OrShortPayloadIsRejected)
{
    NewCalMessage m;
    m.words[0] = 1234;
    QString reason;
    EXPECT_FALSE(ParseCalMessage(calFrame({0x13, 0x88, 0x80, 0x00, 0x00, 0xDC, 0x01, 0x2C, 0, 0}), m, &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("Freq300 32768"))) << reason.toStdString();
    EXPECT_EQ(m.words[0], 1234);  // unchanged

    EXPECT_FALSE(ParseCalMessage(calFrame({0x13, 0x88, 0x0F}), m, &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("3 payload bytes"))) << reason.toStdString();
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
