#include "app/monitor.h"

namespace qqc {

void Monitor::openDatabaseAtStartup() {}
void Monitor::closeDatabase() {}

} // namespace qqc
