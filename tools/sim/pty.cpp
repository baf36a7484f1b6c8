#include "sim/pty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace qqc::sim {

bool Pty::fail(const char* what)
{
    error_ = QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool Pty::open(speed_t slaveSpeed)
{
    close();
    error_.clear();
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        fail("grantpt");
        close();
        return false;
    }
    device_ = QString::fromLocal8Bit(ptsname(master_));
    slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
    termios t{};
    if (slave_ >= 0 && tcgetattr(slave_, &t) == 0) {
        cfmakeraw(&t);
        if (slaveSpeed != 0) {
            cfsetispeed(&t, slaveSpeed);
            cfsetospeed(&t, slaveSpeed);
        }
        tcsetattr(slave_, TCSANOW, &t);
    }
    return true;
}

void Pty::close()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

void Pty::setNonBlocking()
{
    if (master_ >= 0)
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

bool Pty::writeAll(const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t w = ::write(master_, bytes.constData() + written, size_t(bytes.size() - written));
        if (w <= 0)
            return false;
        written += w;
    }
    return true;
}

speed_t Pty::slaveSpeed() const
{
    termios t{};
    return slave_ >= 0 && tcgetattr(slave_, &t) == 0 ? cfgetispeed(&t) : 0;
}

bool Pty::pointLinkAt(const QString& path)
{
    const QByteArray target = path.toLocal8Bit();
    const QByteArray beside = target + ".new";
    ::unlink(beside.constData());
    if (::symlink(device_.toLocal8Bit().constData(), beside.constData()) != 0)
        return fail("symlink");
    if (::rename(beside.constData(), target.constData()) != 0)
        return fail("rename");
    return true;
}

} // namespace qqc::sim
