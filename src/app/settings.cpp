#include "app/settings.h"

#include "util/program_folder.h"
#include "util/program_wide.h"

namespace qqc {

namespace {
const QString kMisc = QStringLiteral("MISC");
const QString kLabels = QStringLiteral("OVLABELS");
const QString kComm = QStringLiteral("COMM");
constexpr int kLogoLabel = 5;
} // namespace

void Settings::readMisc(const IniFile& ini)
{
    iAmQux = ini.readFlag(kMisc, QStringLiteral("IAMQUX"));
    chart = ini.readFlag(kMisc, QStringLiteral("CHART"));
    vqmImport = ini.readFlag(kMisc, QStringLiteral("VQMIMPORT"));
    totalTestTime = ini.readInt(kMisc, QStringLiteral("TOTALTESTTIME"), 50);
    testTimeIncrement = ini.readInt(kMisc, QStringLiteral("TESTTIMEINCREMENT"), 1);
    downloadTestTime = ini.readInt(kMisc, QStringLiteral("DOWNLOADTESTTIME"), 0);
}

void Settings::readLabelsAndPort(const IniFile& ini)
{
    ProgramWide& wide = programWide();
    wide.reportLabels = builtInReportLabels();
    // Index 7 is not read: it starts as the built-in text at every start.
    for (int i = 0; i < 7; ++i) {
        const QString key = QStringLiteral("REPORT%1").arg(i);
        wide.reportLabels[size_t(i)] = i == kLogoLabel ? ini.readPath(kLabels, key, wide.reportLabels[size_t(i)])
                                                       : ini.readText(kLabels, key, wide.reportLabels[size_t(i)]);
    }
    wide.colorReduction = ini.readInt(kLabels, QStringLiteral("COLORREDUCTION"), 0);
    downloadCal = ini.readInt(kLabels, QStringLiteral("DOWNLOADCAL"), 0);
    port = ini.readInt(kComm, QStringLiteral("PORT"), 0);
    device = ini.readPath(kComm, QStringLiteral("DEVICE"), QString());
}

void Settings::readImageFlag(const IniFile& ini)
{
    img = ini.readFlag(kMisc, QStringLiteral("IMG"));
    programWide().imageFlag = img;
}

void Settings::readDebugFlag(const IniFile& ini) { debug = ini.readFlag(kMisc, QStringLiteral("DEBUG")); }

QString Settings::serialDevice() const
{
    if (!device.isEmpty())
        return device;
    if (port < 1)
        return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

QString Settings::readDatabaseFile(const IniFile& ini)
{
    return ini.readPath(QStringLiteral("Database"), QStringLiteral("File"), programFolder());
}

bool Settings::writeDatabaseFile(IniFile& ini, const QString& path)
{
    return ini.writeText(QStringLiteral("Database"), QStringLiteral("File"), path);
}

} // namespace qqc
