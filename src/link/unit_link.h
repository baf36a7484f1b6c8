#pragma once
// UnitLink: the main window's link to the unit. It owns the serial port and
// the receive buffer, runs the receive path (notification -> one byte at a
// time into clsComBuf -> frame cut at the end tag -> dispatch by code byte),
// handles the unit's status, state, reading, firmware and error messages
// itself, and hands the test record ("D") and calibration ("C") frames to the
// main window through signals, synchronously, before the next byte is read.
//
// A lost line (the adapter unplugged, the simulator closed its side) is
// reported once; the same device is then reopened as soon as it is back.

#include "link/com_buf.h"
#include "link/unit_state_model.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace qqc {

class SerialPort;

class UnitLink : public QObject {
    Q_OBJECT
public:
    // Takes ownership of `port`; a QtSerialPort when none is given.
    explicit UnitLink(std::unique_ptr<SerialPort> port = nullptr, QObject* parent = nullptr);
    ~UnitLink() override;

    SerialPort& port() { return *port_; }
    clsComBuf& buffer() { return buffer_; }

    // --- configuration ---
    void setDebugLog(bool on) { debugLog_ = on; }
    void setSupportEmail(const QString& address) { supportEmail_ = address; }
    // What the status window shows (not owned) and the window's open flag:
    // "K", "S" and "F" reach the model only while the window is open.
    void setStatusModel(UnitStateModel* model);
    void setStatusWindowOpen(bool open)
    {
        statusOpen_ = [open] { return open; };
    }
    // The flag as the owner keeps it.
    void setStatusWindowOpenQuery(std::function<bool()> query) { statusOpen_ = std::move(query); }
    bool statusWindowOpen() const { return status_ && statusOpen_ && statusOpen_(); }
    UnitStateModel* statusModel() const { return status_; }
    // How often a lost line is retried (default one second).
    void setReconnectInterval(int msecs) { reconnect_.setInterval(msecs); }

    // --- the port ---
    // Opens `device` at 9600,N,8,1. On failure returns false; errorString()
    // has the system's description.
    bool open(const QString& device);
    void close();
    bool isOpen() const;
    QString errorString() const;
    QString deviceName() const;
    // True between a lost line and its reopening.
    bool lineLost() const { return lost_; }

    // --- what the unit told us ---
    bool firmware31() const { return firmware31_; }

    // --- receive path ---
    // One notification of the port: 2 reads every waiting byte; 1001 and
    // above shows "Comm Error, Event = " + code.
    void onNotification(int code);
    void ProcessReceivedByte(std::uint8_t byte);

    // The frequency read of states 4, 24 and 25: "D" answered by "N", then low,
    // high and a third byte. Returns the value (9999 when the high byte is 128
    // or more), or -1 when the exchange failed.
    int ReadFreq();

signals:
    // A complete frame: code byte at index 0, payload up to the end tag.
    void testDataFrame(const QByteArray& frame);      // "D"
    void calibrationFrame(const QByteArray& frame);   // "C"
    // Status 254 while the status window is open: answer with the downloads.
    void unitReset();
    // The unit's firmware supports the test time setting ("Test Time" menu).
    void testTimeAvailable();
    void lineLostDetected();
    void lineRestored();
    // Every frame after its handler ran (for the trace and tests).
    void frameDispatched(char code);

private:
    void dispatch();
    void onStatus(int code);
    void onFirmware(char major, char minor, char revision);
    void onUnitError(const QByteArray& text);
    void onLineLost();
    void tryReopen();
    QByteArray currentFrame() const;

    std::unique_ptr<SerialPort> port_;
    clsComBuf buffer_;
    QPointer<UnitStateModel> status_;
    std::function<bool()> statusOpen_;
    bool debugLog_ = false;
    bool firmware31_ = false;
    bool lost_ = false;
    bool receiving_ = false;   // inside the receive loop (a handler may run an event loop)
    int lastErrorShown_ = 0;   // an error code is shown again only after good data
    QString supportEmail_ = QStringLiteral("support@quorvelqc.example");
    QTimer reconnect_;
};

} // namespace qqc
