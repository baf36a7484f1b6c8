// The Monitor's side of the unit link: a damaged test record, the firmware
// message and a port that is not set.

#include "app/monitor.h"
#include "core/record.h"
#include "link/fake_port.h"
#include "link/unit_link.h"
#include "sim/frames.h"
#include "sim/unit_model.h"
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

    static TestRecord model(int seed)
    {
        sim::OilSample oil;
        oil.lcont = 3;
        TestRecord r = sim::simulateTest(oil, sim::Calibration{}, std::uint32_t(seed));
        sim::avoidEndTag(r);
        return r;
    }
};

TEST_F(MonitorLink, ShortTestFrameIsReportedLoggedAndStoresNothing)
{
    const TestRecord previous = model(2);
    monitor.setCurrentTestRecord(previous);
    status.Diel(111);
    TestRecord damaged = model(3);
    damaged.raw8700[10] = 0x453C;   // "<E" ...
    damaged.raw8700[110] = 0x3E;    // ... ">": the frame ends inside the readings
    port->deliver(sim::testFrame(damaged));

    // The error reporter, "Comm error", and the rest of the cut frame arriving
    // without a start tag of its own.
    ASSERT_EQ(prompter.messages.size(), 3u) << prompter.texts().join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(prompter.messages[0].style & MsgStyle::ButtonMask, MsgStyle::AbortRetryIgnore);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("get_ov_data")));
    EXPECT_EQ(prompter.messages[1].text, QStringLiteral("Comm error"));
    EXPECT_EQ(prompter.messages[2].text, QStringLiteral("Unable to locate start tag in device string."));
    const QString log = QString::fromUtf8(home.read(QStringLiteral("quorvelqc.log")));
    EXPECT_TRUE(log.contains(QStringLiteral("get_ov_data"))) << log.toStdString();
    // Nothing of the damaged frame, and no step after the decoding ran.
    EXPECT_EQ(monitor.currentTestRecord(), previous);
    EXPECT_EQ(status.readings().dielectric, 111);
    EXPECT_EQ(monitor.currentSampleId(), 0);
}

TEST_F(MonitorLink, AbortOnADamagedRecordShutsDown)
{
    QSignalSpy shutdown(&monitor, &Monitor::shutdownRequested);
    prompter.answers.push_back(Answer::Abort);
    QByteArray f = QByteArray(1, 'D') + sim::encodeTestPayload(model(1));
    f[751] = char(0xF0);   // a calibration word that cannot be right
    monitor.ProcessTestData(f);
    EXPECT_EQ(shutdown.count(), 1);
    EXPECT_EQ(prompter.messages.size(), 1u);
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
