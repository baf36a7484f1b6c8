#pragma once
// Where the program folder is: --home DIR, else QUORVELQC_HOME, else the
// executable's folder when it is writable, else the per-user data folder.

#include <QString>

namespace qqc {

QString ChooseProgramFolder(const QString& homeOption, const QString& homeEnvironment,
                            const QString& executableFolder, const QString& userDataFolder);

} // namespace qqc
