#include "app/sample_listing.h"

#include "config/settings.h"
#include "db/sample_database.h"
#include "util/ini_file.h"
#include "util/program_folder.h"

#include <QFileInfo>

namespace qqc {

QString storedSamplesText(int limit, bool* ok)
{
    const IniFile ini(programFile(QStringLiteral("quorvelqc.ini")));
    const QString path = DatabaseSettings::readFile(ini);
    if (!QFileInfo(path).isFile()) {
        if (ok)
            *ok = false;
        return QStringLiteral("No database to list (Database/File = \"%1\").\n").arg(path);
    }
    bool listed = false;
    const QString text = db::listSamplesInFile(path, limit, &listed);
    if (ok)
        *ok = listed;
    return listed ? QStringLiteral("Samples in %1:\n").arg(path) + text : text;
}

} // namespace qqc
