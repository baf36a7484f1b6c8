// The diagnostics window: its figures, the poll over a port, and what a
// silent unit, an unplugged grid and a lost port show.
#include "link/frm_diag.h"
#include "link/serial_port.h"
#include "sim/command_responder.h"
#include "sim/pty_unit.h"
#include "support/scripted_prompter.h"

#include "fake_port.h"
#include "sim_process.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace qqc;

namespace {

// A diagnostics window on an in-memory port answered by the unit's responder.
struct DiagOnFakePort {
    sim::CommandResponder unit;
    test::FakePort* port = nullptr;
    std::unique_ptr<frmDiag> window;

    explicit DiagOnFakePort(int pollSeconds = 0)
    {
        auto fake = std::make_unique<test::FakePort>();
        port = fake.get();
        port->close();
        port->responder = [this](unsigned char byte, test::FakePort& p) { p.queue(unit.receive(byte)); };
        window = std::make_unique<frmDiag>(std::move(fake));
        window->setDevice(QStringLiteral("/dev/fake"));
        window->PollScroll()->setValue(pollSeconds);
    }
    void start() { QTest::mouseClick(window->CmdButton(), Qt::LeftButton); }
    QString row(int r) const { return window->value(r); }
};

} // namespace

TEST(DiagFigures, TemperatureFollowsTheUnitsPolynomial)
{
    EXPECT_NEAR(DiagTemperature(100), 13.96, 1e-9);
    EXPECT_NEAR(DiagTemperature(0), -45.82, 1e-12);
    // Monotonic over the range the unit sends.
    for (int t = 1; t < 256; ++t)
        EXPECT_GT(DiagTemperature(t), DiagTemperature(t - 1)) << t;
}

