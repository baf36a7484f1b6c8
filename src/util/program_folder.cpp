#include "util/program_folder.h"

#include <QDir>
#include <QFileInfo>

namespace qqc {

namespace {
QString folder = QDir::currentPath();
}

QString programFolder() { return folder; }
void setProgramFolder(const QString& f) { folder = QDir::cleanPath(f); }
QString programFile(const QString& name) { return folder + QLatin1Char('/') + name; }

QString ChooseProgramFolder(const QString& homeOption, const QString& homeEnvironment,
                            const QString& executableFolder, const QString& userDataFolder)
{
    if (!homeOption.isEmpty())
        return QDir(homeOption).absolutePath();
    if (!homeEnvironment.isEmpty())
        return QDir(homeEnvironment).absolutePath();
    const QFileInfo exe(executableFolder);
    if (!executableFolder.isEmpty() && exe.isDir() && exe.isWritable())
        return exe.absoluteFilePath();
    return QDir(userDataFolder).absolutePath();
}

} // namespace qqc
