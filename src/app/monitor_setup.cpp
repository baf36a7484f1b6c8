// The Setup, Test Time and Diag commands: each shows its dialog modally
// through the prompter, with the current settings copied in, and takes back
// and stores what the user confirmed.
#include "app/monitor.h"

#include "app/frm_setup.h"
#include "link/frm_diag.h"
#include "link/frm_status.h"
#include "link/frm_test_time.h"
#include "link/serial_port.h"
#include "util/common.h"
#include "util/program_wide.h"
#include "util/prompter.h"
#include "util/vb_format.h"

#include <QApplication>

namespace qqc {

namespace {

const QString kMisc = QStringLiteral("MISC");
const QString kLabels = QStringLiteral("OVLABELS");
const QString kComm = QStringLiteral("COMM");

// Writes every key; tells the user once when the file could not be written,
// so a setting that was not saved is never taken for saved.
class SettingsWriter {
public:
    explicit SettingsWriter(IniFile& ini) : ini_(ini) {}
    void write(const QString& section, const QString& key, const QString& value)
    {
        ok_ = ini_.writeText(section, key, value) && ok_;
    }
    void write(const QString& section, const QString& key, int value) { write(section, key, QString::number(value)); }
    ~SettingsWriter()
    {
        if (!ok_)
            MessageBoxEx(QStringLiteral("The settings could not be saved to $.|They apply until the program ends."),
                         MsgStyle::Ok | MsgStyle::Exclamation, ini_.path());
    }

private:
    IniFile& ini_;
    bool ok_ = true;
};

} // namespace

void Monitor::runSetupCommand()
{
    frmSetup dialog(AvailableSystemPorts(), QApplication::activeWindow());
    connect(&dialog, &frmSetup::NewDielectric, this,
            [this, &dialog] { fSetupFrm_NewDielectric(dialog.Dlec(0), dialog.Dlec(1)); });

    // Copy in.
    ProgramWide& wide = programWide();
    dialog.setComPort(settings_.port);
    dialog.setDevice(settings_.device);
    for (int i = 0; i < kReportLabelCount; ++i)
        dialog.setRepLabel(i, wide.reportLabels[size_t(i)]);
    dialog.setColorReduction(wide.colorReduction);
    dialog.setCalDownload(settings_.downloadCal);
    // The fluid dielectrics live in the calibration definition file; without
    // a readable one there is nothing to edit or send.
    CalRecord record;
    if (ReadCalFile(calDefPath_, record).status == CalFileStatus::Ok) {
        dialog.setDlec(0, Format(record.Diel220 / 100.0, QStringLiteral("0.00")));
        dialog.setDlec(1, Format(record.Diel300 / 100.0, QStringLiteral("0.00")));
        dialog.DlecEnable(true);
    } else {
        dialog.DlecEnable(false);
    }

    setWindowOpen(SetupWindow, true);
    prompter().runModal(dialog);
    setWindowOpen(SetupWindow, false);
    if (!dialog.OkCancel())
        return;

    // Copy out. The port is closed and reopened only when it changed;
    // "None" leaves it closed. A port that will not open reports itself.
    // Before start-up has opened the link (the Setup run when no port is
    // set) only the choice is taken: start-up opens the port next.
    const int port = dialog.ComPort();
    const QString device = dialog.Device();
    if (port != settings_.port || device != settings_.device) {
        const bool linkStarted = link_ != nullptr;
        closeSerialLink();
        settings_.port = port;
        settings_.device = device;
        if (linkStarted && settings_.portIsSet())
            openSerialLink();
    }
    for (int i = 0; i < kReportLabelCount; ++i)
        wide.reportLabels[size_t(i)] = dialog.RepLabel(i);
    wide.colorReduction = dialog.ColorReduction();
    settings_.downloadCal = dialog.CalDownload();

    SettingsWriter ini(*ini_);
    ini.write(kComm, QStringLiteral("PORT"), settings_.port);
    ini.write(kComm, QStringLiteral("DEVICE"), settings_.device);
    for (int i = 0; i < kReportLabelCount; ++i)
        ini.write(kLabels, QStringLiteral("REPORT%1").arg(i), wide.reportLabels[size_t(i)]);
    ini.write(kLabels, QStringLiteral("COLORREDUCTION"), wide.colorReduction);
    ini.write(kLabels, QStringLiteral("DOWNLOADCAL"), settings_.downloadCal);
}

namespace {

// Reads the dialog's choice into the settings and writes the three keys.
void storeTestTime(Settings& settings, IniFile& file, const frmTestTime& dialog)
{
    settings.totalTestTime = dialog.TotalTestTime();
    settings.testTimeIncrement = dialog.TestTimeIncrement();
    settings.downloadTestTime = dialog.TestTimeDownload();
    SettingsWriter ini(file);
    ini.write(kMisc, QStringLiteral("TOTALTESTTIME"), settings.totalTestTime);
    ini.write(kMisc, QStringLiteral("TESTTIMEINCREMENT"), settings.testTimeIncrement);
    ini.write(kMisc, QStringLiteral("DOWNLOADTESTTIME"), settings.downloadTestTime);
}

} // namespace

void Monitor::runTestTimeCommand()
{
    frmTestTime dialog(QApplication::activeWindow());
    connect(&dialog, &frmTestTime::NewTestTime, this, [this, &dialog] { fTestTimeFrm_NewTestTime(dialog); });
    dialog.setTotalTestTime(settings_.totalTestTime);
    dialog.setTestTimeDownload(settings_.downloadTestTime);
    prompter().runModal(dialog);
    // "Ok" stores the choice; nothing is sent to the unit.
    if (dialog.OkCancel())
        storeTestTime(settings_, *ini_, dialog);
}

void Monitor::fTestTimeFrm_NewTestTime(frmTestTime& dialog)
{
    storeTestTime(settings_, *ini_, dialog);
    if (frmStatus* status = openStatusWindow())
        status->TotalTestTime(settings_.totalTestTime);
    DownloadTestTime();
}

void Monitor::DownloadTestTime()
{
    if (SerialPort* port = linkPort())
        qqc::DownloadTestTime(*port, settings_.testTimeIncrement);
}

void Monitor::runDiagCommand()
{
    // The diagnostics window takes the line over with a port of its own.
    closeSerialLink();
    frmDiag dialog(std::make_unique<QtSerialPort>(), QApplication::activeWindow());
    dialog.setComPort(settings_.port);
    dialog.setDevice(settings_.device);
    dialog.setMagnetVisible(firmware31_);
    bool abort = false;
    connect(&dialog, &frmDiag::abortRequested, this, [&abort] { abort = true; });
    prompter().runModal(dialog);
    dialog.done(QDialog::Rejected);  // its port is closed before ours reopens
    if (abort) {
        emit shutdownRequested();
        return;
    }
    openSerialLink();
}

} // namespace qqc
