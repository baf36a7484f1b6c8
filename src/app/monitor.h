#pragma once
// Monitor: the main window's logic without any widget. It owns everything the
// program shares (settings, error reporter, receive buffer and serial link,
// the open database, the calibration record, the current test record and
// sample) and handles
// the events the child windows and the unit raise. MDIForm8700 owns one
// Monitor and the child windows, and wires window events to these handlers;
// tests drive a Monitor directly with a scripted Prompter.
//
// Each subsystem keeps its handlers in its own file (monitor_<topic>.cpp) and
// its members in its own section below, so the file stays readable.

#include "analysis/calibration.h"
#include "config/settings.h"
#include "core/record.h"
#include "db/engine.h"
#include "link/serial_port.h"
#include "link/unit_link.h"
#include "link/unit_state_model.h"
#include "util/ini_file.h"
#include "util/spool.h"
#include "util/std_error.h"

#include <QObject>

#include <array>
#include <functional>
#include <list>
#include <memory>
#include <optional>

class QThread;
class QTimer;

namespace qqc {

namespace db {
class Database;
class SampleDatabase;
} // namespace db

class LineCapture;
class SerialPort;
class UnitLink;
class frmTestTime;

class Monitor : public QObject {
    Q_OBJECT
public:
    explicit Monitor(QObject* parent = nullptr);
    ~Monitor() override;

    // --- shell: settings, error reporter, start-up state (monitor.cpp) ---
    // Child windows that have an open flag. A flag is set by whatever shows
    // the window and cleared by the window's close notification; data is
    // pushed into a window only while its flag is set.
    enum ChildWindow {
        AlarmWindow, ChartWindow, DataWindow, ReferenceWindow,
        ReportWindow, CustomerWindow, SetupWindow, StatusWindow,
        ChildWindowCount
    };

    // Program folder + "/quorvelqc.ini", "/QuorQCcal.def", "/quorvelqc.log".
    const QString& settingsPath() const { return settingsPath_; }
    const QString& calDefPath() const { return calDefPath_; }
    const QString& logPath() const { return logPath_; }
    IniFile& iniFile() { return *ini_; }
    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }
    StdError& stdError() { return *stdError_; }

    // Start-up steps 3 to 5: paths and the MISC keys.
    void readStartupSettings();
    // Start-up step 6: report labels, colour reduction, calibration download,
    // port. When no port is set, shows "Please specify serial port for
    // Quorvel unit." and runs the Setup command. Returns whether a port is set.
    bool ReadSettings();
    // Start-up step 13: reads MISC/DEBUG, the link's trace lines ("Diel,...",
    // frequency reads), and hands it at once to the link opened at step 8;
    // a link made later takes it from the settings.
    void readDebugFlag();

    bool windowOpen(ChildWindow w) const { return windowOpen_[size_t(w)]; }
    void setWindowOpen(ChildWindow w, bool open) { windowOpen_[size_t(w)] = open; }

    // Set by the unit's version message; read by the diagnostics window.
    bool firmware31() const { return firmware31_; }
    void setFirmware31(bool on) { firmware31_ = on; }

    // SampleID of the sample last added or selected (0: none).
    qint32 currentSampleId() const { return sampleId_; }
    void setCurrentSampleId(qint32 id) { sampleId_ = id; }
    // The current test record: the last test decoded from the unit, or the
    // stored sample last selected while the engineering chart is open; the
    // chart rereads it on reloadChart.
    const TestRecord& currentTestRecord() const { return record_; }
    void setCurrentTestRecord(const TestRecord& record) { record_ = record; }
    // The number of the selected sample when it has no stored test record
    // (the chart then says so instead of showing the current record); empty
    // once a sample with a record is selected or a new test arrives.
    const QString& chartSampleWithoutRecord() const { return chartSampleWithoutRecord_; }

    // --- setup, test time and diagnostics commands (monitor_setup.cpp) ---
    // "Setup" menu command, also run at start-up when no port is set.
    void runSetupCommand();
    // "Test Time" menu command.
    void runTestTimeCommand();
    // "Diag" menu command.
    void runDiagCommand();
    // The test time dialog's "Save && Download": stores the dialog's choice,
    // gives the status window the new total and sends it to the unit.
    void fTestTimeFrm_NewTestTime(frmTestTime& dialog);
    // Sends the stored test time setting to the unit ("J", the setting byte,
    // "S"); silent on failure. Also the answer to a unit reset when
    // settings().misc.downloadTestTime is on.
    void DownloadTestTime();

