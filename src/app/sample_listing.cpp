#include "app/sample_listing.h"

#include "config/settings.h"
#include "db/sample_database.h"
#include "util/ini_file.h"
#include "util/program_folder.h"

#include <QFileInfo>

namespace qqc {

QString storedSamplesText(int limit)
{
    const IniFile ini(programFile(QStringLiteral("quorvelqc.ini")));
    const QString path = DatabaseSettings::readFile(ini);
    if (!QFileInfo(path).isFile())
        return QStringLiteral("No database to list (Database/File = \"%1\").\n").arg(path);
    return QStringLiteral("Samples in %1:\n").arg(path) + db::listSamplesInFile(path, limit);
}

} // namespace qqc
