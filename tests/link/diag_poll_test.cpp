// The diagnostics poll without its window: its figures, the poll over a
// port, and what a silent unit, an unplugged grid and a lost port show.
#include "link/diag_poll.h"
#include "link/serial_port.h"
#include "sim/command_responder.h"
#include "support/scripted_prompter.h"

#include "fake_port.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;

namespace {

// A diagnostics poll on an in-memory port answered by the unit's responder.
struct DiagOnFakePort {
    sim::CommandResponder unit;
    test::FakePort* port = nullptr;
    std::unique_ptr<DiagPoll> poll;

    explicit DiagOnFakePort(int pollSeconds = 0)
    {
        auto fake = std::make_unique<test::FakePort>();
        port = fake.get();
        port->answerAs(unit);
        poll = std::make_unique<DiagPoll>(std::move(fake));
        poll->setDevice(QStringLiteral("/dev/fake"));
        poll->setIntervalSeconds(pollSeconds);
    }
    void start() { poll->start(); }
    QString row(int r) const { return poll->value(r); }
};

} // namespace

TEST(DiagPoll, PollsOnceAtIntervalZeroOtherwiseAtTheIntervalCountingSpikesAcrossPolls)
{
    test::ScriptedPrompter prompts;
    DiagOnFakePort diag(0);
    diag.unit.grid().sequence = {10000, 10300, 10045, 10301};   // 10000: low 0x10, high 0x27
    diag.unit.grid().temperatureByte = 100;
    diag.start();

    EXPECT_EQ(diag.port->written, QByteArray("D"));
    EXPECT_EQ(diag.row(DiagPoll::RowStatus), "");
    EXPECT_EQ(diag.row(DiagPoll::RowFrequency), "10000");
    EXPECT_EQ(diag.row(DiagPoll::RowHex), "2710");
    // diagTemperature(100) is 13.96 degrees; "####.#" rounds it to one place and hides a zero place.
    EXPECT_EQ(diag.row(DiagPoll::RowTemperature), "14.");
    EXPECT_EQ(diag.row(DiagPoll::RowSpikes), "");   // "#####" shows nothing for 0
    EXPECT_EQ(diag.row(DiagPoll::RowDelta), "");
    EXPECT_EQ(diag.poll->operation(), "Waiting to Poll");
    // Interval 0: one poll, then idle again.
    EXPECT_FALSE(diag.poll->timer()->isActive());
    EXPECT_FALSE(diag.poll->running());

    diag.poll->setIntervalSeconds(1);
    diag.start();
    EXPECT_TRUE(diag.poll->timer()->isActive());
    EXPECT_EQ(diag.poll->timer()->interval(), 1000);
    EXPECT_TRUE(diag.poll->running());
    EXPECT_EQ(diag.row(DiagPoll::RowFrequency), "10300");
    EXPECT_EQ(diag.row(DiagPoll::RowSpikes), "1");
    EXPECT_EQ(diag.row(DiagPoll::RowDelta), "300");
    diag.poll->poll();   // a jump of 255 is no spike: the last spike stays shown
    EXPECT_EQ(diag.row(DiagPoll::RowFrequency), "10045");
    EXPECT_EQ(diag.row(DiagPoll::RowSpikes), "1");
    EXPECT_EQ(diag.row(DiagPoll::RowDelta), "300");
    diag.poll->poll();   // 256 is
    EXPECT_EQ(diag.row(DiagPoll::RowSpikes), "2");
    EXPECT_EQ(diag.row(DiagPoll::RowDelta), "256");

    diag.poll->stop();
    EXPECT_FALSE(diag.poll->timer()->isActive());
    EXPECT_FALSE(diag.poll->running());
    // A poll outside the timer's life does nothing.
    diag.poll->poll();
    EXPECT_EQ(diag.unit.frequencyReads(), 4);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(DiagPoll, UnpluggedGridOrSilentUnitShowTheirStatusWithoutABox)
{
    test::ScriptedPrompter prompts;
    DiagOnFakePort unplugged(0);
    unplugged.unit.grid().unplugged = true;
    unplugged.start();
    EXPECT_EQ(unplugged.row(DiagPoll::RowStatus), "Grid Unplugged");
    EXPECT_EQ(unplugged.row(DiagPoll::RowFrequency), "");
    EXPECT_EQ(unplugged.row(DiagPoll::RowHex), "");

    DiagOnFakePort silent(0);
    silent.unit.setSilent(true);
    silent.start();
    EXPECT_EQ(silent.row(DiagPoll::RowStatus), "Communications Error");
    EXPECT_EQ(silent.row(DiagPoll::RowFrequency), "");
    EXPECT_EQ(silent.poll->operation(), "Waiting to Poll");
    EXPECT_TRUE(prompts.messages.empty());
}

// The magnet reading ("M" 1, "D", "M" 2, "D", "M" 0, "D") runs over a pty
// through the Diag command in tests/app.
TEST(DiagPoll, PortThatWillNotOpenOrGetsLostIsReportedAndRetryIgnoreAndAbortActAsAnswered)
{
    test::ScriptedPrompter prompts;
    DiagOnFakePort diag(1);
    diag.port->openSucceeds = false;
    diag.start();   // polling does not start
    ASSERT_EQ(prompts.texts(), QStringList{"Error opening comm port: No such device"});
    EXPECT_FALSE(diag.poll->timer()->isActive());
    EXPECT_FALSE(diag.poll->running());
    diag.port->openSucceeds = true;
    diag.start();
    ASSERT_TRUE(diag.poll->timer()->isActive());

    diag.port->close();   // the adapter went away
    prompts.answers = {Answer::Retry};
    diag.poll->poll();    // Retry reopens the line and polls again
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_TRUE(diag.port->isOpen());
    EXPECT_EQ(diag.row(DiagPoll::RowFrequency), "10000");

    diag.port->close();
    diag.port->openSucceeds = false;
    prompts.answers = {Answer::Ignore};
    diag.poll->poll();
    ASSERT_EQ(prompts.messages.size(), 3u);
    EXPECT_TRUE(prompts.messages[2].text.startsWith("Module: Diag8700\r\nProcedure: frmDiag\r\n"));
    EXPECT_EQ(prompts.messages[2].style, MsgStyle::AbortRetryIgnore | MsgStyle::Critical);
    EXPECT_EQ(diag.row(DiagPoll::RowStatus), "Communications Error");
    // Ignore keeps polling, without a storm of boxes.
    EXPECT_TRUE(diag.poll->timer()->isActive());
    diag.poll->poll();
    EXPECT_EQ(prompts.messages.size(), 3u);

    // A working poll ends the run of failures: the next one is reported again.
    diag.port->openSucceeds = true;
    diag.port->open();
    diag.poll->poll();
    diag.port->close();
    diag.port->openSucceeds = false;
    QSignalSpy abort(diag.poll.get(), &DiagPoll::abortRequested);
    prompts.answers = {Answer::Abort};
    diag.poll->poll();
    EXPECT_EQ(prompts.messages.size(), 4u);
    EXPECT_EQ(abort.count(), 1);
    EXPECT_FALSE(diag.poll->timer()->isActive());
    EXPECT_FALSE(diag.poll->running());
}
