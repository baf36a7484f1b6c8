#pragma once
// A unit answering the PC's commands on a pseudo-terminal, in a thread of its
// own: the monitor opens device() like a serial port, and every byte it sends
// goes through a CommandResponder. The thread matters: the monitor's command
// exchanges busy-wait on their own thread, so the unit must answer from
// another one. Used by the tests, in-process.

#include "sim/command_responder.h"
#include "sim/pty.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace qqc::sim {

class PtyUnit {
public:
    PtyUnit();   // opens the pty and starts answering; see ok()
    ~PtyUnit();
    PtyUnit(const PtyUnit&) = delete;
    PtyUnit& operator=(const PtyUnit&) = delete;

    bool ok() const { return pty_.isOpen(); }
    // The terminal device the monitor opens ("/dev/pts/N").
    const QString& device() const { return pty_.device(); }

    // Sends bytes the unit offers on its own (a frame), as they are.
    bool send(const QByteArray& bytes);
    // Runs `change` on the responder under its lock (grid values, silence).
    void configure(const std::function<void(CommandResponder&)>& change);
    // What the PC sent so far.
    QByteArray received() const;
    void clearReceived();
    // Waits up to `msecs` until at least `count` bytes were received.
    bool waitForReceived(int count, int msecs) const;
    int testTimeSetting() const;

private:
    void run();

    Pty pty_;
    mutable std::mutex mutex_;
    CommandResponder responder_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace qqc::sim
