#pragma once
// CapturingPort: a serial port that hands every byte read from and written to
// the port it wraps to a LineCapture, with the opens, closes and line errors
// as notes. The Monitor wraps the unit's port and the diagnostics window's
// port in one when capturing is on; the capture is shared by both.

#include "link/line_capture.h"
#include "link/serial_port.h"

#include <memory>

namespace qqc {

class CapturingPort : public SerialPort {
    Q_OBJECT
public:
    CapturingPort(std::unique_ptr<SerialPort> port, std::shared_ptr<LineCapture> capture, QObject* parent = nullptr);
    ~CapturingPort() override;

    void setDeviceName(const QString& device) override { port_->setDeviceName(device); }
    QString deviceName() const override { return port_->deviceName(); }
    bool open() override;
    void close() override;
    bool isOpen() const override { return port_->isOpen(); }
    QString errorString() const override { return port_->errorString(); }
    qint64 bytesWaiting() override { return port_->bytesWaiting(); }
    bool waitForBytes(int msecs) override { return port_->waitForBytes(msecs); }
    int readByte() override;
    bool writeByte(unsigned char byte) override;

private:
    std::unique_ptr<SerialPort> port_;
    std::shared_ptr<LineCapture> capture_;
};

} // namespace qqc
