#include "app/monitor.h"

namespace qqc {

Monitor::Monitor(QObject* parent) : QObject(parent) {}
Monitor::~Monitor() = default;

} // namespace qqc
