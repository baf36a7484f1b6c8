#pragma once
// The editors' reads and commands on the open database: the lists of alarm
// sets, reference oils and customers, an alarm set's limits, adding, editing
// and deleting records, the in-use check and the defaults.
//
// Every read and write goes through the engine (db/engine.h): writes are
// Database::executeOn statements on the one table they change, so cursor
// caches and the sample store's cached judging rules see them. Every value is
// a bound parameter; the SQL stays driver-neutral. Each command runs in one
// transaction: a failure half-way (db::DbError, thrown to the caller) leaves
// nothing of it behind.

#include "views/editor_tables.h"

#include "db/engine.h"

#include <QSet>

#include <array>
#include <optional>
#include <vector>

namespace qqc {

// One record of a list: its key and the stored values of the table's columns
// (column 0 holds the key again).
struct ListRecord {
    qint32 id = 0;
    QVariantList values;
};

// One limit row of an alarm set, as AlarmDataQuery returns it.
struct AlarmLimitRow {
    int parmId = 0;
    QVariant description;
    std::array<QVariant, 4> limits;  // HighNormal, Alert, Alarm, Extreme
};

// The sample that keeps a record from being deleted.
struct SampleUsing {
    qint32 sampleId = 0;
    QVariant sampleDate;
    QString equipmentId;
};

class EditorStore {
public:
    EditorStore() = default;
    explicit EditorStore(db::Database* database) : database_(database) {}
    bool isValid() const { return database_ && database_->isOpen(); }
    db::Database* database() const { return database_; }

    // Every record in key order; one record (nothing when it does not exist).
    std::vector<ListRecord> readAll(const ListTable& table) const;
    std::optional<ListRecord> read(const ListTable& table, qint32 id) const;
    // A new record holding the database's defaults; returns its key.
    qint32 add(const ListTable& table);
    // Stores `value` in the field of `column` only. False when the record no
    // longer exists.
    bool setField(const ListTable& table, qint32 id, int column, const QVariant& value);

    // The first sample (lowest SampleID) assigned the record, for a table
    // with an in-use field. Uses an index of Samples on that field, created
    // on the first check when the file lacks it.
    std::optional<SampleUsing> firstSampleUsing(const ListTable& table, qint32 id) const;
    enum class Removal { Deleted, Missing, InUse };
    // Deletes the record with its dependent rows, and clears the default when
    // it was the default. The in-use check is repeated inside the
    // transaction (`inUse` receives the sample), so a sample assigned
    // meanwhile by another station keeps its record.
    Removal remove(const ListTable& table, qint32 id, SampleUsing* inUse = nullptr);

    // A new alarm set with zero limits for every parameter ParmListQuery
    // lists; returns its AlarmID.
    qint32 addAlarmSet();
    // The set's limit rows (AlarmDataQuery); none for 0.
    std::vector<AlarmLimitRow> alarmLimits(qint32 alarmId) const;
    std::optional<AlarmLimitRow> alarmLimit(qint32 alarmId, int parmId) const;
    // limit: 0 HighNormal, 1 Alert, 2 Alarm, 3 Extreme. False when the row
    // no longer exists.
    bool setLimit(qint32 alarmId, int parmId, int limit, double value);

    // The default record of a table with a default field (0: none, also when
    // the Defaults record is missing). Setting it creates the Defaults
    // record when the file has none.
    qint32 defaultId(const ListTable& table) const;
    void setDefault(const ListTable& table, qint32 id);

private:
    void ensureInUseIndex(const ListTable& table) const;
    db::Database& db() const;
    db::Database* database_ = nullptr;  // not owned
    mutable QSet<QString> indexed_;     // in-use indexes made sure of
};

// The limit fields in column order.
inline constexpr std::array<const char*, 4> kLimitFields = {"HighNormal", "Alert", "Alarm", "Extreme"};

} // namespace qqc
