// Frames written by hand from the frame layouts (tests/data/*.hex), fed byte
// by byte through the Monitor's receive path: the simulator's encoder plays
// no part, so the encoder and the decoder cannot share one misunderstanding.

#include "app/monitor.h"
#include "core/record.h"
#include "link/fake_port.h"
#include "link/unit_link.h"
#include "support/hex_fixture.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>

namespace qqc {
namespace {

struct HandWrittenFrames : ::testing::Test {
    test::TempHome home;
    test::ScriptedPrompter prompter;
    Monitor monitor;
    test::FakePort* port = nullptr;

    void SetUp() override
    {
        auto p = std::make_unique<test::FakePort>();
        port = p.get();
        monitor.setLinkPort(std::move(p));
        monitor.setWindowOpen(Monitor::StatusWindow, true);
    }
    void deliver(const QString& fixture) { port->deliver(test::hexFixture(fixture)); }
    QString field(const char* name) const
    {
        return testRecordFieldText(monitor.currentTestRecord(), QString::fromLatin1(name));
    }
    // "first,first+1,..." with `count` numbers.
    static QString run(int first, int count)
    {
        QStringList items;
        for (int i = 0; i < count; ++i)
            items << QString::number(first + i);
        return items.join(QLatin1Char(','));
    }
};

TEST_F(HandWrittenFrames, WholeTestRecordDecodesToItsFieldTexts)
{
    deliver(QStringLiteral("record_frame.hex"));
    EXPECT_EQ(field("raw8700"), run(1000, 100) + ',' + run(2000, 100) + ',' + run(30000, 100));
    EXPECT_EQ(field("Temp"), run(100, 100));
    EXPECT_EQ(field("Calc8700"), QStringLiteral("-5,32767,0,33,44,55,66,77,88,99,110,121,132,143,154,165,176,187,198,"
                                                "209,220,231,-1"));
    EXPECT_EQ(field("CalData"), QStringLiteral("5000,4600,220,300"));
    EXPECT_EQ(field("Rslt8700"), QStringLiteral("4660,245,12,7,3,-10,32778,70"));
    const StatusReadings& shown = monitor.statusModel().readings();
    EXPECT_EQ(shown.dielectric, 245);
    EXPECT_EQ(shown.ferrous, 12);
    EXPECT_EQ(shown.water, 7);
    EXPECT_EQ(shown.lcont, 3);
    // Storing ran too: without a database it asks for one, and that is all.
    EXPECT_EQ(prompter.texts(), QStringList{QStringLiteral("    Please open a Database!    ")});
}

TEST_F(HandWrittenFrames, CutTestRecordIsReportedAndChangesNothing)
{
    TestRecord previous;
    previous.CalData = {1, 2, 3, 4};
    monitor.setCurrentTestRecord(previous);
    deliver(QStringLiteral("cut_record_frame.hex"));
    ASSERT_EQ(prompter.messages.size(), 2u) << prompter.texts().join(QLatin1Char('/')).toStdString();
    EXPECT_TRUE(prompter.messages[0].text.contains(
        QStringLiteral("Test record cut short after 23 bytes by the start of another frame")))
        << prompter.messages[0].text.toStdString();
    EXPECT_EQ(prompter.messages[1].text, QStringLiteral("Comm error"));
    EXPECT_EQ(monitor.currentTestRecord(), previous);
}

TEST_F(HandWrittenFrames, CalibrationBecomesTheCalibrationRecord)
{
    deliver(QStringLiteral("calibration_frame.hex"));
    EXPECT_EQ(monitor.calRecord().valid, 1);
    EXPECT_EQ(monitor.calRecord().set(), (CalibrationSet{5000, 4600, 219, 302}));
    EXPECT_EQ(monitor.statusModel().calDielectrics(), QStringLiteral("A: 2.19 B: 3.02"));
    EXPECT_TRUE(QString::fromUtf8(home.read(QStringLiteral("quorvelqc.log")))
                    .startsWith(QStringLiteral("NewCal,5000,4600,219,302,7,9")));
    EXPECT_TRUE(prompter.messages.empty()) << prompter.texts().join(QLatin1Char('/')).toStdString();
}

TEST_F(HandWrittenFrames, StatusAfterLineNoiseShowsTheCountDown)
{
    deliver(QStringLiteral("status_frame.hex"));
    EXPECT_EQ(monitor.statusModel().statusCaption(), QStringLiteral("25 sec to go"));
    EXPECT_EQ(monitor.statusModel().gauge(), 25);
    EXPECT_TRUE(prompter.messages.empty()) << prompter.texts().join(QLatin1Char('/')).toStdString();
}

TEST_F(HandWrittenFrames, UnitErrorTextEndsTheErrorBox)
{
    deliver(QStringLiteral("message_frame.hex"));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("ERROR\r\n\r\n Please report to ") + monitor.supportEmail()
                                             + QStringLiteral(" and reboot QuorvelQC.\r\n\r\nGRID FAULT7"));
    EXPECT_EQ(prompter.messages[0].style & MsgStyle::Exclamation, MsgStyle::Exclamation);
}

} // namespace
} // namespace qqc
