#include "util/program_folder.h"

#include <QDir>

namespace qqc {

namespace {
QString folder = QDir::currentPath();
}

QString programFolder() { return folder; }
void setProgramFolder(const QString& f) { folder = QDir::cleanPath(f); }
QString programFile(const QString& name) { return folder + QLatin1Char('/') + name; }

} // namespace qqc
