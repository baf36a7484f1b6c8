#pragma once
// DiagPoll: the diagnostics poll without a window. It takes the serial line
// over with a port of its own and polls the unit for its raw grid frequency
// at a chosen interval, keeping the frequency, its hexadecimal form, the
// temperature, a spike count and the last spike size, and (for units with
// firmware 3.1 or later) a ferrous reading made with the magnet, as the texts
// the diagnostics window (frmDiag, link/ui) shows in its rows. It is the only
// part of the program that polls. The window drives start() and stop() and
// follows valuesChanged() and runningChanged().

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <memory>

namespace qqc {

class SerialPort;

// Grid temperature in degrees Celsius from the unit's temperature byte.
double diagTemperature(int t);

// Spike tracking across polls: a jump of 256 counts or more between two
// frequency readings counts as one spike, and its size is remembered.
struct SpikeCounter {
    bool firstPoll = true;
    int previous = 0;
    int count = 0;
    int size = 0;
    // Feeds one new frequency; returns the jump against the previous one.
    int add(int frequency);
};

// Outcome of one frequency read ("D", then low, high and temperature bytes).
struct FrequencyReading {
    enum Status { Ok, Failed, GridUnplugged } status = Failed;
    int frequency = 0;       // 256 * high + low; only with Ok
    int temperatureByte = 0; // with Ok and GridUnplugged
};

// The exchanges of the poll on its own port (the link operations, plus the
// frequency read), remembering whether a failure came from the port itself
// rather than from a silent unit.
class DiagLink {
public:
    explicit DiagLink(SerialPort& port) : port_(port) {}
    // One byte within `seconds`; -1 on time-out or when the port is gone.
    int waitForByte(int seconds);
    // Sends `command` and reads until command + 10 arrives.
    bool sendCommandByte(int command);
    // Discards every byte waiting.
    void flush();
    FrequencyReading readFrequency();
    // True when the last exchange failed because the port went away.
    bool portFailed() const { return portFailed_; }

private:
    SerialPort& port_;
    bool portFailed_ = false;
};

class DiagPoll : public QObject {
    Q_OBJECT
public:
    // The rows of the figures (row 0 holds the column titles).
    enum Row { RowStatus = 1, RowFrequency, RowHex, RowTemperature, RowSpikes, RowDelta, RowFe, RowCount };

    // `port` is the poll's own line to the unit (not yet open).
    explicit DiagPoll(std::unique_ptr<SerialPort> port, QObject* parent = nullptr);
    ~DiagPoll() override;

    // The port to use: the device name when not empty, else port number n.
    void setComPort(int port) { comPort_ = port; }
    void setDevice(const QString& device) { device_ = device; }
    // The magnet reading is made when it is offered (firmware 3.1 or later)
    // and chosen.
    void setMagnetOffered(bool offered) { magnetOffered_ = offered; }
    void setMagnetChosen(bool chosen) { magnetChosen_ = chosen; }
    // Whole seconds between polls; 0 polls once for each start().
    void setIntervalSeconds(int seconds) { intervalSeconds_ = seconds; }

    // Opens the port when it is not open ("Error opening comm port: " and
    // the system's text when it will not), then polls at once and keeps
    // polling at the interval.
    void start();
    // Stops polling; the port stays open for the next start().
    void stop();
    // Stops polling and closes the port, freeing the line.
    void finish();
    // One poll; runs only while the poll timer is enabled.
    void poll();

    bool running() const { return running_; }
    QTimer* timer() { return &timer_; }
    // The text of a row; "Polling" or "Waiting to Poll".
    QString value(int row) const;
    const QString& operation() const { return operation_; }
    SerialPort& port() const { return *port_; }

signals:
    void valuesChanged();
    // Started, stopped, or idle again after a single poll.
    void runningChanged(bool running);
    // The user chose Abort in an error report: the program should end.
    void abortRequested();

private:
    void setValue(int row, const QString& text) { values_[size_t(row)] = text; }
    void clearValues();
    void setRunning(bool running);
    bool pollOnce(DiagLink& link);

    std::unique_ptr<SerialPort> port_;
    int comPort_ = 0;
    QString device_;
    bool magnetOffered_ = false;
    bool magnetChosen_ = false;
    int intervalSeconds_ = 1;
    QTimer timer_;
    bool running_ = false;
    std::array<QString, RowCount> values_;
    QString operation_;
    SpikeCounter spikes_;
    bool portErrorReported_ = false;  // one report per run of failures
};

} // namespace qqc
