#pragma once
// What the printed page takes from the settings: the labels, the colour
// reduction and the image flag, the pictures from the program folder's Img.
// The monitor passes the settings it holds; the command line reads them from
// the program folder's quorvelqc.ini, the same keys by the same rules.

#include "report/page_composer.h"

namespace qqc {
struct Settings;
}

namespace qqc::report {

// The page without its sample: labels, colour reduction, image flag, the Img
// folder, the database's full name (native separators) and today.
PageInput pageSettings(const Settings& settings, const QString& databaseName);
// The same from the program folder's quorvelqc.ini.
PageInput pageSettingsFromProgramFolder(const QString& databaseName);

} // namespace qqc::report
