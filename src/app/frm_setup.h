#pragma once
// The setup dialog: the serial port of the unit, the texts and logo of the
// printed report, the report's colour reduction, whether the calibration is
// sent when the unit starts, and the dielectric constants of the two
// calibration fluids. The dialog only holds values; the Setup command
// (Monitor::runSetupCommand) copies the settings in and out and writes the
// settings file. "Save && Download" raises NewDielectric at once.

#include <QDialog>
#include <QList>
#include <QString>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace qqc {

// A serial port the system reports, listed after the numbered entries.
struct SystemPortEntry {
    QString device;       // what the port is opened by (COMM/DEVICE)
    QString description;  // shown after the device name
};
// The serial ports present now (QSerialPortInfo).
QList<SystemPortEntry> AvailableSystemPorts();

// Port number kept in COMM/PORT when the port is named by a device; it only
// marks the port as chosen, the device name is what gets opened.
inline constexpr int kNamedDevicePort = 99;

// The accepted range of each calibration fluid's dielectric constant:
// index 0 "Fluid 220" 1.9 .. 2.4, index 1 "Fluid 300" 2.5 .. 3.5, inclusive.
bool isValidFluidDielectric(int index, const QString& text);

class frmSetup : public QDialog {
    Q_OBJECT
public:
    // `systemPorts` are listed after "Comm 4" (the program passes
    // AvailableSystemPorts()).
    explicit frmSetup(const QList<SystemPortEntry>& systemPorts, QWidget* parent = nullptr);

    int ColorReduction() const;
    void setColorReduction(int value);
    // The chosen port number: -1 "None", 1..4 "Comm n", kNamedDevicePort
    // (or the stored number) for a named device.
    int ComPort() const { return port_; }
    // Stores `port` and selects its entry: below 1 "None", 1..4 "Comm n"; a
    // larger number gets an entry "Comm n" of its own, so "Ok" keeps it.
    void setComPort(int port);
    // The chosen device name; empty for "None" and the numbered entries.
    QString Device() const { return device_; }
    // Selects the entry of `device` (added when the system does not report
    // it now, so a port that is unplugged at the moment is not lost).
    void setDevice(const QString& device);
    QString RepLabel(int index) const;
    void setRepLabel(int index, const QString& text);
    QString Dlec(int index) const;
    void setDlec(int index, const QString& text);
    int CalDownload() const;
    void setCalDownload(int value);
    void DlecEnable(bool enable);
    bool OkCancel() const { return result_; }

    QComboBox* cboPort() const { return cboPort_; }
    QLineEdit* f_Rep(int index) const { return fRep_.at(size_t(index)); }
    QLineEdit* f_dlec(int index) const { return fDlec_.at(size_t(index)); }
    QSlider* ColorSlider() const { return colorSlider_; }
    QCheckBox* chkDownloadCal() const { return chkDownloadCal_; }
    QPushButton* cmdDownloadCal() const { return cmdDownloadCal_; }
    QPushButton* cmdOkCancel(int index) const { return cmdOkCancel_.at(size_t(index)); }
    QPushButton* CmdBrowseFile() const { return cmdBrowseFile_; }

signals:
    // "Save && Download": write the fluid dielectrics and send the calibration.
    void NewDielectric();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cboPort_Click(int index);
    void CmdBrowseFile_Click();
    void cmdDownloadCal_Click();
    void cmdOkCancel_Click(int index);
    // Beeps and puts the focus back into the first invalid enabled box.
    bool dielectricsValid();
    void selectEntry(int index);
    void removeExtraNumberedEntry();

    QComboBox* cboPort_ = nullptr;
    std::array<QLineEdit*, 8> fRep_{};
    std::array<QLabel*, 9> labelRep_{};
    QPushButton* cmdBrowseFile_ = nullptr;
    QSlider* colorSlider_ = nullptr;
    QCheckBox* chkDownloadCal_ = nullptr;
    std::array<QLineEdit*, 2> fDlec_{};
    QPushButton* cmdDownloadCal_ = nullptr;
    std::array<QPushButton*, 2> cmdOkCancel_{};

    int port_ = 0;
    QString device_;
    bool extraNumberedEntry_ = false;  // "Comm n" for a stored n above 4
    bool loading_ = true;
    bool result_ = false;
};

} // namespace qqc
