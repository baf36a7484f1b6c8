// The real link against the simulator program over a real pseudo-terminal.
#include "link/link_ops.h"
#include "link/record_decoder.h"
#include "link/serial_port.h"
#include "link/unit_link.h"
#include "link/unit_state_model.h"
#include "sim_process.h"
#include "support/scripted_prompter.h"

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>

using namespace qqc;

namespace {

struct EndToEnd : ::testing::Test {
    test::TempHome home;
    test::ScriptedPrompter prompter;
    test::SimProcess sim{home.file(QStringLiteral("sim.log"))};
    UnitLink link;
    UnitStateModel status;
    QString linkPath = home.file(QStringLiteral("unit"));

    void SetUp() override
    {
        link.setStatusModel(&status);
        link.setStatusWindowOpen(true);
    }

    void openLink(const QStringList& simArgs)
    {
        ASSERT_FALSE(sim.start(QStringList{QStringLiteral("--link"), linkPath} + simArgs).isEmpty());
        ASSERT_TRUE(link.open(linkPath)) << link.errorString().toStdString();
        ASSERT_TRUE(test::waitUntil([&] { return bool(sim.hasEvent(QStringLiteral("CONNECTED"))); }, 5000)) << "waited for sim.hasEvent(QStringLiteral(\"CONNECTED\"))";
    }
};

} // namespace

TEST_F(EndToEnd, TestFrameDecodesToExactlyWhatTheSimulatorEncoded)
{
    TestRecord decoded;
    int frames = 0;
    int result = 0;
    QObject::connect(&link, &UnitLink::testDataFrame, [&](const QByteArray& f) {
        ++frames;
        result = get_ov_data(f, decoded);
    });
    openLink({QStringLiteral("--scenario"), QStringLiteral("test"), QStringLiteral("--lcont"), QStringLiteral("7")});
    ASSERT_TRUE(test::waitUntil([&] { return (frames) == (1); }, 15000)) << "waited for frames";
    ASSERT_EQ(result, DecodeResult::Ok);
    int compared = 0;
    for (const QString& e : sim.events()) {
        if (!e.startsWith(QLatin1String("TXD ")))
            continue;
        const QString field = e.mid(4).section(QLatin1Char('='), 0, 0);
        EXPECT_EQ(testRecordFieldText(decoded, field), e.section(QLatin1Char('='), 1)) << field.toStdString();
        ++compared;
    }
    EXPECT_EQ(compared, 5);
    EXPECT_TRUE(prompter.messages.empty()) << prompter.texts().join(QLatin1Char('/')).toStdString();
}

TEST_F(EndToEnd, StatusAndStateMessagesGiveTheStatusWindowTexts)
{
    openLink({QStringLiteral("--scenario"),
              QStringLiteral("status:252,state:27:0:7,diel:245,status:25,firmware:3.1.0")});
    ASSERT_TRUE(test::waitUntil([&] { return (status.statusCaption()) == (QStringLiteral("25 sec to go")); }, 5000)) << "waited for status.statusCaption()";
    EXPECT_EQ(status.stateText(), QStringLiteral("Testing \r\nTesting...007"));
    EXPECT_EQ(status.readings().dielectric, 245);
    ASSERT_TRUE(test::waitUntil([&] { return bool(link.firmware31()); }, 5000)) << "waited for link.firmware31()";
    EXPECT_TRUE(status.panelLowered());
}

TEST_F(EndToEnd, CommandExchangeSkipsJunkAndFailsOnSilence)
{
    // Paced junk keeps arriving while the command goes out: the answer comes
    // after it, and the junk is dropped.
    ASSERT_FALSE(sim.start({QStringLiteral("--link"), linkPath, QStringLiteral("--scenario"),
                            QStringLiteral("junk:300,wait:1,silence:5")})
                     .isEmpty());
    auto port = std::make_unique<QtSerialPort>();
    port->setDeviceName(linkPath);
    ASSERT_TRUE(port->open());
    ASSERT_TRUE(port->waitForBytes(5000));   // the junk has started
    EXPECT_EQ(SendCommandByte(*port, 'J'), LinkStatus::Ok);
    EXPECT_EQ(SendCommandByte(*port, 10), LinkStatus::Ok);
    EXPECT_EQ(SendCommandByte(*port, 'S'), LinkStatus::Ok);
    ASSERT_TRUE(test::waitUntil([&] { return bool(sim.hasEvent(QStringLiteral("TESTTIME 10"))); }, 3000)) << "waited for sim.hasEvent(QStringLiteral(\"TESTTIME 10\"))";
    ASSERT_TRUE(test::waitUntil([&] { return bool(sim.hasEvent(QStringLiteral("SILENCE 5"))); }, 5000)) << "waited for sim.hasEvent(QStringLiteral(\"SILENCE 5\"))";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendCommandByte(*port, 'R'), LinkStatus::Failed);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 3.5);
}

TEST_F(EndToEnd, LostLineIsReportedOnceAndReopenedWhenTheUnitComesBack)
{
    link.setReconnectInterval(100);
    int restored = 0;
    QObject::connect(&link, &UnitLink::lineRestored, [&] { ++restored; });
    openLink({QStringLiteral("--scenario"), QStringLiteral("status:252,wait:0.3,exit")});
    ASSERT_TRUE(test::waitUntil([&] { return (status.statusCaption()) == (QStringLiteral("Available for Test")); }, 5000)) << "waited for status.statusCaption()";
    ASSERT_TRUE(sim.finished(5000));
    ASSERT_TRUE(test::waitUntil([&] { return bool(link.lineLost()); }, 5000)) << "waited for link.lineLost()";
    QTest::qWait(500);   // several reopen attempts fail meanwhile, silently
    EXPECT_EQ(prompter.messages.size(), 1u) << prompter.texts().join(QLatin1Char('/')).toStdString();

    // The unit comes back on the same path: the link reopens it by itself.
    test::SimProcess again{home.file(QStringLiteral("sim2.log"))};
    ASSERT_FALSE(again.start({QStringLiteral("--link"), linkPath, QStringLiteral("--scenario"),
                              QStringLiteral("status:251")})
                     .isEmpty());
    ASSERT_TRUE(test::waitUntil([&] { return (restored) == (1); }, 5000)) << "waited for restored";
    ASSERT_TRUE(test::waitUntil([&] { return (status.statusCaption()) == (QStringLiteral("Not Plugged In")); }, 5000)) << "waited for status.statusCaption()";
    EXPECT_EQ(prompter.messages.size(), 1u);
}
