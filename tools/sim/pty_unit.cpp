#include "sim/pty_unit.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace qqc::sim {

PtyUnit::PtyUnit()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return;
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    device_ = QString::fromLocal8Bit(ptsname(master_));
    slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
    if (slave_ >= 0) {
        // Raw from the start: no echo, no line editing, bytes pass unchanged.
        termios t{};
        if (tcgetattr(slave_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(slave_, TCSANOW, &t);
        }
    }
    thread_ = std::thread([this] { run(); });
}

PtyUnit::~PtyUnit()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

void PtyUnit::run()
{
    while (!stop_) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
            continue;
        unsigned char buffer[64];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        std::lock_guard lock(mutex_);
        QByteArray answer;
        for (ssize_t i = 0; i < n; ++i)
            answer += responder_.receive(buffer[i]);
        qsizetype written = 0;
        while (written < answer.size()) {
            const ssize_t w = ::write(master_, answer.constData() + written, size_t(answer.size() - written));
            if (w <= 0)
                break;
            written += w;
        }
    }
}

bool PtyUnit::send(const QByteArray& bytes)
{
    std::lock_guard lock(mutex_);   // not in the middle of an answer
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t w = ::write(master_, bytes.constData() + written, size_t(bytes.size() - written));
        if (w <= 0)
            return false;
        written += w;
    }
    return true;
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
