// The QSerialPort behind the link, on devices that are not there.
#include "link/serial_port.h"
#include "link/unit_link.h"

#include <gtest/gtest.h>

using namespace qqc;

// Start-up shows "Error opening comm port: " + this text, so it must say why.
TEST(QtSerialPort, MissingDeviceFailsWithTheSystemsReason)
{
    QtSerialPort port;
    port.setDeviceName(QStringLiteral("/nonexistent/ttyQQC9"));
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.errorString().isEmpty());
    EXPECT_NE(port.errorString(), QStringLiteral("No error"));

    UnitLink link;
    EXPECT_FALSE(link.open(QStringLiteral("/nonexistent/ttyQQC9")));
    EXPECT_NE(link.errorString(), QStringLiteral("No error"));
    EXPECT_FALSE(link.errorString().isEmpty());

    QtSerialPort unnamed;
    EXPECT_FALSE(unnamed.open());
    EXPECT_EQ(unnamed.errorString(), QStringLiteral("No serial device configured"));
}
