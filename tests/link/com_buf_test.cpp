#include "link/com_buf.h"

#include <gtest/gtest.h>

#include <string>

using qqc::clsComBuf;

namespace {
void store(clsComBuf& b, const std::string& bytes)
{
    for (char c : bytes)
        b.StoreByte(std::uint8_t(c));
}
} // namespace

TEST(ComBuf, LocatesTagsOnlyWithinTheLengthAndTrimsJunkWithTheStartTag)
{
    clsComBuf b;
    EXPECT_EQ(b.LocateEnd(), -1);
    EXPECT_EQ(b.LocateStart(), -1);
    store(b, "K<E>");
    EXPECT_EQ(b.LocateEnd(), -2);   // payload length 0
    store(b, "<S");
    EXPECT_FALSE(b.CheckForEnd());
    EXPECT_EQ(b.LocateStart(), -1);   // "<S" without ">" is no tag

    b.Init();
    store(b, "xy<S>K\xFC<E>");
    ASSERT_TRUE(b.CheckForEnd());
    ASSERT_EQ(b.LocateStart(), 2);
    b.FrontTrim(2 + 3);
    EXPECT_EQ(b.GetByte(0), 'K');
    EXPECT_EQ(b.GetByte(1), 0xFC);
    EXPECT_EQ(b.LocateEnd() + 2, 1);   // one payload byte
    EXPECT_EQ(b.GetByte(b.GetLength()), 0);   // the freed tail is zeroed
}

TEST(ComBuf, FrontTrimOfTheWholeLengthChangesNothingAndStrayIndexesReadZero)
{
    clsComBuf b;
    store(b, "abc");
    EXPECT_FALSE(b.FrontTrim(3));
    EXPECT_EQ(b.GetLength(), 3);
    EXPECT_EQ(b.GetByte(0), 'a');
    b.FrontTrim(10);
    EXPECT_EQ(b.GetLength(), 3);
    b.FrontTrim(1);
    EXPECT_EQ(b.GetLength(), 2);
    EXPECT_EQ(b.GetByte(0), 'b');
    for (int stray : {2, -1, 51, 1 << 30})
        EXPECT_EQ(b.GetByte(stray), 0) << stray;
    b.Init();
    EXPECT_EQ(b.GetLength(), 0);
    EXPECT_EQ(b.GetByte(0), 0);
}
