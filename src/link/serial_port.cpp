#include "link/serial_port.h"

#include <QMetaObject>
#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace qqc {

QString SerialPort::deviceNameForPortNumber(int number)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

QtSerialPort::QtSerialPort(QObject* parent) : SerialPort(parent), port_(std::make_unique<QSerialPort>())
{
    connect(port_.get(), &QSerialPort::readyRead, this, [this] {
        if (waiting_) {
            missedData_ = true;   // the command exchange reads these itself
            return;
        }
        emit notification(DataReceived);
    });
    connect(port_.get(), &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { onError(int(e)); });
}

QtSerialPort::~QtSerialPort()
{
    port_->disconnect(this);
    if (port_->isOpen())
        port_->close();
}

void QtSerialPort::setDeviceName(const QString& device) { device_ = device; }
QString QtSerialPort::deviceName() const { return device_; }

bool QtSerialPort::open()
{
    if (port_->isOpen())
        return true;
    errorText_.clear();
    lost_ = false;
    if (device_.isEmpty()) {
        errorText_ = QStringLiteral("No serial device configured");
        return false;
    }
    port_->setPortName(device_);
    port_->setBaudRate(QSerialPort::Baud9600);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    opening_ = true;
    const bool ok = port_->open(QIODevice::ReadWrite);
    opening_ = false;
    if (!ok) {
        // The error notification raised during open() has already taken the
        // system's text and cleared the error; reading it again here would
        // give "No error".
        if (errorText_.isEmpty() && port_->error() != QSerialPort::NoError)
            errorText_ = port_->errorString();
        if (errorText_.isEmpty())
            errorText_ = QStringLiteral("Cannot open %1").arg(device_);
        port_->clearError();
        return false;
    }
    port_->clearError();
    return true;
}

void QtSerialPort::close()
{
    if (port_->isOpen())
        port_->close();
    port_->clearError();
}

bool QtSerialPort::isOpen() const { return port_->isOpen(); }

QString QtSerialPort::errorString() const { return errorText_; }

qint64 QtSerialPort::bytesWaiting() { return port_->isOpen() ? port_->bytesAvailable() : 0; }

bool QtSerialPort::waitForBytes(int msecs)
{
    if (!port_->isOpen())
        return false;
    if (port_->bytesAvailable() > 0)
        return true;
    waiting_ = true;
    port_->waitForReadyRead(msecs);
    waiting_ = false;
    if (missedData_) {
        // Bytes the exchange leaves unread are announced once the event loop
        // runs again, so they reach the receive path after the exchange.
        QMetaObject::invokeMethod(this, [this] { announceMissedData(); }, Qt::QueuedConnection);
    }
    return port_->isOpen() && port_->bytesAvailable() > 0;
}

int QtSerialPort::readByte()
{
    if (!port_->isOpen() || port_->bytesAvailable() <= 0)
        return -1;
    char c = 0;
    if (!port_->getChar(&c))
        return -1;
    return static_cast<unsigned char>(c);
}

bool QtSerialPort::writeByte(unsigned char byte)
{
    if (!port_->isOpen())
        return false;
    const char c = static_cast<char>(byte);
    if (port_->write(&c, 1) != 1)
        return false;
    port_->flush();
    return true;
}

void QtSerialPort::announceMissedData()
{
    if (missedData_ && !waiting_) {
        missedData_ = false;
        if (port_->isOpen() && port_->bytesAvailable() > 0)
            emit notification(DataReceived);
    }
}

bool QtSerialPort::hungUp() const
{
#ifdef Q_OS_UNIX
    if (!port_->isOpen())
        return false;
    pollfd p{int(port_->handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
#else
    return false;
#endif
}

void QtSerialPort::onError(int qtError)
{
    int code = 0;
    switch (QSerialPort::SerialPortError(qtError)) {
    case QSerialPort::NoError:  // clearError() itself announces NoError: nothing to do
        return;
    case QSerialPort::UnsupportedOperationError:  // modem lines a pty refuses: harmless
        port_->clearError();
        return;
    case QSerialPort::DeviceNotFoundError: code = ErrDeviceNotFound; break;
    case QSerialPort::PermissionError: code = ErrPermission; break;
    case QSerialPort::OpenError: code = ErrOpen; break;
    case QSerialPort::WriteError: code = ErrWrite; break;
    case QSerialPort::ReadError: code = ErrRead; break;
    case QSerialPort::ResourceError: code = ErrResource; break;
    case QSerialPort::TimeoutError:  // a wait that ran out is not a line fault
        port_->clearError();
        return;
    case QSerialPort::NotOpenError: code = ErrNotOpen; break;
    default: code = ErrUnknown; break;
    }
    // A device that went away often shows only as a failed read of nothing
    // (a closed pty, some USB adapters); the descriptor then reports hang-up.
    if (code == ErrRead && hungUp())
        code = ErrResource;
    errorText_ = port_->errorString();
    port_->clearError();
    if (opening_)
        return;   // open() reports its own failure through its result
    if (code == ErrResource) {
        // The device went away: report it once and close, so the notifier
        // does not fire again and again on a dead descriptor.
        if (lost_)
            return;
        lost_ = true;
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
    }
    emit notification(code);
}

} // namespace qqc
