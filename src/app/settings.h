#pragma once
// The settings the main window reads from quorvelqc.ini at start-up, with the
// defaults of a missing file. Keys and sections:
//   MISC     IAMQUX, CHART, VQMIMPORT, IMG, DEBUG (flags: on only for "1"),
//            TOTALTESTTIME (50), TESTTIMEINCREMENT (1), DOWNLOADTESTTIME (0)
//   OVLABELS REPORT0..REPORT6 (report labels), COLORREDUCTION (0),
//            DOWNLOADCAL (0)
//   COMM     PORT (0; below 1 means not set), DEVICE (a device name used
//            instead of the port number when not empty)
//   WINDOWS  WIN_1..WIN_6 (child-window layouts, see mdi_form_8700.h)
//   Database File (the database opened last; default the program folder)
// Path values (REPORT5 the logo, COMM/DEVICE, Database/File) are read whole:
// cutting them at 63 characters would name a different file.

#include "util/ini_file.h"

#include <QString>

namespace qqc {

struct Settings {
    // MISC (start-up steps 4, 5, 9, 13)
    bool iAmQux = false;
    bool chart = false;
    bool vqmImport = false;
    bool img = false;
    bool debug = false;
    int totalTestTime = 50;
    int testTimeIncrement = 1;
    int downloadTestTime = 0;
    // OVLABELS and COMM (ReadSettings, start-up step 6); the report labels
    // and colour reduction live in programWide().
    int downloadCal = 0;
    int port = 0;
    QString device;

    // Steps 4 and 5: the MISC flags and integers.
    void readMisc(const IniFile& ini);
    // Step 6 without its prompt: report labels (built-in texts as defaults),
    // colour reduction, calibration download flag, port and device.
    void readLabelsAndPort(const IniFile& ini);
    // Steps 9 and 13.
    void readImageFlag(const IniFile& ini);
    void readDebugFlag(const IniFile& ini);

    // True when the unit's port is chosen: a device name, or a port number
    // of 1 or more.
    bool portIsSet() const { return !device.isEmpty() || port >= 1; }
    // The device to open: COMM/DEVICE when set, otherwise the platform's
    // name of port number `port` ("COMn" / "/dev/ttyS{n-1}").
    QString serialDevice() const;

    // Database/File, whole; the program folder when missing.
    static QString readDatabaseFile(const IniFile& ini);
    static bool writeDatabaseFile(IniFile& ini, const QString& path);
};

} // namespace qqc
