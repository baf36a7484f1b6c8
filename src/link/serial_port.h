#pragma once
// The serial port seam: the few operations the program needs of a serial
// line to the unit. The program uses QtSerialPort (QSerialPort underneath);
// tests and the simulator plug a pseudo-terminal in through the same class,
// and a fake can stand in wherever a line is not wanted at all.
//
// The line is always 9600 baud, no parity, 8 data bits, 1 stop bit. Reads
// are one byte long. A write queues one byte and never waits for it to go.
//
// Notifications: `notification(code)` is emitted with
//   SerialPort::DataReceived (2)  when bytes arrived (one call may cover several),
//   1001 and above                 on a line or buffer error (see errorCode()).
// Modem-line calls that the device refuses (a pty has no DTR, RTS or pin
// signals) are not errors and never produce a notification.

#include <QObject>
#include <QString>

#include <memory>

class QSerialPort;

namespace qqc {

class SerialPort : public QObject {
    Q_OBJECT
public:
    // Notification codes.
    static constexpr int DataReceived = 2;
    static constexpr int FirstErrorCode = 1001;

    // Error codes passed with notification(), 1001 and above.
    enum ErrorCode : int {
        ErrDeviceNotFound = 1001,
        ErrPermission = 1002,
        ErrOpen = 1003,
        ErrWrite = 1004,
        ErrRead = 1005,
        ErrResource = 1006,   // the device went away (unplugged adapter, closed pty)
        ErrTimeout = 1007,
        ErrNotOpen = 1008,
        ErrUnknown = 1009,
    };

    explicit SerialPort(QObject* parent = nullptr) : QObject(parent) {}
    ~SerialPort() override = default;

    // The device opened next: a name such as "/dev/ttyUSB0", "COM7" or a pty
    // path. Setting it while open has no effect until the next open.
    virtual void setDeviceName(const QString& device) = 0;
    virtual QString deviceName() const = 0;
    // Port number n (1-based) as the platform names its n-th port:
    // "COMn" on Windows, "/dev/ttyS{n-1}" elsewhere.
    void setPortNumber(int number) { setDeviceName(deviceNameForPortNumber(number)); }
    static QString deviceNameForPortNumber(int number);

    // Opens at 9600,N,8,1. On failure returns false and errorString() holds
    // the system's description (shown after "Error opening comm port: ").
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString errorString() const = 0;

    // Count of bytes waiting to be read (without waiting for more).
    virtual qint64 bytesWaiting() = 0;
    // Blocks up to `msecs` until at least one byte is waiting; returns whether
    // one is. Used by the command exchange, which busy-waits by design.
    virtual bool waitForBytes(int msecs) = 0;
    // Takes one byte out of the receive queue; -1 when none is waiting.
    virtual int readByte() = 0;
    // Queues one byte for sending at once; false when the port is not open or
    // the write failed.
    virtual bool writeByte(unsigned char byte) = 0;

signals:
    // DataReceived, or an error code of 1001 and above.
    void notification(int code);
};

// The program's serial port: QSerialPort underneath. A resource error (the
// device went away) is reported once as ErrResource and closes the port; the
// owner decides whether and when to reopen it.
class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;

    void setDeviceName(const QString& device) override;
    QString deviceName() const override;
    bool open() override;
    void close() override;
    bool isOpen() const override;
    QString errorString() const override;
    qint64 bytesWaiting() override;
    bool waitForBytes(int msecs) override;
    int readByte() override;
    bool writeByte(unsigned char byte) override;

private:
    void onError(int qtError);
    void announceMissedData();
    bool hungUp() const;

    std::unique_ptr<QSerialPort> port_;
    QString device_;
    QString errorText_;
    bool waiting_ = false;      // inside waitForBytes: no notifications
    bool missedData_ = false;   // data arrived while waiting
    bool opening_ = false;
    bool lost_ = false;         // a resource error was reported since the last open
};

} // namespace qqc
