// The test time dialog and the test time download over a pseudo-terminal.
#include "link/frm_test_time.h"
#include "link/serial_port.h"
#include "sim/pty_unit.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;

TEST(FrmTestTime, OffersFiveChoicesWithTheirSettingBytes)
{
    frmTestTime dialog;
    EXPECT_EQ(dialog.rbTestTime(2)->text(), "200 seconds");
    const int seconds[] = {50, 100, 200, 500, 700};
    const int bytes[] = {1, 5, 10, 28, 40};
    EXPECT_TRUE(dialog.rbTestTime(0)->isChecked());
    for (int i = 0; i < 5; ++i) {
        dialog.rbTestTime(i)->click();
        EXPECT_EQ(dialog.TotalTestTime(), seconds[i]);
        EXPECT_EQ(dialog.TestTimeIncrement(), bytes[i]);
    }
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
