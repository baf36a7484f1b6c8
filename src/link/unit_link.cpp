#include "link/unit_link.h"

#include "link/link_ops.h"
#include "link/serial_port.h"
#include "util/common.h"
#include "util/prompter.h"

namespace qqc {

namespace {
constexpr int DefaultReconnectMs = 1000;
} // namespace

UnitLink::UnitLink(std::unique_ptr<SerialPort> port, QObject* parent)
    : QObject(parent), port_(port ? std::move(port) : std::make_unique<QtSerialPort>())
{
    port_->setParent(nullptr);
    connect(port_.get(), &SerialPort::notification, this, &UnitLink::onNotification);
    reconnect_.setInterval(DefaultReconnectMs);
    connect(&reconnect_, &QTimer::timeout, this, &UnitLink::tryReopen);
}

UnitLink::~UnitLink()
{
    reconnect_.stop();
    port_->disconnect(this);
    port_->close();
}

void UnitLink::setStatusModel(UnitStateModel* model)
{
    if (status_)
        status_->disconnect(this);
    status_ = model;
    if (model)
        connect(model, &UnitStateModel::ReadFreq, this, [this] { ReadFreq(); });
}

bool UnitLink::open(const QString& device)
{
    reconnect_.stop();
    lost_ = false;
    lastErrorShown_ = 0;
    port_->close();
    port_->setDeviceName(device);
    buffer_.Init();
    return port_->open();
}

void UnitLink::close()
{
    reconnect_.stop();
    lost_ = false;
    port_->close();
}

bool UnitLink::isOpen() const { return port_->isOpen(); }
QString UnitLink::errorString() const { return port_->errorString(); }
QString UnitLink::deviceName() const { return port_->deviceName(); }

void UnitLink::onNotification(int code)
{
    if (code >= SerialPort::FirstErrorCode) {
        if (code == SerialPort::ErrResource) {
            onLineLost();
            return;
        }
        if (code != lastErrorShown_) {
            lastErrorShown_ = code;
            prompter().message(QStringLiteral("Comm Error, Event = ") + QString::number(code), MsgStyle::Ok, QString());
        }
        return;
    }
    if (code != SerialPort::DataReceived)
        return;
    // A handler runs to completion, message boxes included, before the next
    // byte is stored: bytes announced meanwhile wait in the port and are read
    // by the loop below once the handler has returned.
    if (receiving_)
        return;
    receiving_ = true;
    while (port_->isOpen() && port_->bytesWaiting() > 0) {
        const int b = ReadLinkByte(*port_);
        if (b < 0)
            break;
        lastErrorShown_ = 0;
        ProcessReceivedByte(std::uint8_t(b));
    }
    receiving_ = false;
}

void UnitLink::ProcessReceivedByte(std::uint8_t byte)
{
    buffer_.StoreByte(byte);
    if (!buffer_.CheckForEnd())
        return;
    const int pos = buffer_.LocateStart();
    if (pos < 0) {
        prompter().message(QStringLiteral("Unable to locate start tag in device string."), MsgStyle::Ok, QString());
        return;
    }
    buffer_.FrontTrim(pos + 3);
    dispatch();
    buffer_.Init();
}

QByteArray UnitLink::currentFrame() const
{
    // Code byte plus payload: everything before the first end tag.
    const int length = buffer_.LocateEnd() + 3;
    if (length <= 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(buffer_.data()), length);
}

void UnitLink::dispatch()
{
    const char code = char(buffer_.GetByte(0));
    // A handler never reads past the frame's end tag: a payload cut short
    // by an end tag inside it reads as zeros, not as bytes of older frames.
    const QByteArray frame = currentFrame();
    const auto p = [&frame](int i) { return i < frame.size() ? int(std::uint8_t(frame[i])) : 0; };
    switch (code) {
    case 'K':
        onStatus(p(1));
        break;
    case 'S':
        if (statusWindowOpen())
            status_->NewState(p(1), p(2), p(3));
        break;
    case 'F': {
        DebugLog(QStringLiteral("Diel,%1,%2").arg(p(1)).arg(p(2)), debugLog_);
        // A reading that does not fit a signed 16-bit value is line noise.
        if (statusWindowOpen() && p(1) < 128)
            status_->Diel(256 * p(1) + p(2));
        break;
    }
    case 'I':
        onFirmware(char(p(1)), char(p(2)), char(p(3)));
        break;
    case 'X':
        onUnitError(frame.mid(1));
        break;
    case 'D':
        emit testDataFrame(frame);
        break;
    case 'C':
        emit calibrationFrame(frame);
        break;
    default:
        break;   // "J" and unknown codes are dropped
    }
    emit frameDispatched(code);
}

void UnitLink::onStatus(int code)
{
    if (!statusWindowOpen())
        return;
    if (code == UnitStatus::Reset) {
        emit unitReset();
        return;
    }
    status_->DoGridStatus(code);
}

void UnitLink::onFirmware(char major, char minor, char revision)
{
    // A character that is not a digit counts as 0, as the unit never sends one.
    const auto digit = [](char c) { return (c >= '0' && c <= '9') ? c - '0' : 0; };
    if (digit(major) > 3 || digit(minor) > 1) {
        MessageBoxEx(QStringLiteral("PC software supports QuorvelQC firmware version $.$.|The QuorvelQC is version "
                                    "$.$.|Please update PC software."),
                     MsgStyle::Ok,
                     QStringLiteral("3|1|") + QLatin1Char(major) + QLatin1Char('|') + QLatin1Char(minor));
    }
    if (major >= '3') {
        if (minor >= '1')
            firmware31_ = true;
        emit testTimeAvailable();
    } else if (major == '2' && revision > '5') {
        emit testTimeAvailable();
    }
}

void UnitLink::onUnitError(const QByteArray& text)
{
    MessageBoxEx(QStringLiteral("ERROR|| Please report to ") + supportEmail_ + QStringLiteral(" and reboot QuorvelQC.||")
                     + QString::fromLatin1(text),
                 MsgStyle::Exclamation);
}

int UnitLink::ReadFreq()
{
    if (SendCommandByte(*port_, 'D') != LinkStatus::Ok)
        return -1;
    std::uint8_t low = 0, high = 0, third = 0;
    if (WaitForByte(*port_, 1, low) != LinkStatus::Ok || WaitForByte(*port_, 1, high) != LinkStatus::Ok
        || WaitForByte(*port_, 1, third) != LinkStatus::Ok)
        return -1;
    const int value = high < 128 ? 256 * high + low : 9999;
    DebugLog(QStringLiteral("%1,%2").arg(value).arg(third), debugLog_);
    return value;
}

void UnitLink::onLineLost()
{
    if (lost_)
        return;
    lost_ = true;
    port_->close();
    buffer_.Init();   // a frame cut by the fault is never completed by the next one
    reconnect_.start();
    emit lineLostDetected();
    prompter().message(QStringLiteral("Comm Error, Event = ") + QString::number(SerialPort::ErrResource)
                           + QStringLiteral("\r\nThe link to the unit on ") + port_->deviceName()
                           + QStringLiteral(" was lost. It is reopened as soon as the unit is back."),
                       MsgStyle::Ok, QString());
}

void UnitLink::tryReopen()
{
    if (!lost_) {
        reconnect_.stop();
        return;
    }
    if (!port_->open())
        return;   // not back yet: try again at the next tick, silently
    reconnect_.stop();
    lost_ = false;
    lastErrorShown_ = 0;
    buffer_.Init();
    DebugLog(QStringLiteral("Link reopened,") + port_->deviceName(), true);
    emit lineRestored();
}

} // namespace qqc
