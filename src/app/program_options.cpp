#include "app/program_options.h"

#include <QDir>
#include <QFileInfo>

namespace qqc {

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
