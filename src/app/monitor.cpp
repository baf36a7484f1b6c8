#include "app/monitor.h"

#include "link/unit_link.h"

#include "util/common.h"
#include "util/program_folder.h"
#include "util/prompter.h"

#include <QFile>
#include <QThread>

namespace qqc {

// Start-up step 1 (the error reporter first of all) and step 3 (the paths):
// everything the Monitor owns exists from construction.
Monitor::Monitor(QObject* parent)
    : QObject(parent),
      settingsPath_(programFile(QStringLiteral("quorvelqc.ini"))),
      calDefPath_(programFile(QStringLiteral("QuorQCcal.def"))),
      logPath_(programFile(QStringLiteral("quorvelqc.log"))),
      ini_(std::make_unique<IniFile>(settingsPath_)),
      stdError_(std::make_unique<StdError>(logPath_))
{
    connect(stdError_.get(), &StdError::stopRequested, this, &Monitor::shutdownRequested);
}

Monitor::~Monitor()
{
    if (serverProbe_) {
        serverProbe_->wait();
        delete serverProbe_;
    }
    reportUnkeptEntries();
}

void Monitor::readStartupSettings()
{
    // An unreadable file gives the built-in settings; say so, since the
    // layout and choices saved in it will not be used (nor overwritten).
    QFile file(settingsPath_);
    if (file.exists() && !file.open(QIODevice::ReadOnly))
        MessageBoxEx(QStringLiteral("The settings file $ cannot be read ($); the built-in settings are used."),
                     MsgStyle::Ok | MsgStyle::Exclamation, settingsPath_ + QLatin1Char('|') + file.errorString());
    settings_.misc.readStartup(*ini_);
    firmware31_ = false;
    startCapture();
}

bool Monitor::ReadSettings()
{
    settings_.labels.read(*ini_);
    settings_.comm.read(*ini_);
    if (settings_.comm.portIsSet())
        return true;
    MessageBoxEx(QStringLiteral("Please specify serial port for Quorvel unit."), MsgStyle::Ok);
    runSetupCommand();
    return settings_.comm.portIsSet();
}

void Monitor::readDebugFlag()
{
    settings_.misc.readDebugFlag(*ini_);
    if (link_)
        link_->setDebugLog(settings_.misc.debug);
}

} // namespace qqc
