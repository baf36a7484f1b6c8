#include "fake_port.h"
#include "link/link_ops.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace qqc;
using qqc::test::FakePort;

// Junk before the answer and a silent unit are covered over a real pty in
// end_to_end_test.cpp.
TEST(LinkOps, ClosedPortFailsAtOnceAndAnOpenOneReadsAndFlushes)
{
    FakePort port;
    port.close();
    std::uint8_t b = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForByte(port, 0, b), LinkStatus::Failed);   // no limit, but nothing can come
    EXPECT_EQ(SendCommandByte(port, 'D'), LinkStatus::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));

    // An open port: a waiting byte is read and flushing drops the rest.
    FakePort open;
    open.queue("xyz");
    EXPECT_EQ(WaitForByte(open, 1, b), LinkStatus::Ok);
    EXPECT_EQ(b, 'x');
    flushLinkInput(open);
    EXPECT_EQ(ReadLinkByte(open), -1);
}

TEST(LinkOps, AUnitThatKeepsTalkingWithoutAnsweringIsGivenUpOn)
{
    // Every wait finds a byte, none of them the answer: only the exchange's
    // own limit ends it.
    struct Chatty : FakePort {
        qint64 bytesWaiting() override { return 1; }
        int readByte() override { return 'x'; }
    } port;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendCommandByte(port, 'D', 1), LinkStatus::Failed);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::seconds(1));
    EXPECT_LT(took, std::chrono::seconds(3));
}

TEST(LinkOps, WordsGoHighByteFirst)
{
    FakePort port;
    SendWord(port, 5000);
    SendWord(port, 220);
    SendWord(port, -2);
    EXPECT_EQ(port.written, QByteArray("\x13\x88\x00\xDC\xFF\xFE", 6));
}
