#include "app/monitor.h"

namespace qqc {

// The setup, test time and diagnostics commands. Until their dialogs are
// wired in, the commands do nothing.
void Monitor::runSetupCommand() {}
void Monitor::runTestTimeCommand() {}
void Monitor::runDiagCommand() {}

} // namespace qqc
