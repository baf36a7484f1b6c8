#include "app/shutdown_signals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace qqc {

#ifdef Q_OS_UNIX
namespace {
int pipeFds[2] = {-1, -1};

extern "C" void onShutdownSignal(int number)
{
    const unsigned char byte = static_cast<unsigned char>(number);
    const ssize_t written = ::write(pipeFds[0], &byte, 1);
    (void)written;  // nothing else is safe to do in a signal handler
}
} // namespace
#endif

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {}

ShutdownSignals::~ShutdownSignals()
{
#ifdef Q_OS_UNIX
    if (notifier_ != nullptr) {
        struct sigaction action = {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
#endif
}

bool ShutdownSignals::install()
{
#ifdef Q_OS_UNIX
    if (notifier_ != nullptr)
        return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pipeFds) != 0)
        return false;
    for (int fd : pipeFds)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(pipeFds[0], F_SETFL, ::fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(pipeFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        if (::read(pipeFds[1], &byte, 1) == 1)
            emit shutdownRequested(int(byte));
    });
    struct sigaction action = {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return true;
#else
    return false;
#endif
}

} // namespace qqc
