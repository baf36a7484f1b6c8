// Bytes in to decoded record for the unit's test frame: every byte of a whole
// "D" frame goes through the receive buffer, framing and dispatch, and the
// frame through the test-record decoder, as on the line. Prints the time per
// frame against the line's own limit (782 bytes at 9600 baud, 10 bits a byte).

#include "core/record.h"
#include "link/record_decoder.h"
#include "link/serial_port.h"
#include "link/unit_link.h"
#include "sim/frames.h"
#include "sim/unit_model.h"

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

class NullPort : public qqc::SerialPort {
public:
    void setDeviceName(const QString&) override {}
    QString deviceName() const override { return QString(); }
    bool open() override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    QString errorString() const override { return QString(); }
    qint64 bytesWaiting() override { return 0; }
    bool waitForBytes(int) override { return false; }
    int readByte() override { return -1; }
    bool writeByte(unsigned char) override { return false; }
};

} // namespace

int main(int argc, char**)
{
    if (argc > 1) {
        std::fprintf(stderr, "usage: bench_link_decode   (no options)\n");
        return 2;
    }
    qqc::sim::OilSample oil;
    oil.lcont = 7;
    qqc::TestRecord sent = qqc::sim::simulateTest(oil, qqc::sim::Calibration{}, 1);
    qqc::sim::avoidEndTag(sent);
    const QByteArray frame = qqc::sim::testFrame(sent);

    qqc::UnitLink link(std::make_unique<NullPort>());
    qqc::TestRecord decoded;
    long long good = 0;
    QObject::connect(&link, &qqc::UnitLink::testDataFrame, [&](const QByteArray& f) {
        if (qqc::get_ov_data(f, decoded) == qqc::DecodeResult::Ok)
            ++good;
    });

    const int rounds = 20000;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        for (char c : frame)
            link.ProcessReceivedByte(std::uint8_t(c));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const double perFrameUs = seconds / rounds * 1e6;
    const double lineSeconds = frame.size() * 10 / 9600.0;
    std::printf("link_decode: %d test frames of %lld bytes, %lld decoded %s\n", rounds, (long long)frame.size(), good,
                decoded == sent ? "(identical)" : "(MISMATCH)");
    std::printf("link_decode: %.1f us per frame (%.1f ns per byte); the line needs %.3f s per frame: %.0fx headroom\n",
                perFrameUs, perFrameUs * 1000.0 / frame.size(), lineSeconds, lineSeconds / (perFrameUs / 1e6));
    return good == rounds && decoded.raw8700 == sent.raw8700 ? 0 : 1;
}
