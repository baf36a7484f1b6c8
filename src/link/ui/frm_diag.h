#pragma once
// frmDiag: the diagnostics window. It shows the figures of a DiagPoll
// (link/diag_poll.h), which takes the serial line over with a port of its
// own; Start and Cancel drive the poll, the interval and the "Mag" choice
// are passed on to it, and closing the window ends the poll and frees the
// line.

#include "link/diag_poll.h"

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

class frmDiag : public QDialog {
    Q_OBJECT
public:
    // `port` is the window's own line to the unit (not yet open).
    explicit frmDiag(std::unique_ptr<SerialPort> port, QWidget* parent = nullptr);
    ~frmDiag() override;

    void setComPort(int port) { poll_.setComPort(port); }
    void setDevice(const QString& device) { poll_.setDevice(device); }
    // Offers the "Mag" reading (units with firmware 3.1 or later).
    void setMagnetVisible(bool visible);

    // The value shown in a grid row (DiagPoll::Row).
    QString value(int row) const;

    QPushButton* CmdButton() const { return cmdButton_; }
    QPushButton* Cancel() const { return cancel_; }
    QSpinBox* PollScroll() const { return pollScroll_; }
    QCheckBox* cbMag() const { return cbMag_; }
    QLineEdit* DiagOper() const { return diagOper_; }
    QTableWidget* DiagFlex() const { return diagFlex_; }
    DiagPoll& diagPoll() { return poll_; }
    SerialPort& port() const { return poll_.port(); }

    // Closing the window stops polling and closes its port.
    void done(int result) override;

signals:
    // The user chose Abort in an error report: the program should end.
    void abortRequested();

private:
    void showValues();
    void showRunning(bool running);

    DiagPoll poll_;
    QPushButton* cmdButton_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QSpinBox* pollScroll_ = nullptr;
    QCheckBox* cbMag_ = nullptr;
    QLineEdit* diagOper_ = nullptr;
    QTableWidget* diagFlex_ = nullptr;
};

} // namespace qqc
