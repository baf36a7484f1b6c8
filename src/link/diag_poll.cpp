#include "link/diag_poll.h"

#include "link/link_ops.h"
#include "link/serial_port.h"
#include "util/prompter.h"
#include "util/std_error.h"
#include "util/vb_format.h"

#include <cstdlib>

namespace qqc {

namespace {

constexpr int kCommandFrequency = 'D';  // answered "N", then low, high, temperature
constexpr int kCommandMagnet = 'M';     // followed by the magnet position byte
constexpr int kGridUnplugged = 254;     // high byte when no grid is plugged in
constexpr int kSpikeThreshold = 256;

const char* const kModule = "Diag8700";
const char* const kRoutine = "frmDiag";

} // namespace

double diagTemperature(int t)
{
    const double x = t;
    return -45.82 + 0.9478 * x - 0.00495 * x * x + 0.0000145 * x * x * x;
}

int SpikeCounter::add(int frequency)
{
    if (firstPoll) {
        firstPoll = false;
        previous = frequency;
        size = 0;
    }
    const int delta = std::abs(frequency - previous);
    if (delta >= kSpikeThreshold) {
        ++count;
        size = delta;
    }
    previous = frequency;
    return delta;
}

bool DiagLink::sendCommandByte(int command)
{
    const bool ok = qqc::SendCommandByte(port_, std::uint8_t(command)) == LinkStatus::Ok;
    portFailed_ = !ok && !port_.isOpen();
    return ok;
}

int DiagLink::waitForByte(int seconds)
{
    std::uint8_t byte = 0;
    if (qqc::WaitForByte(port_, seconds, byte) == LinkStatus::Ok)
        return byte;
    portFailed_ = !port_.isOpen();
    return -1;
}

void DiagLink::flush() { flushLinkInput(port_); }

FrequencyReading DiagLink::readFrequency()
{
    FrequencyReading reading;
    if (!sendCommandByte(kCommandFrequency))
        return reading;
    const int low = waitForByte(1);
    if (low < 0)
        return reading;
    const int high = waitForByte(1);
    if (high < 0)
        return reading;
    const int temperature = waitForByte(1);
    if (temperature < 0)
        return reading;
    reading.temperatureByte = temperature;
    if (high == kGridUnplugged) {
        reading.status = FrequencyReading::GridUnplugged;
        return reading;
    }
    reading.status = FrequencyReading::Ok;
    reading.frequency = 256 * high + low;
    return reading;
}

DiagPoll::DiagPoll(std::unique_ptr<SerialPort> port, QObject* parent) : QObject(parent), port_(std::move(port))
{
    timer_.setObjectName(QStringLiteral("DiagTimer"));
    connect(&timer_, &QTimer::timeout, this, &DiagPoll::poll);
}

DiagPoll::~DiagPoll()
{
    timer_.stop();
    if (port_->isOpen())
        port_->close();
}

QString DiagPoll::value(int row) const
{
    return row >= 0 && row < RowCount ? values_[size_t(row)] : QString();
}

void DiagPoll::clearValues()
{
    for (QString& v : values_)
        v.clear();
}

void DiagPoll::setRunning(bool running)
{
    running_ = running;
    emit runningChanged(running);
}

void DiagPoll::start()
{
    if (!port_->isOpen()) {
        if (device_.isEmpty())
            port_->setPortNumber(comPort_);
        else
            port_->setDeviceName(device_);
        if (!port_->open()) {
            prompter().message(QStringLiteral("Error opening comm port: ") + port_->errorString(), MsgStyle::Ok,
                               QString());
            return;
        }
    }
    portErrorReported_ = false;
    timer_.start(std::max(1, intervalSeconds_ * 1000));
    setRunning(true);
    poll();
}

void DiagPoll::stop()
{
    timer_.stop();
    setRunning(false);
}

void DiagPoll::finish()
{
    timer_.stop();
    if (port_->isOpen())
        port_->close();
}

void DiagPoll::poll()
{
    if (!timer_.isActive())
        return;
    timer_.stop();
    clearValues();
    operation_ = QStringLiteral("Polling");
    emit valuesChanged();

    DiagLink link(*port_);
    for (;;) {
        if (pollOnce(link) || !link.portFailed()) {
            portErrorReported_ = false;
            break;
        }
        // The line itself failed (write refused, device gone): report it once
        // per run of failures; a silent unit only shows in the status row.
        if (portErrorReported_)
            break;
        portErrorReported_ = true;
        emit valuesChanged();
        const QString text = port_->errorString().isEmpty() ? QStringLiteral("Serial port not available")
                                                             : port_->errorString();
        const int answer = ReportModuleError(SerialPort::ErrResource, text, QLatin1String(kModule),
                                             QLatin1String(kRoutine));
        if (answer == Answer::Abort) {
            stop();
            emit abortRequested();
            return;
        }
        if (answer != Answer::Retry)
            break;
        // Retry: reopen the line if it went away and poll again.
        portErrorReported_ = false;
        if (!port_->isOpen())
            port_->open();
        clearValues();
    }

    if (intervalSeconds_ >= 1)
        timer_.start(intervalSeconds_ * 1000);
    else
        setRunning(false);   // a zero interval polls once: idle again
    operation_ = QStringLiteral("Waiting to Poll");
    emit valuesChanged();
}

// The measurements of one poll. Returns false when an exchange failed.
bool DiagPoll::pollOnce(DiagLink& link)
{
    link.flush();

    auto showRead = [this](const FrequencyReading& r) {
        if (r.status == FrequencyReading::Failed)
            setValue(RowStatus, QStringLiteral("Communications Error"));
        else if (r.status == FrequencyReading::GridUnplugged)
            setValue(RowStatus, QStringLiteral("Grid Unplugged"));
    };

    if (magnetOffered_ && magnetChosen_) {
        // Magnet positions 1, 2, then 0 (away); the ferrous reading is how far
        // each magnet position pulls the frequency down from the rest value.
        int f[3] = {0, 0, 0};
        for (int k : {1, 2, 0}) {
            if (!link.sendCommandByte(kCommandMagnet) || !link.sendCommandByte(k)) {
                setValue(RowStatus, QStringLiteral("Communications Error"));
                return false;
            }
            const FrequencyReading r = link.readFrequency();
            if (r.status != FrequencyReading::Ok) {
                showRead(r);
                return r.status != FrequencyReading::Failed;
            }
            f[k] = r.frequency;
        }
        const int fe = (f[0] - f[1]) + (f[0] - f[2]);
        setValue(RowFe, Format(fe, QStringLiteral("#####")));
    }

    const FrequencyReading r = link.readFrequency();
    if (r.status == FrequencyReading::Failed) {
        showRead(r);
        return false;
    }
    setValue(RowTemperature, Format(diagTemperature(r.temperatureByte), QStringLiteral("####.#")));
    if (r.status == FrequencyReading::GridUnplugged) {
        // No frequency: nothing to show for it and nothing to count as a spike.
        showRead(r);
        return true;
    }
    setValue(RowFrequency, Format(r.frequency, QStringLiteral("#####")));
    setValue(RowHex, QString::number(r.frequency, 16).toUpper());
    spikes_.add(r.frequency);
    setValue(RowSpikes, Format(spikes_.count, QStringLiteral("#####")));
    setValue(RowDelta, Format(spikes_.size, QStringLiteral("#####")));
    return true;
}

} // namespace qqc
