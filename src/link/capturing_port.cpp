#include "link/capturing_port.h"

namespace qqc {

CapturingPort::CapturingPort(std::unique_ptr<SerialPort> port, std::shared_ptr<LineCapture> capture, QObject* parent)
    : SerialPort(parent), port_(std::move(port)), capture_(std::move(capture))
{
    connect(port_.get(), &SerialPort::notification, this, [this](int code) {
        if (code >= FirstErrorCode)
            capture_->note(QStringLiteral("ERROR %1").arg(code));
        emit notification(code);
    });
}

CapturingPort::~CapturingPort()
{
    port_->disconnect(this);
    capture_->flush();
}

bool CapturingPort::open()
{
    const bool wasOpen = port_->isOpen();
    const bool ok = port_->open();
    if (ok && !wasOpen)
        capture_->note(QStringLiteral("OPEN ") + port_->deviceName());
    return ok;
}

void CapturingPort::close()
{
    const bool wasOpen = port_->isOpen();
    port_->close();
    if (wasOpen)
        capture_->note(QStringLiteral("CLOSE"));
}

int CapturingPort::readByte()
{
    const int byte = port_->readByte();
    if (byte >= 0)
        capture_->add(CaptureEntry::Rx, quint8(byte));
    return byte;
}

bool CapturingPort::writeByte(unsigned char byte)
{
    const bool ok = port_->writeByte(byte);
    if (ok)
        capture_->add(CaptureEntry::Tx, byte);
    return ok;
}

} // namespace qqc
