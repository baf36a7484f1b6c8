#pragma once
// The open sample database with the main window's shared cursors and the
// parameter catalogue, and the routines that store tests, judge them against
// alarm sets and change a sample's assignments.
//
// Every routine throws RoutineFailure (the routine's name and the engine's
// number and text) so that the caller shows "Error n(text) in routine: name".
// The routines themselves take no transaction: the caller wraps each whole
// command (one test, one assignment, one recalculation) in a db::Transaction,
// so a failure never leaves half of it stored.

#include "analysis/severity.h"
#include "core/parameters.h"
#include "db/engine.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <span>

namespace qqc {
struct TestRecord;
}

namespace qqc::db {

constexpr int CurrentLayoutVersion = 300;

struct RoutineFailure {
    QString routine;
    int number = 0;
    QString description;
};

// The parameter catalogue: texts of ParmID 50..132.
struct ParameterCatalogue {
    static constexpr int First = 50;
    static constexpr int Last = 132;
    std::array<QString, Last - First + 1> generic, format, description;
    bool has(int parmId) const { return parmId >= First && parmId <= Last; }
    const QString& Generic(int parmId) const { return generic.at(size_t(parmId - First)); }
    const QString& Format(int parmId) const { return format.at(size_t(parmId - First)); }
    const QString& Description(int parmId) const { return description.at(size_t(parmId - First)); }
};

struct CompareResult {
    float dielectricChange = NoValue;
    float viscosityChange = NoValue;
};

class SampleDatabase {
public:
    enum class OpenStatus { Opened, NeedsUpgrade };

    // Checks `path` on a connection that cannot change it, then opens it.
    // NeedsUpgrade (nothing kept open, the file as it was) when
    // Databaseversion is below 300; throws DbError for every other failure
    // (missing, foreign or write-ahead-log-on-a-share file, a lock that
    // outlasts options.lockRetryMs, missing table or query, a parameter
    // number outside the catalogue). A sound write-ahead-log file on a share
    // that no other station holds goes back to the rollback journal.
    static std::unique_ptr<SampleDatabase> open(const QString& path, OpenStatus& status,
                                                const OpenOptions& options = {});

    Database& database() { return *db_; }
    const QString& path() const { return db_->path(); }
    const ParameterCatalogue& catalogue() const { return catalogue_; }
    int layoutVersion() const { return version_; }

    // --- Sample store ---
    // Adds a sample with the default reference oil and alarm set; returns
    // its SampleID. The sample date is `now`.
    qint32 AddNewSample(const QDateTime& now);
    // Stores one parameter value with its level (valueToStore, storedLevel);
    // `value` may be changed (negative values of most parameters become 0).
    void SaveParameterData(qint32 sampleId, float& value, short parmId);
    CompareResult CompareToReference(qint32 sampleId, float dielectric, float viscosity);
    // TransferTestRecord in its two directions: saves the seven test tables
    // into the sample's text fields, or loads them (false when the sample
    // does not exist; empty fields leave their table unchanged).
    void SaveTestRecord(qint32 sampleId, const TestRecord& record);
    bool LoadTestRecord(qint32 sampleId, TestRecord& record);
    // Steps 1 to 8 of storing a test: the new sample, its test tables, the
    // parameter values with their levels and the Trifold values. Returns the
    // new SampleID. The caller commits it as one transaction.
    qint32 storeTestResult(const TestRecord& record, const QDateTime& now);
    // The SampleID of a stored test that arrived at `arrival` (to the
    // second, as SampleDate keeps it) with the same raw readings; 0 when
    // there is none. A test stored again after a crash between its commit
    // and the removal of its spool entry is recognised by it.
    qint32 heldTestId(const TestRecord& record, const QDateTime& arrival);

    // --- Alarm evaluation ---
    short GetSeverity(qint32 sampleId, float value, short parmId);
    void UpdateTriFold(qint32 sampleId);
    // Re-evaluates every stored value of the sample, then UpdateTriFold.
    void RecalculateAlarms(qint32 sampleId);

    // --- Assignments (after the user confirmed) ---
    struct SampleRef {
        bool found = false;
        QString number;      // SampleNum, or the decimal SampleID when empty
        qint32 refId = 0, alarmId = 0;
        QVariant customerId; // null when empty
    };
    SampleRef findSample(qint32 sampleId);
    void setAlarm(qint32 sampleId, qint32 alarmId);           // then RecalculateAlarms
    void setReference(qint32 sampleId, qint32 refId, float refDielectric);  // then the follow-up
    void setCustomer(qint32 sampleId, qint32 customerId);
    // fDataFrm_ViscChg: stores the viscosity change as parameter 73.
    void viscosityChanged(qint32 sampleId, float dielectric, float viscosity);

