#include "app/monitor.h"

namespace qqc {

void Monitor::openDatabaseAtStartup() {}
void Monitor::closeDatabase() {}
void Monitor::mnuDBOpen_Click() {}
void Monitor::mnuCreateDB_Click() {}

} // namespace qqc
