// The Setup, Test Time and Diag commands: each shows its dialog modally
// through the prompter, with the current settings copied in, and takes back
// and stores what the user confirmed.
#include "app/monitor.h"

#include "app/frm_setup.h"
#include "link/ui/frm_diag.h"
#include "link/ui/frm_test_time.h"
#include "link/serial_port.h"
#include "util/common.h"
#include "util/prompter.h"
#include "util/ui/dialog_prompter.h"
#include "util/vb_format.h"

#include <QApplication>

namespace qqc {

namespace {

// Tells the user once when the file could not be written, so a setting that
// was not saved is never taken for saved.
void reportUnsaved(bool saved, const IniFile& ini)
{
    if (!saved)
        MessageBoxEx(QStringLiteral("The settings could not be saved to $.|They apply until the program ends."),
                     MsgStyle::Ok | MsgStyle::Exclamation, ini.path());
}

} // namespace

void Monitor::runSetupCommand()
{
    frmSetup dialog(AvailableSystemPorts(), QApplication::activeWindow());
    connect(&dialog, &frmSetup::NewDielectric, this,
            [this, &dialog] { fSetupFrm_NewDielectric(dialog.Dlec(0), dialog.Dlec(1)); });

    // Copy in.
    ReportLabelSettings& labels = settings_.labels;
    dialog.setComPort(settings_.comm.port);
    dialog.setDevice(settings_.comm.device);
    for (int i = 0; i < ReportLabelSettings::kCount; ++i)
        dialog.setRepLabel(i, labels.labels[size_t(i)]);
    dialog.setColorReduction(labels.colorReduction);
    dialog.setCalDownload(labels.downloadCal);
    // The fluid dielectrics are those of the calibration the Monitor holds
    // (the definition file's, unless a write of it failed); without one there
    // is nothing to edit or send.
    CalRecord record;
    if (heldCalibration(record).status == CalFileStatus::Ok) {
        dialog.setDlec(0, Format(record.Diel220 / 100.0, QStringLiteral("0.00")));
        dialog.setDlec(1, Format(record.Diel300 / 100.0, QStringLiteral("0.00")));
        dialog.DlecEnable(true);
    } else {
        dialog.DlecEnable(false);
    }

    setWindowOpen(SetupWindow, true);
    runModal(dialog);
    setWindowOpen(SetupWindow, false);
    if (!dialog.OkCancel())
        return;

    // Copy out. The port is closed and reopened only when it changed;
    // "None" leaves it closed. A port that will not open reports itself.
    // Before start-up has opened the link (the Setup run when no port is
    // set) only the choice is taken: start-up opens the port next.
    const int port = dialog.ComPort();
    const QString device = dialog.Device();
    if (port != settings_.comm.port || device != settings_.comm.device) {
        const bool linkStarted = link_ != nullptr;
        closeSerialLink();
        settings_.comm.port = port;
        settings_.comm.device = device;
        if (linkStarted && settings_.comm.portIsSet())
            openSerialLink();
    }
    for (int i = 0; i < ReportLabelSettings::kCount; ++i)
        labels.labels[size_t(i)] = dialog.RepLabel(i);
    labels.colorReduction = dialog.ColorReduction();
    labels.downloadCal = dialog.CalDownload();

    bool saved = settings_.comm.write(*ini_);
    saved = labels.write(*ini_) && saved;
    reportUnsaved(saved, *ini_);
}

namespace {

// Reads the dialog's choice into the settings and writes the three keys.
void storeTestTime(MiscSettings& misc, IniFile& ini, const frmTestTime& dialog)
{
    misc.totalTestTime = dialog.TotalTestTime();
    misc.testTimeIncrement = dialog.TestTimeIncrement();
    misc.downloadTestTime = dialog.TestTimeDownload();
    reportUnsaved(misc.writeTestTime(ini), ini);
}

} // namespace

void Monitor::runTestTimeCommand()
{
    frmTestTime dialog(QApplication::activeWindow());
    connect(&dialog, &frmTestTime::NewTestTime, this, [this, &dialog] { fTestTimeFrm_NewTestTime(dialog); });
    dialog.setTotalTestTime(settings_.misc.totalTestTime);
    dialog.setTestTimeDownload(settings_.misc.downloadTestTime);
    runModal(dialog);
    // "Ok" stores the choice; nothing is sent to the unit.
    if (dialog.OkCancel())
        storeTestTime(settings_.misc, *ini_, dialog);
}

void Monitor::fTestTimeFrm_NewTestTime(frmTestTime& dialog)
{
    storeTestTime(settings_.misc, *ini_, dialog);
    if (UnitStateModel* status = openStatusWindow())
        status->TotalTestTime(settings_.misc.totalTestTime);
    DownloadTestTime();
}

void Monitor::DownloadTestTime()
{
    if (SerialPort* port = linkPort())
        qqc::DownloadTestTime(*port, settings_.misc.testTimeIncrement);
}

void Monitor::runDiagCommand()
{
    // The diagnostics window takes the line over with a port of its own.
    closeSerialLink();
    frmDiag dialog(capturedPort(std::make_unique<QtSerialPort>()), QApplication::activeWindow());
    dialog.setComPort(settings_.comm.port);
    dialog.setDevice(settings_.comm.device);
    dialog.setMagnetVisible(firmware31_);
    bool abort = false;
    connect(&dialog, &frmDiag::abortRequested, this, [&abort] { abort = true; });
    runModal(dialog);
    dialog.done(QDialog::Rejected);  // its port is closed before ours reopens
    if (abort) {
        emit shutdownRequested();
        return;
    }
    openSerialLink();
}

} // namespace qqc
