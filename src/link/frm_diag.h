#pragma once
// The diagnostics window: takes over the serial line with a port of its own
// and polls the unit for its raw grid frequency at a chosen interval, showing
// the frequency, its hexadecimal form, the temperature, a spike count and the
// last spike size, and (for units with firmware 3.1 or later) a ferrous
// reading made with the magnet. It is the only part of the program that polls.
//
// The figures are computed by the small routines below, which need no window;
// the window only runs the exchange and shows their results.

#include <QDialog>
#include <QString>

#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace qqc {

class SerialPort;

// Grid temperature in degrees Celsius from the unit's temperature byte.
double DiagTemperature(int t);

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

// The exchanges of the diagnostics poll on the window's own port (the link
// operations, plus the frequency read), remembering whether a failure came
// from the port itself rather than from a silent unit.
class DiagLink {
public:
    explicit DiagLink(SerialPort& port) : port_(port) {}
    // One byte within `seconds`; -1 on time-out or when the port is gone.
    int WaitForByte(int seconds);
    // Sends `command` and reads until command + 10 arrives.
    bool SendCommandByte(int command);
    // Discards every byte waiting.
    void Flush();
    FrequencyReading ReadFrequency();
    // True when the last exchange failed because the port went away (as
    // opposed to a silent unit).
    bool portFailed() const { return portFailed_; }

private:
    SerialPort& port_;
    bool portFailed_ = false;
};

class frmDiag : public QDialog {
    Q_OBJECT
public:
    // Grid rows (column 0 holds the titles, column 1 the values).
    enum Row { RowStatus = 1, RowFrequency, RowHex, RowTemperature, RowSpikes, RowDelta, RowFe, RowCount };

    // `port` is the window's own line to the unit (not yet open).
    explicit frmDiag(std::unique_ptr<SerialPort> port, QWidget* parent = nullptr);
    ~frmDiag() override;

    // The port to use: the device name when not empty, else port number n.
    void setComPort(int port);
    void setDevice(const QString& device);
    // Offers the "Mag" reading (units with firmware 3.1 or later).
    void setMagnetVisible(bool visible);

    // The value shown in a grid row.
    QString value(int row) const;

    QPushButton* CmdButton() const { return cmdButton_; }
    QPushButton* Cancel() const { return cancel_; }
    QSpinBox* PollScroll() const { return pollScroll_; }
    QCheckBox* cbMag() const { return cbMag_; }
    QLineEdit* DiagOper() const { return diagOper_; }
    QTimer* DiagTimer() const { return diagTimer_; }
    QTableWidget* DiagFlex() const { return diagFlex_; }
    SerialPort& port() const { return *port_; }

    // One poll; runs only while the poll timer is enabled.
    void Poll();
    // Closing the window stops polling and closes its port.
    void done(int result) override;

signals:
    // The user chose Abort in an error report: the program should end.
    void abortRequested();

private:
    void CmdButton_Click();
    void Cancel_Click();
    void setValue(int row, const QString& text);
    void clearValues();
    bool pollOnce(DiagLink& link);
    void stopPolling();

    std::unique_ptr<SerialPort> port_;
    int comPort_ = 0;
    QString device_;

    QPushButton* cmdButton_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QSpinBox* pollScroll_ = nullptr;
    QCheckBox* cbMag_ = nullptr;
    QLineEdit* diagOper_ = nullptr;
    QTimer* diagTimer_ = nullptr;
    QTableWidget* diagFlex_ = nullptr;

    SpikeCounter spikes_;
    bool portErrorReported_ = false;  // one report per run of failures
};

} // namespace qqc
