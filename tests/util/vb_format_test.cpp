#include "util/ole_date.h"
#include "util/vb_format.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace qqc {
namespace {

TEST(FormatNumber, DigitsRoundingGroupingSectionsAndLiterals)
{
    const struct {
        double value;
        const char* format;
        const char* text;
    } cases[] = {
        // Fixed decimals round half away from zero, from the decimal value as written.
        {3.14159, "0.00", "3.14"}, {0.125, "0.00", "0.13"}, {1.005, "0.00", "1.01"}, {-2.5, "0", "-3"},
        {9.999, "0.00", "10.00"}, {-0.001, "0.00", "0.00"},   // no "-0.00"
        // Leading zeros and optional digits.
        {7, "000", "007"}, {12345, "000", "12345"}, {0, "####", ""}, {123, "#####", "123"},
        {12.34, "####.#", "12.3"}, {12, "####.#", "12."}, {3.5, "###.000", "3.500"}, {0.5, "###.00", ".50"},
        // Thousands grouping.
        {1234567, "#,##0", "1,234,567"}, {999, "#,##0", "999"}, {0.04, "#,##0.0", "0.0"},
        {-1234.56, "#,##0.0", "-1,234.6"},
        // Sections for negative and zero; an empty negative section uses the first.
        {3, "0; ", "3"}, {0, "0; ", "0"}, {-1, "0; ", " "}, {-5, "0;(0)", "(5)"},
        {0, "0;(0);\"zero\"", "zero"}, {-5, "0;;x", "-5"},
        // Literals and percent.
        {5, "\"No. \"000", "No. 005"}, {0.256, "0.0%", "25.6%"}, {12.5, "0.00 cSt", "12.50 cSt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format(c.value, c.format), c.text) << c.value << " " << c.format;
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbourAndSinglesShowTheirShortForm)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(3.5), 4.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(-3.5), -4.0);
    EXPECT_EQ(RoundHalfEven(2.500001), 3.0);
    EXPECT_EQ(RoundHalfEven(0.25, 1), 0.2);
    EXPECT_EQ(RoundHalfEven(0.75, 1), 0.8);
    // Singles are written in their short form.
    EXPECT_EQ(SingleToText(0.41f), "0.41");
    EXPECT_EQ(SingleToText(0.004f), "0.004");
    EXPECT_EQ(SingleToText(1.0f), "1");
    EXPECT_EQ(SingleToText(0.0f), "0");
    EXPECT_EQ(SingleToText(1e-5f), "1E-05");
    EXPECT_EQ(SingleToText(1.0f / 3.0f), "0.3333333");
}

class FormatDate : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(FormatDate, ShortDateHasAFourDigitYearAndTimeHasNoLeadingHourZero)
{
    const QDateTime t(QDate(2026, 3, 7), QTime(7, 5, 9));
    EXPECT_EQ(Format(t, "Short Date"), "3/7/2026");
    EXPECT_EQ(Format(t, "h:mm"), "7:05");
    EXPECT_EQ(Format(QDateTime(QDate(2026, 3, 7), QTime(19, 45)), "h:mm"), "19:45");
    EXPECT_EQ(Format(t, "mm/dd/yyyy"), "03/07/2026");
    EXPECT_EQ(Format(t, "yyyy-mm-dd hh:nn:ss"), "2026-03-07 07:05:09");
    EXPECT_EQ(Format(t, "mmm d, yyyy"), "Mar 7, 2026");
    EXPECT_EQ(Format(QDateTime(QDate(2026, 3, 7), QTime(15, 0)), "h:mm AM/PM"), "3:00 PM");
}

TEST(OleDate, KnownDaysAndTimesRoundTripsAndNonsense)
{
    EXPECT_EQ(ToOleDate(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_EQ(ToOleDate(QDateTime(QDate(1900, 1, 1), QTime(12, 0))), 2.5);
    EXPECT_EQ(ToOleDate(QDateTime(QDate(2000, 1, 1), QTime(0, 0))), 36526.0);
    // Before day 0 the time still runs forward: 29 December 1899 06:00.
    EXPECT_EQ(ToOleDate(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    EXPECT_EQ(FromOleDate(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    EXPECT_EQ(FromOleDate(36526.75), QDateTime(QDate(2000, 1, 1), QTime(18, 0)));
    // Round trips to the millisecond; nonsense gives no date.
    const QDateTime t(QDate(2026, 12, 6), QTime(7, 31, 47, 123));
    EXPECT_EQ(FromOleDate(ToOleDate(t)), t);
    // Just short of midnight rounds up to the next day, not to 24:00.
    EXPECT_EQ(FromOleDate(1.0 - 1e-10), QDateTime(QDate(1899, 12, 31), QTime(0, 0)));
    EXPECT_FALSE(FromOleDate(std::nan("")).isValid());
    EXPECT_FALSE(FromOleDate(1e300).isValid());
}

} // namespace
} // namespace qqc