    // --- link: receive buffer, frames, unit messages (monitor_link.cpp) ---
    // Start-up step 8: opens the configured port; on failure shows
    // "Error opening comm port: " + the system's text and returns false.
    // Without a configured port the status panel shows "Comm Port Not
    // Defined" and nothing is opened.
    bool openSerialLink();
    void closeSerialLink();
    // The link to the unit: serial port, receive buffer, message handlers
    // (created on first use; a test may hand in its own port first).
    UnitLink& unitLink();
    void setLinkPort(std::unique_ptr<SerialPort> port);
    // The unit's port while it is open, otherwise nullptr.
    SerialPort* linkPort();
    // The line capture file named on the command line (--capture); it wins
    // over MISC/CAPTURE. Set before start-up.
    void setCaptureFile(const QString& path) { captureOverride_ = path; }
    // The capture under way (start-up step 5 starts it), or nullptr.
    LineCapture* lineCapture() const { return capture_.get(); }
    // `port` wrapped so the capture sees its bytes while capturing is on;
    // `port` itself otherwise. The unit's and the diagnostics ports go
    // through here.
    std::unique_ptr<SerialPort> capturedPort(std::unique_ptr<SerialPort> port);
    // What the status window shows; the window (owned by the frame) follows
    // it. openStatusWindow() gives it only while the window's open flag is
    // set, otherwise nullptr: nothing is kept for a closed window.
    UnitStateModel& statusModel() { return statusModel_; }
    UnitStateModel* openStatusWindow();
    // "D": decode (on top of a copy of the current record), recalculate,
    // make it the current record, refresh an open chart, give the status
    // window its readings, store, check the calibration. A frame that does
    // not decode is reported and changes and stores nothing.
    void ProcessTestData(const QByteArray& frame);
    // Status 254 (the unit was reset) while the status window is open: the
    // test time and calibration downloads, each when its flag is on.
    void onUnitReset();
    // The address the unit-error and calibration messages ask users to write
    // to: MISC/SUPPORTEMAIL, or a built-in default.
    QString supportEmail() const;

    // --- database: open/create, sample store, assignments (monitor_store.cpp) ---
    // Start-up step 14: reopens the last database or falls back to the open
    // or create commands.
    void openDatabaseAtStartup();
    void closeDatabase();
    // File menu "Open Database" and "Create New Database".
    void mnuDBOpen_Click();
    void mnuCreateDB_Click();
    // Makes `path` the open database: 0 on success, 1 after reporting why not.
    int OpenSampleDatabase(const QString& path);
    // The open database with the shared cursors; nullptr when none is open.
    db::SampleDatabase* sampleDatabase() const { return sampleDb_.get(); }
    const QString& databasePath() const { return dbPath_; }
    // "QuorvelQC Monitor - " + the path, or + "No Current Database".
    QString databaseTitle() const;
    // The upgrade of a database older than the current layout (filled by the
    // upgrade window): Upgraded (the file is then opened), NotUpgraded
    // (cancelled or failed: the file and the remembered database stay as
    // they were, and the next start offers the upgrade again) or EndProgram
    // (it could not run for lack of disk space). Without one, an old
    // database is reported and not opened. While it runs, tests and
    // calibrations the unit sends wait in the spool for the upgraded file.
    enum class UpgradeOutcome { Upgraded, NotUpgraded, EndProgram };
    using DatabaseUpgrader =
        std::function<UpgradeOutcome(const QString& templatePath, const QString& dbPath, const QString& dbFolder)>;
    void setDatabaseUpgrader(DatabaseUpgrader upgrader) { upgrader_ = std::move(upgrader); }
    // The conversion of a Jet database into `destination` (filled by the
    // upgrade window), with the same outcomes. OpenSampleDatabase asks for
    // the new name first; the converted file opens and becomes the
    // remembered database, the Jet file stays as it was.
    using JetConverter =
        std::function<UpgradeOutcome(const QString& templatePath, const QString& jetPath, const QString& destination)>;
    void setJetConverter(JetConverter converter) { jetConverter_ = std::move(converter); }
    // How databases are opened: lock waits, and the probe that tells a local
    // disk from a network share (tests play either station with it).
    void setDatabaseOpenOptions(const db::OpenOptions& options) { openOptions_ = options; }
    // ProcessTestData step 6: keeps `record` in the spool, then stores it as
    // a new sample in one transaction (monitor_spool.cpp); false when it was
    // not stored now. A test the database cannot take yet (locked, read-only,
    // full) waits in the spool and is stored on a timer, later tests behind
    // it; one the database refuses for good is reported and set aside.
    bool StoreTestResult(const TestRecord& record);
    // Events of the sample grid, the editors and the report.
    void fDataFrm_SelFromGrid(qint32 sampleId);
    void fDataFrm_RecalculateAlarms(qint32 sampleId);
    void fDataFrm_ViscChg(qint32 sampleId, float dielectric, float viscosity);
    void fAlarmFrm_SetAlarm(qint32 alarmId);
    void fReferenceFrm_SetRef(qint32 refId, float refDielectric);
    void fCustomerFrm_SetCustomer(qint32 customerId);
    void fReportFrm_RefreshData(qint32 sampleId);
    // The sample grid stored a cell of a sample itself, or deleted samples
    // (a deleted current sample leaves no current sample): sampleEdited and
    // sampleDeleted follow.
    void gridSampleEdited(qint32 sampleId);
    void gridSamplesDeleted(const QList<qint32>& sampleIds);

