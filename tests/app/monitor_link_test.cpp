// The Monitor's side of the unit link. Frames written by hand from the frame
// layouts (tests/data/*.hex) go byte by byte through the receive path: the
// simulator's encoder plays no part, so the encoder and the decoder cannot
// share one misunderstanding.

#include "app/monitor.h"
#include "core/record.h"
#include "link/fake_port.h"
#include "link/unit_link.h"
#include "sim/frames.h"
#include "support/hex_fixture.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace qqc {
namespace {

struct MonitorLink : ::testing::Test {
    test::TempHome home;
    test::ScriptedPrompter prompter;
    Monitor monitor;
    UnitStateModel& status = monitor.statusModel();
    test::FakePort* port = nullptr;

    void SetUp() override
    {
        auto p = std::make_unique<test::FakePort>();
        port = p.get();
        monitor.setLinkPort(std::move(p));
        monitor.setWindowOpen(Monitor::StatusWindow, true);
    }
    void deliver(const char* fixture) { port->deliver(test::hexFixture(QString::fromLatin1(fixture))); }
    QString field(const char* name) const
    {
        return testRecordFieldText(monitor.currentTestRecord(), QString::fromLatin1(name));
    }
    QString messages() const { return prompter.texts().join(QLatin1Char('/')); }
    // "first,first+1,..." with `count` numbers.
    static QString run(int first, int count)
    {
        QStringList items;
        for (int i = 0; i < count; ++i)
            items << QString::number(first + i);
        return items.join(QLatin1Char(','));
    }
};
using HandWrittenFrames = MonitorLink;

TEST_F(HandWrittenFrames, WholeTestRecordDecodesToItsFieldTexts)
{
    deliver("record_frame.hex");
    EXPECT_EQ(field("raw8700"), run(1000, 100) + ',' + run(2000, 100) + ',' + run(30000, 100));
    EXPECT_EQ(field("Temp"), run(100, 100));
    EXPECT_EQ(field("Calc8700"), QStringLiteral("-5,32767,0,33,44,55,66,77,88,99,110,121,132,143,154,165,176,187,198,"
                                                "209,220,231,-1"));
    EXPECT_EQ(field("CalData"), QStringLiteral("5000,4600,220,300"));
    EXPECT_EQ(field("Rslt8700"), QStringLiteral("4660,245,12,7,3,-10,32778,70"));
    const StatusReadings& shown = status.readings();
    EXPECT_EQ((std::array{shown.dielectric, shown.ferrous, shown.water, shown.lcont}), (std::array{245, 12, 7, 3}));
    // Storing ran too: without a database it asks for one, and that is all.
    EXPECT_EQ(prompter.texts(), QStringList{QStringLiteral("    Please open a Database!    ")});
}

// Nothing of a cut record is kept, and no step after the decoding runs.
TEST_F(HandWrittenFrames, CutTestRecordIsReportedAndChangesNothing)
{
    TestRecord previous;
    previous.CalData = {1, 2, 3, 4};
    monitor.setCurrentTestRecord(previous);
    status.Diel(111);
    deliver("cut_record_frame.hex");
    ASSERT_EQ(prompter.messages.size(), 2u) << messages().toStdString();
    EXPECT_EQ(prompter.messages[0].style & MsgStyle::ButtonMask, MsgStyle::AbortRetryIgnore);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("get_ov_data")));
    EXPECT_TRUE(prompter.messages[0].text.contains(
        QStringLiteral("Test record cut short after 23 bytes by the start of another frame")))
        << prompter.messages[0].text.toStdString();
    EXPECT_EQ(prompter.messages[1].text, QStringLiteral("Comm error"));
    EXPECT_EQ(monitor.currentTestRecord(), previous);
    EXPECT_EQ(status.readings().dielectric, 111);
    EXPECT_EQ(monitor.currentSampleId(), 0);
}

TEST_F(HandWrittenFrames, AbortOnADamagedRecordShutsDown)
{
    QSignalSpy shutdown(&monitor, &Monitor::shutdownRequested);
    prompter.answers.push_back(Answer::Abort);
    QByteArray f = test::hexFixture(QStringLiteral("record_frame.hex"));
    f[3 + 751] = char(0xF0);   // after "<S>": a calibration word that cannot be right
    port->deliver(f);
    EXPECT_EQ(shutdown.count(), 1);
    EXPECT_EQ(prompter.messages.size(), 1u) << messages().toStdString();
}

TEST_F(HandWrittenFrames, CalibrationBecomesTheCalibrationRecord)
{
    deliver("calibration_frame.hex");
    EXPECT_EQ(monitor.calRecord().valid, 1);
    EXPECT_EQ(monitor.calRecord().set(), (CalibrationSet{5000, 4600, 219, 302}));
    EXPECT_EQ(status.calDielectrics(), QStringLiteral("A: 2.19 B: 3.02"));
    EXPECT_TRUE(QString::fromUtf8(home.read(QStringLiteral("quorvelqc.log")))
                    .startsWith(QStringLiteral("NewCal,5000,4600,219,302,7,9")));
    EXPECT_TRUE(prompter.messages.empty()) << messages().toStdString();
}

TEST_F(HandWrittenFrames, StatusAfterLineNoiseShowsTheCountDown)
{
    deliver("status_frame.hex");
    EXPECT_EQ(status.statusCaption(), QStringLiteral("25 sec to go"));
    EXPECT_EQ(status.gauge(), 25);
    EXPECT_TRUE(prompter.messages.empty()) << messages().toStdString();
}

TEST_F(HandWrittenFrames, UnitErrorTextEndsTheErrorBox)
{
    deliver("message_frame.hex");
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("ERROR\r\n\r\n Please report to ") + monitor.supportEmail()
                                             + QStringLiteral(" and reboot QuorvelQC.\r\n\r\nGRID FAULT7"));
    EXPECT_EQ(prompter.messages[0].style & MsgStyle::Exclamation, MsgStyle::Exclamation);
}

TEST_F(MonitorLink, FirmwareMessageRevealsTestTimeAndSetsTheFlag)
{
    QSignalSpy reveal(&monitor, &Monitor::testTimeAvailable);
    port->deliver(sim::firmwareFrame('3', '1', '0'));
    EXPECT_EQ(reveal.count(), 1);
    EXPECT_TRUE(monitor.firmware31());
}

TEST_F(MonitorLink, NoConfiguredPortOpensNothingAndSaysSo)
{
    monitor.settings().comm.port = 0;
    monitor.settings().comm.device.clear();
    port->close();
    EXPECT_FALSE(monitor.openSerialLink());
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(status.statusCaption(), QStringLiteral("Comm Port Not Defined"));
}

} // namespace
} // namespace qqc
