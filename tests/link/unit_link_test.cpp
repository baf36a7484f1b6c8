#include "fake_port.h"
#include "link/record_decoder.h"
#include "link/unit_link.h"
#include "link/unit_state_model.h"
#include "sim/frames.h"
#include "sim_process.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QTest>

#include <utility>

#include <gtest/gtest.h>

using namespace qqc;
using qqc::test::FakePort;

namespace {

// A prompter whose message box lets more bytes arrive while it is shown, as
// the event loop of a real box does.
struct BytesDuringBox : test::ScriptedPrompter {
    std::function<void()> whileShown;
    int message(const QString& text, int style, const QString& title) override
    {
        if (auto f = std::exchange(whileShown, nullptr))
            f();
        return ScriptedPrompter::message(text, style, title);
    }
};

struct LinkFixture : ::testing::Test {
    test::TempHome home;
    BytesDuringBox prompter;
    FakePort* port = nullptr;
    std::unique_ptr<UnitLink> link;
    UnitStateModel status;
    QList<QByteArray> testFrames;
    QList<char> codes;

    void SetUp() override
    {
        auto p = std::make_unique<FakePort>();
        port = p.get();
        link = std::make_unique<UnitLink>(std::move(p));
        link->setStatusModel(&status);
        link->setStatusWindowOpen(true);
        QObject::connect(link.get(), &UnitLink::testDataFrame, [this](const QByteArray& f) { testFrames << f; });
        QObject::connect(link.get(), &UnitLink::frameDispatched, [this](char c) { codes << c; });
    }
};

} // namespace

TEST_F(LinkFixture, JunkBeforeTheStartTagIsDroppedAndUnknownCodesSilently)
{
    port->deliver(QByteArray("\x01\x02") + sim::statusFrame(0xFC) + sim::frame('J', "x") + sim::frame('Z', ""));
    EXPECT_EQ(codes, (QList<char>{'K', 'J', 'Z'}));
    EXPECT_EQ(status.statusCaption(), QStringLiteral("Available for Test"));
    EXPECT_EQ(link->buffer().GetLength(), 0);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(testFrames.empty());
}

TEST_F(LinkFixture, EndTagWithoutStartTagIsReportedOnceThenTheNextFrameWorks)
{
    port->deliver("noise<E>");
    ASSERT_EQ(prompter.texts(), QStringList{QStringLiteral("Unable to locate start tag in device string.")});
    port->deliver(sim::statusFrame(25));
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(codes, QList<char>{'K'});
    EXPECT_EQ(status.statusCaption(), QStringLiteral("25 sec to go"));
}

TEST_F(LinkFixture, EndTagInsidePayloadEndsTheTestFrameEarly)
{
    TestRecord r;
    r.raw8700[0] = 0x453C;   // bytes "<E" ...
    r.raw8700[100] = 0x3E;   // ... ">"
    port->deliver(sim::testFrame(r));
    ASSERT_EQ(testFrames.size(), 1);
    EXPECT_EQ(testFrames[0], QByteArray("D") + char(0));   // code and the one byte before the tag
}

TEST_F(LinkFixture, StatusStateAndReadingsGoToTheOpenStatusWindowOnly)
{
    port->deliver(sim::dielFrame(245));
    EXPECT_EQ(status.readings().dielectric, 245);
    port->deliver(sim::stateFrame(27, 0, 7));
    EXPECT_EQ(status.stateText(), QStringLiteral("Testing \r\nTesting...007"));
    port->deliver(sim::dielFrame(0x8001));   // does not fit 16 signed bits: ignored
    EXPECT_EQ(status.readings().dielectric, 245);

    link->setStatusWindowOpen(false);
    port->deliver(sim::stateFrame(22, 0, 0) + sim::dielFrame(300) + sim::statusFrame(251));
    EXPECT_EQ(status.stateText(), QStringLiteral("Testing \r\nTesting...007"));
    EXPECT_EQ(status.readings().dielectric, 245);
    int resets = 0;
    QObject::connect(link.get(), &UnitLink::unitReset, [&] { ++resets; });
    port->deliver(sim::statusFrame(254));
    EXPECT_EQ(resets, 0);
    link->setStatusWindowOpen(true);
    port->deliver(sim::statusFrame(254));
    EXPECT_EQ(resets, 1);
}