    // --- spool: what waits to be stored (monitor_spool.cpp) ---
    // Why tests wait, for the frame's title ("" while nothing waits for the
    // open database and the spool can be written).
    const QString& storeOutage() const { return storeOutage_; }
    // databaseTitle(), followed by the outage while there is one.
    QString frameTitle() const;
    // Entries (tests and calibration rows) not yet stored, of any database.
    int waitingEntryCount() const { return int(waiting_.size()); }
    // The spool folder's entries are read again and those of the open
    // database stored (after every open; also at start-up).
    void resumeSpool();

    // --- calibration and recalculation (monitor_calibration.cpp) ---
    // The calibration record: the last one received from the unit or changed
    // from the setup dialog; every change is written to calDefPath() at once.
    const CalRecord& calRecord() const { return calRecord_; }
    // "C": a new calibration from the unit (code byte at 0, payload from 1).
    void ProcessNewCalibration(const QByteArray& frame);
    // ProcessTestData step 3: PCCalc and PCRslt of `record` from its readings.
    void RecalculateTestIndices(TestRecord& record);
    // ProcessTestData step 8: warns about the calibration `record` was made with.
    void CheckTestCalibration(const TestRecord& record);
    // The setup dialog's "Save && Download": the two fluid dielectric texts
    // ("2.20", "3.00") go into the definition file, which is then sent.
    void fSetupFrm_NewDielectric(const QString& dlec220, const QString& dlec300);
    // Sends the definition file's calibration to the unit ("R" and four words).
    // Returns true when it was sent; a missing file sends nothing.
    bool DownloadCalibration();
    // "Cal History" menu command, also run after every new calibration.
    void mnuCal_Click();

signals:
    // shell: the frame follows these.
    // The database `path` became the open database ("" when none is open):
    // the frame's title becomes "QuorvelQC Monitor - " + path.
    void databasePathChanged(const QString& path);
    // The unit reported firmware that knows the test time command: the
    // "Test Time" menu entry becomes visible.
    void testTimeAvailable(bool available);
    // The error reporter's stop notification or an Abort answer: the frame
    // closes through the normal shutdown.
    void shutdownRequested();
    // calibration: the "Cal History" command ran (the history window opens on it).
    void calHistoryRequested();
    // database: a database became current (nullptr: none, or it is about to
    // be released). Windows take it through SetDB and reload (UpdateForm).
    void databaseOpened(qqc::db::Database* database);
    // Sent only while the sample grid is open: AddDataToGrid and
    // RefreshSampleDisplay.
    void sampleAdded(qint32 sampleId);
    void sampleChanged(qint32 sampleId);
    // A sample was clicked; each is sent only while its window is open.
    void markReference(qint32 refId);
    void markAlarmSet(qint32 alarmId);
    void markCustomer(qint32 customerId);
    void showReportSample(qint32 sampleId);
    // A stored sample changed (cells, levels, assignments, comments, the
    // report's own edits) or was deleted; sent whichever windows are open.
    // The report follows them.
    void sampleEdited(qint32 sampleId);
    void sampleDeleted(qint32 sampleId);
    // The current test record changed while the engineering chart is open.
    void reloadChart();
    // spool: the outage text changed (frameTitle() has it).
    void storeOutageChanged(const QString& text);

private:
    // shell
    QString settingsPath_;
    QString calDefPath_;
    QString logPath_;
    std::unique_ptr<IniFile> ini_;
    std::unique_ptr<StdError> stdError_;
    Settings settings_;
    std::array<bool, ChildWindowCount> windowOpen_{};
    bool firmware31_ = false;
    qint32 sampleId_ = 0;
    TestRecord record_;

