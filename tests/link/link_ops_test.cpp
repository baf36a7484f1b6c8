#include "fake_port.h"
#include "link/link_ops.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace qqc;
using qqc::test::FakePort;

TEST(LinkOps, CommandAnsweredAfterJunkSucceeds)
{
    FakePort port;
    port.responder = [](unsigned char b, FakePort& p) { p.queue(QByteArray("ab") + char(b + 10)); };
    EXPECT_EQ(SendCommandByte(port, 'J'), LinkStatus::Ok);
    EXPECT_EQ(port.written, QByteArray("J"));
    EXPECT_TRUE(port.input.empty());
}

TEST(LinkOps, SilentUnitFailsAfterTwoOneSecondWaits)
{
    FakePort port;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendCommandByte(port, 'R'), LinkStatus::Failed);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 3.5);
}

TEST(LinkOps, ClosedPortFailsAtOnce)
{
    FakePort port;
    port.close();
    std::uint8_t b = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForByte(port, 0, b), LinkStatus::Failed);   // no limit, but nothing can come
    EXPECT_EQ(SendCommandByte(port, 'D'), LinkStatus::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST(LinkOps, WordsGoHighByteFirst)
{
    FakePort port;
    SendWord(port, 5000);
    SendWord(port, 220);
    SendWord(port, -2);
    EXPECT_EQ(port.written, QByteArray("\x13\x88\x00\xDC\xFF\xFE", 6));
}

TEST(LinkOps, WaitReadsAWaitingByteAndFlushDropsTheRest)
{
    FakePort port;
    port.queue("xyz");
    std::uint8_t b = 0;
    EXPECT_EQ(WaitForByte(port, 1, b), LinkStatus::Ok);
    EXPECT_EQ(b, 'x');
    FlushLinkInput(port);
    EXPECT_EQ(ReadLinkByte(port), -1);
}