TEST(FrmDiag, OnePollShowsFrequencyHexAndTemperatureThenStopsAtIntervalZero)
{
    test::ScriptedPrompter prompts;
    DiagOnFakePort diag(0);
    diag.unit.grid().frequency = 10000;   // low 0x10, high 0x27
    diag.unit.grid().temperatureByte = 100;
    diag.start();

    EXPECT_EQ(diag.port->written, QByteArray("D"));
    EXPECT_EQ(diag.row(frmDiag::RowStatus), "");
    EXPECT_EQ(diag.row(frmDiag::RowFrequency), "10000");
    EXPECT_EQ(diag.row(frmDiag::RowHex), "2710");
    // 13.96 degrees in "####.#": rounded to one place, and a zero place is not shown.
    EXPECT_EQ(diag.row(frmDiag::RowTemperature), "14.");
    EXPECT_EQ(diag.row(frmDiag::RowSpikes), "");   // "#####" shows nothing for 0
    EXPECT_EQ(diag.row(frmDiag::RowDelta), "");
    EXPECT_EQ(diag.window->DiagOper()->text(), "Waiting to Poll");
    // Interval 0: one poll, then idle again.
    EXPECT_FALSE(diag.window->DiagTimer()->isActive());
    EXPECT_TRUE(diag.window->CmdButton()->isEnabled());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(FrmDiag, PollsAgainAtTheIntervalAndCountsSpikesAcrossPolls)
{
    DiagOnFakePort diag(1);
    diag.unit.grid().sequence = {10000, 10300, 10045, 10301};
    diag.start();
    EXPECT_TRUE(diag.window->DiagTimer()->isActive());
    EXPECT_EQ(diag.window->DiagTimer()->interval(), 1000);
    EXPECT_FALSE(diag.window->CmdButton()->isEnabled());
    EXPECT_TRUE(diag.window->Cancel()->isEnabled());

    diag.window->Poll();
    EXPECT_EQ(diag.row(frmDiag::RowFrequency), "10300");
    EXPECT_EQ(diag.row(frmDiag::RowSpikes), "1");
    EXPECT_EQ(diag.row(frmDiag::RowDelta), "300");
    diag.window->Poll();   // a jump of 255 is no spike: the last spike stays shown
    EXPECT_EQ(diag.row(frmDiag::RowFrequency), "10045");
    EXPECT_EQ(diag.row(frmDiag::RowSpikes), "1");
    EXPECT_EQ(diag.row(frmDiag::RowDelta), "300");
    diag.window->Poll();   // 256 is
    EXPECT_EQ(diag.row(frmDiag::RowSpikes), "2");
    EXPECT_EQ(diag.row(frmDiag::RowDelta), "256");

    QTest::mouseClick(diag.window->Cancel(), Qt::LeftButton);
    EXPECT_FALSE(diag.window->DiagTimer()->isActive());
    EXPECT_TRUE(diag.window->CmdButton()->isEnabled());
    // A poll outside the timer's life does nothing.
    diag.window->Poll();
    EXPECT_EQ(diag.unit.frequencyReads(), 4);
}

TEST(FrmDiag, UnpluggedGridOrSilentUnitShowTheirStatusWithoutABox)
{
    test::ScriptedPrompter prompts;
    DiagOnFakePort unplugged(0);
    unplugged.unit.grid().unplugged = true;
    unplugged.start();
    EXPECT_EQ(unplugged.row(frmDiag::RowStatus), "Grid Unplugged");
    EXPECT_EQ(unplugged.row(frmDiag::RowFrequency), "");
    EXPECT_EQ(unplugged.row(frmDiag::RowHex), "");

    DiagOnFakePort silent(0);
    silent.unit.setSilent(true);
    silent.start();
    EXPECT_EQ(silent.row(frmDiag::RowStatus), "Communications Error");
    EXPECT_EQ(silent.row(frmDiag::RowFrequency), "");
    EXPECT_EQ(silent.window->DiagOper()->text(), "Waiting to Poll");
    EXPECT_TRUE(prompts.messages.empty());
}

// The magnet reading ("M" 1, "D", "M" 2, "D", "M" 0, "D") runs over a pty
// through the Diag command in tests/app.
TEST(FrmDiag, PortThatWillNotOpenIsReportedAndPollingDoesNotStart)
{
    test::ScriptedPrompter prompts;
    DiagOnFakePort diag(1);
    diag.port->openSucceeds = false;
    diag.start();
    ASSERT_EQ(prompts.texts(), QStringList{"Error opening comm port: No such device"});
    EXPECT_FALSE(diag.window->DiagTimer()->isActive());
    EXPECT_TRUE(diag.window->CmdButton()->isEnabled());
}

TEST(FrmDiag, LostPortIsReportedOnceThroughTheModuleReport)
{
    test::ScriptedPrompter prompts;
    DiagOnFakePort diag(1);
    diag.start();
    ASSERT_TRUE(diag.window->DiagTimer()->isActive());

    diag.port->close();                 // the adapter went away
    diag.port->openSucceeds = false;
    prompts.answers = {Answer::Ignore};
    diag.window->Poll();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.startsWith("Module: Diag8700\r\nProcedure: frmDiag\r\n"));
    EXPECT_EQ(prompts.messages[0].style, MsgStyle::AbortRetryIgnore | MsgStyle::Critical);
    EXPECT_EQ(diag.row(frmDiag::RowStatus), "Communications Error");
    // Ignore keeps polling, without a storm of boxes.
    EXPECT_TRUE(diag.window->DiagTimer()->isActive());
    diag.window->Poll();
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST(FrmDiag, RetryReopensTheLineAndAbortEndsTheWindow)
{
    test::ScriptedPrompter prompts;
    DiagOnFakePort diag(1);
    diag.start();
    diag.port->close();
    prompts.answers = {Answer::Retry};
    diag.window->Poll();
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(diag.port->isOpen());
    EXPECT_EQ(diag.row(frmDiag::RowFrequency), "10000");

    QSignalSpy abort(diag.window.get(), &frmDiag::abortRequested);
    diag.port->close();
    diag.port->openSucceeds = false;
    prompts.answers = {Answer::Abort};
    diag.window->Poll();
    EXPECT_EQ(abort.count(), 1);
    EXPECT_FALSE(diag.window->DiagTimer()->isActive());
    EXPECT_EQ(diag.window->result(), QDialog::Rejected);
}

TEST(FrmDiag, PollsTheSimulatorAndSeesItsSpikes)
{
    test::TempHome home;
    test::SimProcess sim(home.file("sim.rec"));
    const QString device = sim.start({"--no-wait", "--scenario", "grid:4660:100,spikes:2:400"});
    ASSERT_FALSE(device.isEmpty());

    test::ScriptedPrompter prompts;
    frmDiag window(std::make_unique<QtSerialPort>());
    window.setDevice(device);
    window.PollScroll()->setValue(0);
    QTest::mouseClick(window.CmdButton(), Qt::LeftButton);
    EXPECT_EQ(window.value(frmDiag::RowFrequency), "4660");
    EXPECT_EQ(window.value(frmDiag::RowHex), "1234");
    EXPECT_EQ(window.value(frmDiag::RowSpikes), "");
    // Interval 0 polled once; Start polls again, and the second read jumps.
    QTest::mouseClick(window.CmdButton(), Qt::LeftButton);
    EXPECT_EQ(window.value(frmDiag::RowFrequency), "5060");
    EXPECT_EQ(window.value(frmDiag::RowSpikes), "1");
    EXPECT_EQ(window.value(frmDiag::RowDelta), "400");
    EXPECT_TRUE(prompts.messages.empty());
    window.reject();
    EXPECT_FALSE(window.port().isOpen());   // closing the window frees the line
    EXPECT_TRUE(test::waitUntil([&sim] { return sim.events().count("RX 44") == 2; }, 2000))
        << qPrintable(sim.events().join("\n"));
}