    // database
    std::shared_ptr<db::SampleDatabase> sampleDb_;
    QString dbPath_;
    QString chartSampleWithoutRecord_;
    DatabaseUpgrader upgrader_;
    JetConverter jetConverter_;
    int openJetDatabase(const QString& jetPath);
    // "Create New Database" with a server address: the layout in an empty
    // server database, which is then opened and remembered.
    void createServerDatabase(const QString& address);
    // The database being upgraded: what arrives meanwhile is spooled for it.
    QString upgrading_;
    db::OpenOptions openOptions_;
    void releaseDatabase();

    // link
    UnitStateModel statusModel_;
    std::unique_ptr<UnitLink> link_;
    QString captureOverride_;
    std::shared_ptr<LineCapture> capture_;
    void startCapture();  // from --capture or MISC/CAPTURE and CAPTURESIZE
    // ProcessTestData step 2: the frame decoded on top of `current`; empty
    // after a failure, which went through the error reporter (`aborted` is
    // set when it was answered with Abort).
    std::optional<TestRecord> decodeTestFrame(const QByteArray& frame, const TestRecord& current, bool& aborted);

    // spool
    std::unique_ptr<Spool> spool_;
    std::list<SpoolEntry> waiting_;     // not yet stored, in arrival order; file empty: only in memory
    QString storeOutage_;
    QString loggedOutage_;              // the problem last written to the log
    QString databaseProblem_;           // why the open database did not take the head entry
    QString spoolProblem_;              // why the spool could not be written
    QStringList reportedUnreadable_;
    QTimer* retryTimer_ = nullptr;
    bool storing_ = false;              // storeWaiting() is running
    Spool& spool();
    // Spools `entry`, queues it and stores what waits for the open
    // database; the new SampleID when `entry` (a test) was stored now.
    // `waits` tells whether it waits in the spool (or memory) afterwards.
    qint32 keepAndStore(SpoolEntry entry, bool* waits = nullptr);
    // Stores the open database's waiting entries in order, up to the first
    // the database cannot take yet. Returns the SampleID of `live` when it
    // was stored.
    qint32 storeWaiting(const SpoolEntry* live = nullptr);
    enum class StoreAttempt { Stored, Waiting, Refused };
    StoreAttempt storeEntry(const SpoolEntry& entry, qint32& sampleId, bool& added);
    void insertCalibrationRow(const SpoolEntry& entry, bool& added);
    void updateStoreOutage();
    void reportUnkeptEntries();
    // A remembered server database that did not answer when it was opened
    // (down, restarting, the network): what arrives meanwhile is spooled for
    // it, and it is opened once the server answers. The server is asked
    // every few seconds off the window's thread, since an unreachable host
    // may take seconds to time out.
    QString awaitedServer_;
    QThread* serverProbe_ = nullptr;
    int probeTicks_ = 0;
    void probeAwaitedServer();
    // The database entries are spooled for while none is open: the one being
    // upgraded or the awaited server ("" when arriving tests cannot be kept).
    const QString& spoolOnlyDatabase() const { return upgrading_.isEmpty() ? awaitedServer_ : upgrading_; }

    // calibration
    CalRecord calRecord_;
    bool calFileBehind_ = false;              // the last write of the definition file failed
    // The calibration the Monitor holds: calRecord_ while the file is behind
    // it, otherwise the file's record (the source at start-up).
    CalFileResult heldCalibration(CalRecord& record) const;
    SerialPort* calibrationPort();            // the unit's open port, or nullptr
    UnitStateModel* calibrationStatusWindow();  // the status display while its window is open
    void appendCalibrationRow(const CalRecord& record);  // CalData row, when a database is open
};

} // namespace qqc
