// The test time choices and the test time download over a pseudo-terminal.
#include "link/serial_port.h"
#include "link/time_setting.h"
#include "sim/pty_unit.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace qqc;

// The dialog always has a choice selected (tests/app); without one the total
// and the setting byte fall back to the shortest test.
TEST(TestTimeChoice, NoChoiceMeansFiftySecondsAndSettingByteOne)
{
    EXPECT_EQ(testTimeChoice(-1).totalSeconds, 50);
    EXPECT_EQ(testTimeChoice(-1).settingByte, 1);
}

// The bytes of a download (4A 0A 53) are checked over a pty through the Test
// Time command in tests/app.
TEST(DownloadTestTime, SilentUnitCostsTwoSecondsPerByteAndNothingElse)
{
    sim::PtyUnit unit;
    ASSERT_TRUE(unit.ok());
    unit.configure([](sim::CommandResponder& r) { r.setSilent(true); });
    QtSerialPort port;
    port.setDeviceName(unit.device());
    ASSERT_TRUE(port.open());

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(DownloadTestTime(port, 28), 0);
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(elapsed, 5900);
    EXPECT_LE(elapsed, 7500);
    // Every byte still went out.
    EXPECT_TRUE(unit.waitForReceived(3, 1000));
    EXPECT_EQ(unit.received(), QByteArray::fromHex("4a1c53"));
}
