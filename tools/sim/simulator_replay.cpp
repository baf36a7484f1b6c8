// The simulator's replay of a line capture: the pty side of ReplayPlan.
#include "sim/simulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace qqc::sim {

namespace {

using Clock = std::chrono::steady_clock;

void say(const QString& text) { std::fprintf(stderr, "quorvelqc-sim: replay: %s\n", text.toLocal8Bit().constData()); }

// Waits up to `waitMs` for bytes from the monitor and hands each to `take`.
template <typename Take>
void readInput(int fd, int waitMs, Take take)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, std::max(0, waitMs)) <= 0 || !(p.revents & POLLIN)) {
        if (p.revents & (POLLHUP | POLLERR))
            ::usleep(useconds_t(std::max(1, waitMs)) * 1000);
        return;
    }
    unsigned char buffer[64];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    for (ssize_t i = 0; i < n; ++i)
        take(buffer[i]);
}

} // namespace

void Simulator::replay(ReplayPlan& plan)
{
    if (opt_.wait)
        waitForMonitor();
    log_.add(QStringLiteral("REPLAY START"));
    const auto start = Clock::now();
    const auto nowMs = [start] {
        return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    };
    while (!stopping()) {
        const ReplayPlan::Step step = plan.advance(nowMs());
        for (const QString& m : plan.takeMessages()) {
            say(m);
            log_.add(QStringLiteral("REPLAY ") + m);
        }
        for (char c : step.send)
            writeByte(quint8(c));
        if (!step.send.isEmpty())
            log_.add(QStringLiteral("TX %1 bytes").arg(step.send.size()));
        if (step.waitMs < 0)
            break;
        if (!step.send.isEmpty())
            continue;
        readInput(pty_.master(), std::min(step.waitMs, 50), [&](quint8 b) {
            log_.add(QStringLiteral("RX ") + QString::asprintf("%02X", b));
            plan.received(b);
        });
    }
    const QString summary = QStringLiteral("%1; %2 command bytes as recorded, %3 others dropped, %4 commands not sent")
                                .arg(plan.finished() ? QStringLiteral("finished") : QStringLiteral("stopped"))
                                .arg(plan.matchedBytes())
                                .arg(plan.unexpectedBytes())
                                .arg(plan.stalls());
    say(summary);
    log_.add(QStringLiteral("REPLAY ") + summary);
    while (!stopping())
        readInput(pty_.master(), 200, [](quint8) {});
}

} // namespace qqc::sim
