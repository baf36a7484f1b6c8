#include "sim/pty_unit.h"

#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace qqc::sim {

PtyUnit::PtyUnit()
{
    if (pty_.open())
        thread_ = std::thread([this] { run(); });
}

PtyUnit::~PtyUnit()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void PtyUnit::run()
{
    while (!stop_) {
        pollfd p{pty_.master(), POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
            continue;
        unsigned char buffer[64];
        const ssize_t n = ::read(pty_.master(), buffer, sizeof buffer);
        if (n <= 0)
            continue;
        std::lock_guard lock(mutex_);
        QByteArray answer;
        for (ssize_t i = 0; i < n; ++i)
            answer += responder_.receive(buffer[i]);
        pty_.writeAll(answer);
    }
}

bool PtyUnit::send(const QByteArray& bytes)
{
    std::lock_guard lock(mutex_);   // not in the middle of an answer
    return pty_.writeAll(bytes);
}

void PtyUnit::configure(const std::function<void(CommandResponder&)>& change)
{
    std::lock_guard lock(mutex_);
    change(responder_);
}

QByteArray PtyUnit::received() const
{
    std::lock_guard lock(mutex_);
    return responder_.received();
}

void PtyUnit::clearReceived()
{
    std::lock_guard lock(mutex_);
    responder_.clearReceived();
}

bool PtyUnit::waitForReceived(int count, int msecs) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(msecs);
    for (;;) {
        if (received().size() >= count)
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

int PtyUnit::testTimeSetting() const
{
    std::lock_guard lock(mutex_);
    return responder_.testTimeSetting();
}

} // namespace qqc::sim