    // Value of a stored detail row; 0 when there is none.
    float detailValue(qint32 sampleId, short parmId);

private:
    SampleDatabase() = default;
    static std::unique_ptr<SampleDatabase> openOnce(const QString& path, OpenStatus& status,
                                                    const OpenOptions& options);
    bool attach();
    void loadCatalogue();
    // What GetSeverity reads to judge a parameter under an alarm set (the
    // limits only for an alarmed parameter; an empty AlarmID is then an
    // error). The live store reads its rules with it too.
    ParameterJudging judgingOf(short parmId, const QVariant& alarmId);

    // The parameters a test stores, in the order they are written.
    static constexpr std::array<short, 7> StoredParms = {Parm::DielectricChange, Parm::Dielectric, Parm::Ferrous,
                                                         Parm::Water,            Parm::LargeWater, Parm::LargeFerrous,
                                                         Parm::LargeNonFerrous};
    // The default reference oil and alarm set a new sample gets (0 and 0
    // without the Defaults record), with the reference oil's dielectric when
    // that reference exists.
    struct SampleDefaults {
        qint32 ref = 0, alarm = 0;
        std::optional<float> refDielectric;
    };
    SampleDefaults sampleDefaults();
    // What storing a test reads besides the record: the sample defaults and
    // how each stored parameter is judged. Kept while the transaction changes
    // none of the tables it comes from, so a bulk load reads it once.
    struct StoreRules {
        bool filled = false;
        quint64 stamp = 0;
        SampleDefaults defaults;
        std::array<ParameterJudging, StoredParms.size()> parms;
    };
    const StoreRules& storeRules();
    StoreRules storeRules_;
    // One detail row: a parameter's value with its level.
    struct Detail {
        short parmId = 0;
        float value = 0;
        short level = 0;
    };
    // A test's values to store, with their levels and the Trifold levels.
    struct JudgedTest {
        std::array<Detail, StoredParms.size()> details;
        size_t count = 0;
        TriFoldLevels triFold;
    };
    static JudgedTest judge(const TestRecord& record, const StoreRules& rules);
    // The writing steps that AddNewSample and SaveParameterData are, and the
    // live store is built from. insertSample: a new Samples row in one
    // statement, numbered up front, with its date, Sample # (its SampleID as
    // text) and defaults; with a test, its Trifold values and test tables too
    // (`record` and `triFold` both or neither).
    qint32 insertSample(const QDateTime& now, const SampleDefaults& defaults, const TestRecord* record = nullptr,
                        const TriFoldLevels* triFold = nullptr);
    // replaceDetails: removes the sample's row of `onlyParm` (all of the
    // sample's rows without it), then writes `rows` in one statement.
    void replaceDetails(qint32 sampleId, std::optional<short> onlyParm, std::span<const Detail> rows);
    QString ident(const QString& name) const;
    // The SampleID the next new sample gets, while its stamp is current.
    struct {
        qint64 number = 0;
        quint64 stamp = 0;
    } nextSampleId_;

    // Statements of the steps, built once: new samples by [with the
    // reference dielectric][with a test]; clearing details by [all of the
    // sample's][one parameter's]; writing details by the number of rows.
    QString insertSampleSql_[2][2], clearDetailsSql_[2];
    std::array<QString, StoredParms.size()> insertDetailsSql_;

    std::unique_ptr<Database> db_;
    int version_ = 0;
    std::unique_ptr<Recordset> systemData_, samples_, sampleTables_, references_, parameters_, sampleDetails_,
        alarmSets_, alarmData_, defaults_;
    std::shared_ptr<QueryDef> parmListQuery_, sampleDetailsQuery_, alarmDataQuery_;
    std::unique_ptr<Recordset> parmListRs_, sampleDetailsRs_, alarmDataRs_;
    ParameterCatalogue catalogue_;
};

// The template "DBquorqc.tpl": the program folder's copy when there is one,
// else the one installed beside the executable.
QString templatePath();

// Stored samples as text, one line each, oldest first: number, date,
// dielectric, ferrous index, water, Wear/Contamination/Chemistry values.
// At most `limit` lines (the newest ones) when limit > 0.
QString listSamples(Database& db, int limit = 0);
// Opens `path` for the listing; the text of the failure when it cannot.
QString listSamplesInFile(const QString& path, int limit = 0, bool* ok = nullptr);

} // namespace qqc::db
