#include "sim/simulator.h"

#include "sim/frames.h"
#include "sim/unit_model.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace qqc::sim {

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t stopRequested = 0;

} // namespace

void Simulator::requestStop() { stopRequested = 1; }
bool Simulator::stopping() { return stopRequested != 0; }

Simulator::Simulator(SimOptions options) : opt_(std::move(options)), log_(opt_.recordPath) {}

Simulator::~Simulator()
{
    pty_.close();
    if (!opt_.link.isEmpty() && QFileInfo(opt_.link).isSymLink())
        QFile::remove(opt_.link);
}

bool Simulator::plugIn()
{
    if (!openLine())
        return false;
    printDevice();
    return true;
}

bool Simulator::openLine()
{
    // The slave starts at a speed the monitor changes on open: that is how
    // the simulator sees the monitor arrive (noteConnection).
    if (!pty_.open(B38400)) {
        std::fprintf(stderr, "quorvelqc-sim: pty: %s\n", pty_.errorString().toLocal8Bit().constData());
        return false;
    }
    pty_.setNonBlocking();
    connected_ = false;
    if (!opt_.link.isEmpty() && !pty_.pointLinkAt(opt_.link)) {
        std::fprintf(stderr, "quorvelqc-sim: --link: %s\n", pty_.errorString().toLocal8Bit().constData());
        return false;
    }
    return true;
}

void Simulator::printDevice()
{
    std::printf("%s\n", pty_.device().toLocal8Bit().constData());
    std::fflush(stdout);
}

bool Simulator::run(const QList<ScenarioStep>& steps)
{
    if (opt_.wait)
        waitForMonitor();
    for (const ScenarioStep& step : steps) {
        if (stopRequested)
            return true;
        if (!runStep(step))
            return false;
        if (exit_)
            return true;
    }
    while (!stopRequested)
        idle(200);
    return true;
}

bool Simulator::runStep(const ScenarioStep& step)
{
    using Kind = ScenarioStep::Kind;
    const auto num = [&step](int i, double fallback = 0) { return step.number(i, fallback); };
    switch (step.kind) {
    case Kind::Reset:
        send(statusFrame(254));
        break;
    case Kind::Status:
        send(statusFrame(int(num(0))));
        break;
    case Kind::State:
        send(stateFrame(int(num(0)), int(num(1)), int(num(2))));
        break;
    case Kind::Diel:
        send(dielFrame(int(num(0))));
        break;
    case Kind::Firmware: {
        const QByteArray v = (step.text.isEmpty() ? opt_.firmware : step.text).toLatin1().replace('.', "");
        const auto at = [&v](int i) { return i < v.size() ? v[i] : '0'; };
        send(firmwareFrame(at(0), at(1), at(2)));
        break;
    }
    case Kind::Error:
        send(errorFrame(step.text.toLatin1()));
        break;
    case Kind::Calibration:
        opt_.cal = {int(num(0, 5000)), int(num(1, 4600)), int(num(2, 220)), int(num(3, 300))};
        send(calibrationFrame(opt_.cal.freq220, opt_.cal.freq300, opt_.cal.diel220, opt_.cal.diel300));
        break;
    case Kind::Test:
        runTest(TestKind::Whole);
        break;
    case Kind::Tests: {
        const int n = int(num(0, 1));
        const double every = num(1, 30);
        for (int i = 0; (n == 0 || i < n) && !stopRequested && !exit_; ++i) {
            const auto start = Clock::now();
            runTest(TestKind::Whole);
            const double spent = std::chrono::duration<double>(Clock::now() - start).count();
            if (n == 0 || i + 1 < n)
                idle(int(std::max(0.0, every - spent) * 1000));
        }
        break;
    }
    case Kind::Wait:
        idle(int(num(0) * 1000));
        break;
    case Kind::Junk: {
        QByteArray junk;
        for (int i = 0; i < int(num(0, 8)); ++i)
            junk += char('a' + (nextRandom() % 26));   // small letters: never a tag, never an answer
        sendRaw(junk);
        break;
    }
    case Kind::EndTag:
        runTest(TestKind::EndTagInPayload);
        break;
    case Kind::Truncated:
        runTest(TestKind::Truncated);
        break;
    case Kind::Silence: {
        log_.add(QStringLiteral("SILENCE %1").arg(num(0)));
        responder_.setSilent(true);
        const auto until = Clock::now() + std::chrono::milliseconds(int(num(0) * 1000));
        while (Clock::now() < until && !stopRequested)
            serviceInput(50);
        responder_.setSilent(false);
        break;
    }
    case Kind::Unplug:
        log_.add(QStringLiteral("UNPLUG"));
        pty_.close();
        break;
    case Kind::Replug:
        if (!openLine())
            return false;
        log_.add(QStringLiteral("REPLUG ") + pty_.device());
        printDevice();
        if (opt_.wait)
            waitForMonitor();
        break;
    case Kind::Grid: {
        // The grid the "D" frequency read reports (diagnostics window).
        CommandResponder::Grid& g = responder_.grid();
        g.frequency = int(num(0, g.frequency));
        g.temperatureByte = int(num(1, g.temperatureByte));
        g.unplugged = false;
        break;
    }
    case Kind::NoGrid:
        responder_.grid().unplugged = true;
        break;
    case Kind::Spikes:
        responder_.grid().spikeEvery = int(num(0));
        responder_.grid().spikeSize = int(num(1, 300));
        break;
    case Kind::Magnet:
        responder_.grid().magnetDrop = {0, int(num(0, 120)), int(num(1, 80))};
        break;
    case Kind::Exit:
        exit_ = true;
        break;
    }
    return true;
}

