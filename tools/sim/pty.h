#pragma once
// One pseudo-terminal for a simulated unit. The master end is the unit's side
// of the cable; the slave end is the device the monitor opens. The unit keeps
// a descriptor of the slave open itself, raw (no echo, no line editing, bytes
// pass unchanged), so the master never sees a hang-up between the monitor's
// opens. Used by the simulator program and by PtyUnit, the tests' unit.

#include <QByteArray>
#include <QString>

#include <termios.h>

namespace qqc::sim {

class Pty {
public:
    Pty() = default;
    ~Pty() { close(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Opens a new pty whose slave is raw and, unless `slaveSpeed` is 0, set
    // to that speed. On failure errorString() says why.
    bool open(speed_t slaveSpeed = 0);
    void close();
    bool isOpen() const { return master_ >= 0; }
    int master() const { return master_; }
    // The terminal device the monitor opens ("/dev/pts/N").
    const QString& device() const { return device_; }
    const QString& errorString() const { return error_; }

    // Writes and reads on the master return at once instead of waiting.
    void setNonBlocking();
    // Writes all of `bytes` to the master; false when the line fails.
    bool writeAll(const QByteArray& bytes);
    // The slave's input speed now: the monitor sets its own when it opens the
    // line (0 when the slave is not open).
    speed_t slaveSpeed() const;

    // Makes `path` a symlink to device(), replacing one already there in one
    // step (a new link beside it, renamed over it), so a monitor reopening
    // `path` never finds it missing.
    bool pointLinkAt(const QString& path);

private:
    bool fail(const char* what);

    int master_ = -1;
    int slave_ = -1;
    QString device_;
    QString error_;
};

} // namespace qqc::sim
