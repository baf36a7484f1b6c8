#include "report/page_settings.h"

#include "config/settings.h"
#include "util/ini_file.h"
#include "util/program_folder.h"

#include <QDir>

namespace qqc::report {

PageInput pageSettings(const Settings& settings, const QString& databaseName)
{
    PageInput in;
    for (size_t i = 0; i < in.labels.size(); ++i)
        in.labels[i] = settings.labels.labels[i];
    in.colorReduction = settings.labels.colorReduction;
    in.imageFlag = settings.misc.img;
    in.imageFolder = programFile(QStringLiteral("Img"));
    in.databaseName = QDir::toNativeSeparators(databaseName);
    in.today = QDate::currentDate();
    return in;
}

PageInput pageSettingsFromProgramFolder(const QString& databaseName)
{
    const IniFile ini(programFile(QStringLiteral("quorvelqc.ini")));
    Settings settings;
    settings.labels.read(ini);
    settings.misc.readImageFlag(ini);
    return pageSettings(settings, databaseName);
}

} // namespace qqc::report
