#include "link/link_ops.h"

#include "link/serial_port.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qqc {

using Clock = std::chrono::steady_clock;

int ReadLinkByte(SerialPort& port) { return port.readByte(); }

int WaitForByte(SerialPort& port, int timeoutSeconds, std::uint8_t& byte)
{
    const bool limited = timeoutSeconds >= 1;
    const auto deadline = Clock::now() + std::chrono::seconds(limited ? timeoutSeconds : 0);
    for (;;) {
        if (!port.isOpen())
            return LinkStatus::Failed;
        if (port.bytesWaiting() > 0) {
            const int b = ReadLinkByte(port);
            if (b >= 0) {
                byte = std::uint8_t(b);
                return LinkStatus::Ok;
            }
        }
        int sliceMs = 200;
        if (limited) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return LinkStatus::Failed;
            sliceMs = int(std::min<long long>(left, sliceMs));
        }
        const auto before = Clock::now();
        if (!port.waitForBytes(sliceMs) && Clock::now() - before < std::chrono::milliseconds(1)) {
            // The port returned at once without data (a line fault): do not spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

int SendCommandByte(SerialPort& port, std::uint8_t command, int maxSeconds)
{
    if (!port.writeByte(command))
        return LinkStatus::Failed;
    const std::uint8_t expected = std::uint8_t(command + 10);
    const auto giveUp = Clock::now() + std::chrono::seconds(maxSeconds);
    int silentWaits = 0;
    for (;;) {
        std::uint8_t b = 0;
        if (WaitForByte(port, 1, b) == LinkStatus::Ok) {
            if (b == expected)
                return LinkStatus::Ok;
            // Anything else (a frame the unit sent meanwhile, line noise) is dropped.
        } else if (++silentWaits >= 2 || !port.isOpen()) {
            return LinkStatus::Failed;
        }
        if (Clock::now() >= giveUp)
            return LinkStatus::Failed;
    }
}

void SendWord(SerialPort& port, std::int16_t value)
{
    // Two's complement high byte: the same as value / 256 for every value the
    // unit is sent (counts and dielectrics are never negative), and right for
    // negative values too.
    const auto u = std::uint16_t(value);
    port.writeByte(std::uint8_t(u >> 8));
    port.writeByte(std::uint8_t(u & 0xFF));
}

void flushLinkInput(SerialPort& port)
{
    while (port.bytesWaiting() > 0 && port.readByte() >= 0) {
    }
}

} // namespace qqc
