#pragma once
// An in-memory serial port for link tests: bytes the test queues are read by
// the code under test, bytes it writes are collected, and an optional
// responder answers each written byte as a unit would.

#include "link/serial_port.h"

#include <QByteArray>

#include <deque>
#include <functional>

namespace qqc::test {

class FakePort : public SerialPort {
public:
    void setDeviceName(const QString& device) override { device_ = device; }
    QString deviceName() const override { return device_; }
    bool open() override { return ++opens, open_ = openSucceeds; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    QString errorString() const override { return open_ ? QString() : QStringLiteral("No such device"); }
    qint64 bytesWaiting() override { return qint64(input.size()); }
    bool waitForBytes(int msecs) override { return waitedMs += msecs, !input.empty(); }
    int readByte() override
    {
        if (input.empty())
            return -1;
        const int b = input.front();
        input.pop_front();
        return b;
    }
    bool writeByte(unsigned char byte) override
    {
        if (!open_)
            return false;
        written += char(byte);
        if (responder)
            responder(byte, *this);
        return true;
    }

    void queue(const QByteArray& bytes) { input.insert(input.end(), bytes.begin(), bytes.end()); }
    // Queues bytes and announces them, as the port does when data arrives.
    void deliver(const QByteArray& bytes)
    {
        queue(bytes);
        emit notification(DataReceived);
    }
    // Starts closed and answers every written byte as `unit` (a sim::CommandResponder) does.
    template <typename Unit>
    void answerAs(Unit& unit)
    {
        close();
        responder = [&unit](unsigned char byte, FakePort& p) { p.queue(unit.receive(byte)); };
    }

    std::deque<std::uint8_t> input;
    QByteArray written;
    std::function<void(unsigned char, FakePort&)> responder;
    bool openSucceeds = true;
    int opens = 0;
    long long waitedMs = 0;

private:
    QString device_;
    bool open_ = true;
};

} // namespace qqc::test
