// The record's text forms, as the database stores its tables.
#include "core/record.h"

#include <gtest/gtest.h>

using namespace qqc;

TEST(TestRecordText, TablesRoundTripThroughTheirTextForms)
{
    TestRecord a;
    for (int i = 0; i < TestRecord::RawCount; ++i)
        a.raw8700[size_t(i)] = i * 7 - 100;
    a.Temp.fill(25);
    a.CalData = {3500, 2900, 220, 300};
    a.PCRslt[1] = -10;
    EXPECT_EQ(testRecordFieldText(a, QStringLiteral("CalData")), QStringLiteral("3500,2900,220,300"));
    EXPECT_EQ(testRecordFieldText(a, QStringLiteral("Temp")),
              QStringList(100, QStringLiteral("25")).join(QLatin1Char(',')));

    TestRecord b;
    for (const QString& field : testRecordFieldNames())
        EXPECT_TRUE(setTestRecordFieldText(b, field, testRecordFieldText(a, field))) << field.toStdString();
    EXPECT_EQ(a, b);
}

TEST(TestRecordText, ShortListsLoadOnlyTheirItemsAndBadInputLosesNothing)
{
    TestRecord r;
    r.CalData = {1, 2, 3, 4};
    EXPECT_TRUE(setTestRecordFieldText(r, QStringLiteral("CalData"), QStringLiteral("5000,4600")));
    EXPECT_EQ(r.CalData, (std::array<std::int32_t, 4>{5000, 4600, 3, 4}));
    EXPECT_TRUE(setTestRecordFieldText(r, QStringLiteral("CalData"), QString()));
    EXPECT_EQ(r.CalData[0], 5000);
    // Too many items, a non-number, a value too big for a 16-bit table.
    EXPECT_FALSE(setTestRecordFieldText(r, QStringLiteral("CalData"), QStringLiteral("1,x,3,4,5")));
    EXPECT_EQ(r.CalData, (std::array<std::int32_t, 4>{1, 4600, 3, 4}));
    EXPECT_FALSE(setTestRecordFieldText(r, QStringLiteral("Temp"), QStringLiteral("70000,12")));
    EXPECT_EQ(r.Temp[0], 0);
    EXPECT_EQ(r.Temp[1], 12);
    EXPECT_FALSE(setTestRecordFieldText(r, QStringLiteral("NoSuchField"), QStringLiteral("1")));
}