void Simulator::runTest(TestKind kind)
{
    ++tests_;
    // Each test varies a little around the configured oil.
    OilSample oil = opt_.oil;
    oil.ferrous += int(nextRandom() % 5) - 2;
    oil.dielectric += int(nextRandom() % 7) - 3;
    oil.ferrous = std::max(0, oil.ferrous);
    TestRecord r = simulateTest(oil, opt_.cal, opt_.seed + quint32(tests_));
    avoidEndTag(r);
    if (kind == TestKind::EndTagInPayload) {
        r.raw8700[40] = 0x453C;   // "<E" as a little-endian word ...
        r.raw8700[140] = 0x3E;    // ... and ">" right after it
    }

    send(statusFrame(252));
    for (int s : {22, 23, 24, 25}) {
        send(stateFrame(s, 0, 0));
        idle(opt_.tickMs / 2);
    }
    send(stateFrame(26, 1, 0));
    for (int code = 0; code <= 50 && !stopRequested; code += 5) {
        send(statusFrame(code));
        send(stateFrame(27, 0, code * 2));
        if (code % 10 == 0)
            send(dielFrame(oil.dielectric));
        idle(opt_.tickMs);
    }
    send(statusFrame(250));
    const QByteArray f = testFrame(r);
    if (kind == TestKind::Truncated) {
        sendRaw(f.left(f.size() / 2));
        log_.add(QStringLiteral("TX D cut at %1").arg(f.size() / 2));
        return;
    }
    for (const QString& table : {QStringLiteral("raw8700"), QStringLiteral("Temp"), QStringLiteral("Calc8700"),
                                 QStringLiteral("CalData"), QStringLiteral("Rslt8700")})
        log_.add(QStringLiteral("TXD ") + table + QLatin1Char('=') + EventLog::tableText(r, table));
    send(f);
    send(stateFrame(28, 2, 0));
    send(statusFrame(252));
}

void Simulator::send(const QByteArray& frameBytes)
{
    log_.add(QStringLiteral("TX %1 %2").arg(QLatin1Char(frameBytes.size() > 3 ? frameBytes[3] : '?')).arg(frameBytes.size() - 7));
    sendRaw(frameBytes);
}

// Writes bytes at the line's rate; bytes nobody can take are lost, as on a
// serial line without a listener.
void Simulator::sendRaw(const QByteArray& bytes)
{
    if (!pty_.isOpen() || responder_.silent())
        return;
    const auto perByte = std::chrono::microseconds(1042);
    auto next = Clock::now();
    for (char c : bytes) {
        if (!pty_.isOpen() || stopRequested)
            return;
        writeByte(quint8(c));
        if (!opt_.fast) {
            next += perByte;
            std::this_thread::sleep_until(next);
        }
    }
}

void Simulator::writeByte(quint8 b)
{
    for (int tries = 0; tries < 50; ++tries) {
        const ssize_t w = ::write(pty_.master(), &b, 1);
        if (w == 1)
            return;
        if (w < 0 && errno != EAGAIN && errno != EINTR)
            return;
        pollfd p{pty_.master(), POLLOUT, 0};
        ::poll(&p, 1, 10);
    }
}

// Answers commands for `ms` milliseconds.
void Simulator::idle(int ms)
{
    const auto until = Clock::now() + std::chrono::milliseconds(std::max(0, ms));
    do {
        serviceInput(int(std::clamp<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count(), 0, 50)));
    } while (Clock::now() < until && !stopRequested);
}

void Simulator::serviceInput(int waitMs)
{
    if (!pty_.isOpen()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(1, waitMs)));
        return;
    }
    pollfd p{pty_.master(), POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0 || !(p.revents & POLLIN)) {
        if (p.revents & (POLLHUP | POLLERR))
            std::this_thread::sleep_for(std::chrono::milliseconds(std::max(1, waitMs)));
        noteConnection();
        return;
    }
    unsigned char buffer[64];
    const ssize_t n = ::read(pty_.master(), buffer, sizeof buffer);
    for (ssize_t i = 0; i < n; ++i) {
        const int downloadsBefore = responder_.calibrationDownloads();
        const int settingBefore = responder_.testTimeSetting();
        log_.add(QStringLiteral("RX ") + QString::asprintf("%02X", buffer[i]));
        const QByteArray answer = responder_.receive(buffer[i]);
        if (responder_.calibrationDownloads() != downloadsBefore) {
            const auto& c = responder_.calibration();
            log_.add(QStringLiteral("CAL %1,%2,%3,%4").arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]));
            opt_.cal = {c[0], c[1], c[2], c[3]};
        }
        if (responder_.testTimeSetting() != settingBefore)
            log_.add(QStringLiteral("TESTTIME %1").arg(responder_.testTimeSetting()));
        sendRaw(answer);
    }
    noteConnection();
}

void Simulator::noteConnection()
{
    if (!connected_ && pty_.slaveSpeed() == B9600) {
        connected_ = true;
        log_.add(QStringLiteral("CONNECTED"));
    }
}

void Simulator::waitForMonitor()
{
    while (!connected_ && !stopRequested)
        serviceInput(50);
}

quint32 Simulator::nextRandom()
{
    random_ = random_ * 1103515245u + 12345u;
    return (random_ >> 16) & 0x7FFF;
}

} // namespace qqc::sim