TEST_F(LinkFixture, FirmwareVersionRevealsTestTimeAndSetsTheFlag)
{
    int reveals = 0;
    QObject::connect(link.get(), &UnitLink::testTimeAvailable, [&] { ++reveals; });
    port->deliver(sim::firmwareFrame('3', '0', '0'));
    EXPECT_EQ(reveals, 1);
    EXPECT_FALSE(link->firmware31());
    port->deliver(sim::firmwareFrame('2', '0', '6'));
    EXPECT_EQ(reveals, 2);
    port->deliver(sim::firmwareFrame('2', '0', '5'));
    EXPECT_EQ(reveals, 2);
    EXPECT_TRUE(prompter.messages.empty());
    port->deliver(sim::firmwareFrame('3', '1', '0'));
    EXPECT_TRUE(link->firmware31());
    EXPECT_TRUE(prompter.messages.empty());
    port->deliver(sim::firmwareFrame('4', '0', '0'));
    EXPECT_EQ(reveals, 4);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("PC software supports QuorvelQC firmware version 3.1.\r\n"
                                                         "The QuorvelQC is version 4.0.\r\nPlease update PC software."));
}

TEST_F(LinkFixture, ReadFrequencyStatesAskTheUnit)
{
    port->responder = [](unsigned char b, FakePort& p) {
        p.queue(QByteArray(1, char(b + 10)));
        if (b == 'D')
            p.queue(QByteArray("\x10\x27\x64", 3));
    };
    port->deliver(sim::stateFrame(24, 0, 0));
    EXPECT_EQ(port->written, QByteArray("D"));
    EXPECT_EQ(link->ReadFreq(), 10000);
    port->responder = [](unsigned char b, FakePort& p) { p.queue(QByteArray(1, char(b + 10)) + "\x10\x90\x64"); };
    EXPECT_EQ(link->ReadFreq(), 9999);
}

TEST_F(LinkFixture, LostLineIsReportedOnceAndTheSameDeviceReopened)
{
    link->setReconnectInterval(10);
    ASSERT_TRUE(link->open(QStringLiteral("/dev/ttyUSB7")));
    port->openSucceeds = false;
    int restored = 0;
    QObject::connect(link.get(), &UnitLink::lineRestored, [&] { ++restored; });
    for (int i = 0; i < 5; ++i)
        emit port->notification(SerialPort::ErrResource);
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.startsWith(QStringLiteral("Comm Error, Event = 1006")));
    EXPECT_TRUE(link->lineLost());
    QTest::qWait(60);
    EXPECT_EQ(restored, 0);
    port->openSucceeds = true;
    ASSERT_TRUE(test::waitUntil([&] { return (restored) == (1); }));
    EXPECT_EQ(port->deviceName(), QStringLiteral("/dev/ttyUSB7"));
    EXPECT_FALSE(link->lineLost());
    EXPECT_EQ(prompter.messages.size(), 1u);
    // Other line errors are shown, but a repeat only after good data.
    emit port->notification(SerialPort::ErrRead);
    emit port->notification(SerialPort::ErrRead);
    EXPECT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[1].text, QStringLiteral("Comm Error, Event = 1005"));
}

// The unit's error text in the box is checked through the Monitor with a
// hand-written frame (tests/app/hand_written_frames_test.cpp).
TEST_F(LinkFixture, BytesArrivingDuringAMessageWaitUntilTheHandlerIsDone)
{
    prompter.whileShown = [&] { port->deliver(sim::frame('J', "") + sim::errorFrame("SECOND")); };
    port->deliver(sim::errorFrame("FIRST"));
    EXPECT_EQ(codes, (QList<char>{'X', 'J', 'X'}));
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_TRUE(prompter.messages[0].text.endsWith(QStringLiteral("FIRST")));
    EXPECT_TRUE(prompter.messages[1].text.endsWith(QStringLiteral("SECOND")));
}
