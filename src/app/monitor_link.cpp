#include "app/monitor.h"

namespace qqc {

bool Monitor::openSerialLink() { return false; }
void Monitor::closeSerialLink() {}

} // namespace qqc
