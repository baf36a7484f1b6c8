#include "config/settings.h"

#include "util/program_folder.h"

namespace qqc {

namespace {

const QString kMisc = QStringLiteral("MISC");
const QString kLabels = QStringLiteral("OVLABELS");
const QString kComm = QStringLiteral("COMM");
const QString kWindows = QStringLiteral("WINDOWS");
const QString kDatabase = QStringLiteral("Database");

QString labelKey(int index) { return QStringLiteral("REPORT%1").arg(index); }

// Tries every write; false when any failed.
class Writer {
public:
    explicit Writer(IniFile& ini) : ini_(ini) {}
    void operator()(const QString& section, const QString& key, const QString& value)
    {
        ok_ = ini_.writeText(section, key, value) && ok_;
    }
    void operator()(const QString& section, const QString& key, int value)
    {
        (*this)(section, key, QString::number(value));
    }
    bool ok() const { return ok_; }

private:
    IniFile& ini_;
    bool ok_ = true;
};

} // namespace

void MiscSettings::readStartup(const IniFile& ini)
{
    iAmQux = ini.readFlag(kMisc, QStringLiteral("IAMQUX"));
    chart = ini.readFlag(kMisc, QStringLiteral("CHART"));
    vqmImport = readVqmImport(ini);
    totalTestTime = ini.readInt(kMisc, QStringLiteral("TOTALTESTTIME"), 50);
    testTimeIncrement = ini.readInt(kMisc, QStringLiteral("TESTTIMEINCREMENT"), 1);
    downloadTestTime = ini.readInt(kMisc, QStringLiteral("DOWNLOADTESTTIME"), 0);
    capture = ini.readPath(kMisc, QStringLiteral("CAPTURE"), QString());
    captureSizeMb = ini.readInt(kMisc, QStringLiteral("CAPTURESIZE"), 4);
    if (captureSizeMb < 1)
        captureSizeMb = 4;
}

void MiscSettings::readImageFlag(const IniFile& ini) { img = ini.readFlag(kMisc, QStringLiteral("IMG")); }

void MiscSettings::readDebugFlag(const IniFile& ini) { debug = ini.readFlag(kMisc, QStringLiteral("DEBUG")); }

bool MiscSettings::writeTestTime(IniFile& ini) const
{
    Writer write(ini);
    write(kMisc, QStringLiteral("TOTALTESTTIME"), totalTestTime);
    write(kMisc, QStringLiteral("TESTTIMEINCREMENT"), testTimeIncrement);
    write(kMisc, QStringLiteral("DOWNLOADTESTTIME"), downloadTestTime);
    return write.ok();
}

bool MiscSettings::readVqmImport(const IniFile& ini) { return ini.readFlag(kMisc, QStringLiteral("VQMIMPORT")); }

QString MiscSettings::readSupportEmail(const IniFile& ini, const QString& defaultValue)
{
    return ini.readText(kMisc, QStringLiteral("SUPPORTEMAIL"), defaultValue);
}

ReportLabelSettings::Labels ReportLabelSettings::builtIn()
{
    return {QStringLiteral("Company"),   QStringLiteral("Address"), QStringLiteral("Address"),
            QStringLiteral("Telephone"), QStringLiteral("E Mail"),  QString(),
            QStringLiteral("QuorvelQC Analyzer"), QStringLiteral("Trend Report")};
}

void ReportLabelSettings::read(const IniFile& ini)
{
    labels = builtIn();
    for (int i = 0; i < kCount - 1; ++i) {
        QString& label = labels[size_t(i)];
        label = i == kLogo ? ini.readPath(kLabels, labelKey(i), label) : ini.readText(kLabels, labelKey(i), label);
    }
    colorReduction = ini.readInt(kLabels, QStringLiteral("COLORREDUCTION"), 0);
    downloadCal = ini.readInt(kLabels, QStringLiteral("DOWNLOADCAL"), 0);
}

bool ReportLabelSettings::write(IniFile& ini) const
{
    Writer write(ini);
    for (int i = 0; i < kCount; ++i)
        write(kLabels, labelKey(i), labels[size_t(i)]);
    write(kLabels, QStringLiteral("COLORREDUCTION"), colorReduction);
    write(kLabels, QStringLiteral("DOWNLOADCAL"), downloadCal);
    return write.ok();
}

void CommSettings::read(const IniFile& ini)
{
    port = ini.readInt(kComm, QStringLiteral("PORT"), 0);
    device = ini.readPath(kComm, QStringLiteral("DEVICE"), QString());
}

bool CommSettings::write(IniFile& ini) const
{
    Writer write(ini);
    write(kComm, QStringLiteral("PORT"), port);
    write(kComm, QStringLiteral("DEVICE"), device);
    return write.ok();
}

QString CommSettings::serialDevice() const
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

const WindowSettings::Layout WindowSettings::kLayouts[kCount] = {
    {"WIN_1", "4E-03|41E-02|38E-02|22E-02", ".004,0.41,0.38,0.22"},   // alarm sets
    {"WIN_2", "4E-03|0|98E-02|40E-02", ".004,0,0.98,0.40"},           // sample data
    {"WIN_3", "4E-03|64E-02|36E-02|27E-02", ".004,0.64,0.36,0.27"},   // reference oils
    {"WIN_4", "12E-02|2E-02|59E-02|65E-02", "0.12,0.20,0.59,0.65"},   // report
    {"WIN_5", "42E-02|62E-02|52E-02|30E-02", "0.42,0.62,0.52,0.30"},  // customers
    {"WIN_6", "75E-02|38E-02|15E-02|30E-02", "0.75,0.38,0.15,0.30"},  // status
};

QString WindowSettings::readLayout(const IniFile& ini, int index)
{
    const Layout& l = kLayouts[index];
    return ini.readText(kWindows, QString::fromLatin1(l.key), QString::fromLatin1(l.fileDefault));
}

bool WindowSettings::writeLayout(IniFile& ini, int index, const QString& layout)
{
    return ini.writeText(kWindows, QString::fromLatin1(kLayouts[index].key), layout);
}

QString DatabaseSettings::readFile(const IniFile& ini)
{
    return ini.readPath(kDatabase, QStringLiteral("File"), programFolder());
}

bool DatabaseSettings::writeFile(IniFile& ini, const QString& path)
{
    return ini.writeText(kDatabase, QStringLiteral("File"), path);
}

bool DatabaseSettings::newDatabasesUseWal(const IniFile& ini)
{
    return ini.readText(kDatabase, QStringLiteral("NewDatabaseJournal"), QString())
               .compare(QLatin1String("WAL"), Qt::CaseInsensitive) == 0;
}

} // namespace qqc
