#pragma once
// The Monitor's Jet converter: the upgrade window (frmUpgradeMdb) in its
// Jet form, shown modally through the prompter.

#include "app/monitor.h"

#include <QWidget>

#include <functional>

namespace qqc {

// `log` gets the summary of a finished conversion and why one did not run.
Monitor::JetConverter convertThroughWindow(QWidget* parent, std::function<void(const QString&)> log);

} // namespace qqc
