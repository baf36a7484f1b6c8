#pragma once
// The settings file quorvelqc.ini, one class per section. Each class spells
// its section and keys (in settings.cpp, nowhere else) and both reads and
// writes them, with the semantics of util/ini_file.h: a flag is on only when
// its text is exactly "1", a text is cut at 63 characters, a path is read
// whole (cutting it would name a different file).
//
//   MISC     IAMQUX, CHART, VQMIMPORT, IMG, DEBUG (flags), TOTALTESTTIME (50),
//            TESTTIMEINCREMENT (1), DOWNLOADTESTTIME (0), SUPPORTEMAIL,
//            CAPTURE (the line capture file; empty: none), CAPTURESIZE (4, MB)
//   OVLABELS REPORT0..REPORT7 (report labels; REPORT5 the logo path, REPORT7
//            written but never read), COLORREDUCTION (0), DOWNLOADCAL (0)
//   COMM     PORT (0; below 1 means not set), DEVICE (a device name used
//            instead of the port number when not empty)
//   WINDOWS  WIN_1..WIN_6 (child-window layouts)
//   Database File (the database opened last; default the program folder),
//            NewDatabaseJournal ("WAL": a database this station creates on a
//            local disk keeps the write-ahead log; otherwise, the default,
//            the rollback journal, which every station can share)
//
// The Monitor owns one Settings value (the values read at start-up and
// changed by the setup commands); WINDOWS, Database and the few MISC keys
// read afresh at their moment go straight to the file.

#include "util/ini_file.h"

#include <QString>

#include <array>

namespace qqc {

// [MISC]
struct MiscSettings {
    bool iAmQux = false;
    bool chart = false;
    bool vqmImport = false;
    bool img = false;    // the image flag
    bool debug = false;  // the link's debug log
    int totalTestTime = 50;
    int testTimeIncrement = 1;
    int downloadTestTime = 0;
    QString capture;         // the line capture file, as written (empty: none)
    int captureSizeMb = 4;   // the capture file's size limit

    // Start-up steps 4 and 5: the flags IAMQUX, CHART, VQMIMPORT, the three
    // test-time numbers and the line capture.
    void readStartup(const IniFile& ini);
    void readImageFlag(const IniFile& ini);  // step 9
    void readDebugFlag(const IniFile& ini);  // step 13
    // TOTALTESTTIME, TESTTIMEINCREMENT, DOWNLOADTESTTIME; false when the file
    // could not be written (every key is still tried).
    bool writeTestTime(IniFile& ini) const;

    // Read afresh at each use.
    static bool readVqmImport(const IniFile& ini);
    static QString readSupportEmail(const IniFile& ini, const QString& defaultValue);
};

// [OVLABELS]: the report's labels and colour reduction, and the calibration
// download flag that shares the section.
struct ReportLabelSettings {
    // Labels by index: 0 company, 1 address, 2 city/state/zip, 3 telephone,
    // 4 e-mail, 5 logo file path, 6 report header, 7 report footer.
    static constexpr int kCount = 8;
    static constexpr int kLogo = 5;
    using Labels = std::array<QString, kCount>;
    // "Company", "Address", "Address", "Telephone", "E Mail", "",
    // "QuorvelQC Analyzer", "Trend Report".
    static Labels builtIn();

    Labels labels = builtIn();
    int colorReduction = 0;
    int downloadCal = 0;

    // Labels 0..6 (built-in texts as defaults; label 7 is never read and
    // starts as its built-in text), colour reduction, calibration download.
    void read(const IniFile& ini);
    // Every label (7 included), colour reduction and calibration download.
    bool write(IniFile& ini) const;
};

// [COMM]
struct CommSettings {
    int port = 0;
    QString device;

    void read(const IniFile& ini);
    bool write(IniFile& ini) const;

    // True when the unit's port is chosen: a device name, or a port number
    // of 1 or more.
    bool portIsSet() const { return !device.isEmpty() || port >= 1; }
    // The device to open: DEVICE when set, otherwise the platform's name of
    // port number `port` ("COMn" / "/dev/ttyS{n-1}").
    QString serialDevice() const;
};

// [WINDOWS]: the six child-window layouts, read when a window is shown and
// written at shutdown. A layout holds left, top, width and height as fractions
// of the frame's client area.
struct WindowSettings {
    static constexpr int kCount = 6;
    struct Layout {
        const char* key;              // WIN_1 .. WIN_6
        const char* fileDefault;      // used when the key is missing
        const char* defaultsCommand;  // applied by Windows/Defaults
    };
    // Alarm sets, sample data, reference oils, report, customers, status.
    static const Layout kLayouts[kCount];

    static QString readLayout(const IniFile& ini, int index);
    static bool writeLayout(IniFile& ini, int index, const QString& layout);
};

// [Database]
struct DatabaseSettings {
    // File, whole; the program folder when missing.
    static QString readFile(const IniFile& ini);
    static bool writeFile(IniFile& ini, const QString& path);
    // NewDatabaseJournal is "WAL" (any case).
    static bool newDatabasesUseWal(const IniFile& ini);
};

// The values the program holds from the file.
struct Settings {
    MiscSettings misc;
    ReportLabelSettings labels;
    CommSettings comm;
};

} // namespace qqc
