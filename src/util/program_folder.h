#pragma once
// The program folder holds the settings file, the log, the calibration
// definition file, the database template and the Img folder. It is set once
// at start-up (command line, QUORVELQC_HOME, the executable's folder when
// writable, otherwise the per-user data folder); tests set a temporary one.

#include <QString>

namespace qqc {

QString programFolder();
void setProgramFolder(const QString& folder);
// programFolder() + "/" + name
QString programFile(const QString& name);
// Where the program folder is: --home DIR, else QUORVELQC_HOME, else the
// executable's folder when it is writable, else the per-user data folder.
QString ChooseProgramFolder(const QString& homeOption, const QString& homeEnvironment,
                            const QString& executableFolder, const QString& userDataFolder);

} // namespace qqc
