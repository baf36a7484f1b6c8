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
    test::SimProcess sim{home.file("sim.log")};
    UnitLink link;
    UnitStateModel status;
    QString linkPath = home.file("unit");

    void SetUp() override
    {
        link.setStatusModel(&status);
        link.setStatusWindowOpen(true);
    }

    void openLink(const QStringList& simArgs)
    {
        ASSERT_FALSE(sim.start(QStringList{"--link", linkPath} + simArgs).isEmpty());
        ASSERT_TRUE(link.open(linkPath)) << link.errorString().toStdString();
        ASSERT_TRUE(test::waitUntil([&] { return sim.hasEvent("CONNECTED"); }, 5000));
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
    openLink({"--scenario", "test", "--lcont", "7"});
    ASSERT_TRUE(test::waitUntil([&] { return frames == 1; }, 15000));
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

TEST_F(EndToEnd, CommandExchangeSkipsJunkAndFailsOnSilence)
{
    // Paced junk keeps arriving while the command goes out: the answer comes
    // after it, and the junk is dropped.
    ASSERT_FALSE(sim.start({"--link", linkPath, "--scenario", "junk:300,wait:1,silence:5"}).isEmpty());
    QtSerialPort port;
    port.setDeviceName(linkPath);
    ASSERT_TRUE(port.open());
    ASSERT_TRUE(port.waitForBytes(5000));   // the junk has started
    for (int byte : {int('J'), 10, int('S')})
        EXPECT_EQ(SendCommandByte(port, std::uint8_t(byte)), LinkStatus::Ok) << byte;
    ASSERT_TRUE(test::waitUntil([&] { return sim.hasEvent("TESTTIME 10"); }, 3000));
    ASSERT_TRUE(test::waitUntil([&] { return sim.hasEvent("SILENCE 5"); }, 5000));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendCommandByte(port, 'R'), LinkStatus::Failed);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 3.5);
}

TEST_F(EndToEnd, LostLineIsReportedOnceAndReopenedWhenTheUnitComesBack)
{
    link.setReconnectInterval(100);
    int restored = 0;
    QObject::connect(&link, &UnitLink::lineRestored, [&] { ++restored; });
    openLink({"--scenario", "status:252,wait:0.3,exit"});
    ASSERT_TRUE(test::waitUntil([&] { return status.statusCaption() == "Available for Test"; }, 5000));
    ASSERT_TRUE(sim.finished(5000));
    ASSERT_TRUE(test::waitUntil([&] { return link.lineLost(); }, 5000));
    QTest::qWait(500);   // several reopen attempts fail meanwhile, silently
    EXPECT_EQ(prompter.messages.size(), 1u) << prompter.texts().join(QLatin1Char('/')).toStdString();

    // The unit comes back on the same path: the link reopens it by itself.
    test::SimProcess again{home.file("sim2.log")};
    ASSERT_FALSE(again.start({"--link", linkPath, "--scenario", "status:251"}).isEmpty());
    ASSERT_TRUE(test::waitUntil([&] { return restored == 1; }, 5000));
    ASSERT_TRUE(test::waitUntil([&] { return status.statusCaption() == "Not Plugged In"; }, 5000));
    EXPECT_EQ(prompter.messages.size(), 1u);
}
