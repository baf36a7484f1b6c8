#include "db/routine_trap.h"

#include "analysis/severity.h"
#include "core/record.h"

#include <QSqlDriver>

#include <algorithm>

namespace qqc::db {

// --- Sample store ---

qint32 SampleDatabase::AddNewSample(const QDateTime& now)
{
    return trap("AddNewSample", [&] {
        sampleNumberRs_->requery();
        // A database without the defaults record gives new samples no
        // reference oil and no alarm set rather than refusing the test.
        qint32 ref = 0, alarm = 0;
        if (defaults_->seek({1})) {
            ref = qint32(defaults_->value(QStringLiteral("Ref")).toLongLong());
            alarm = qint32(defaults_->value(QStringLiteral("Alarm")).toLongLong());
        }
        Recordset& rs = *sampleNumberRs_;
        rs.addNew();
        const qint32 id = qint32(rs.value(QStringLiteral("SampleID")).toLongLong());
        rs.setValue(QStringLiteral("SampleDate"), now);
        rs.setValue(QStringLiteral("RefID"), ref);
        rs.setValue(QStringLiteral("AlarmID"), alarm);
        rs.setValue(QStringLiteral("SampleNum"), QString::number(id));
        if (references_->seek({ref}))
            rs.setValue(QStringLiteral("RefDielectric"), toSingle(references_->value(QStringLiteral("RefDielectric"))));
        rs.update();
        return id;
    });
}

void SampleDatabase::SaveParameterData(qint32 sampleId, float& value, short parmId)
{
    trap("SaveParameterData ", [&] {
        const std::optional<float> stored = valueToStore(parmId, value);
        if (!stored) {
            if (sampleDetails_->seek({sampleId, parmId}))
                sampleDetails_->deleteRecord();
            return;
        }
        value = *stored;
        const short level = storedLevel(parmId, value, [&] { return GetSeverity(sampleId, value, parmId); });
        Recordset& d = *sampleDetails_;
        if (!d.seek({sampleId, parmId})) {
            d.addNew();
            d.setValue(QStringLiteral("SampleID"), sampleId);
            d.setValue(QStringLiteral("ParmID"), parmId);
            d.setValue(QStringLiteral("Value"), value);
            d.setValue(QStringLiteral("Severity"), level);
            d.update();
        } else {
            d.edit();
            d.setValue(QStringLiteral("Value"), value);
            d.setValue(QStringLiteral("Severity"), level);
            d.update();
        }
    });
}

CompareResult SampleDatabase::CompareToReference(qint32 sampleId, float dielectric, float viscosity)
{
    return trap("CompareToReference", [&] {
        CompareResult r;
        if (!samples_->seek({sampleId}))
            return r;
        const QVariant refId = samples_->value(QStringLiteral("RefID"));
        if (refId.isNull() || !references_->seek({refId}))
            return r;
        const float refDiel = toSingle(references_->value(QStringLiteral("RefDielectric")));
        const float refVisc = toSingle(references_->value(QStringLiteral("RefVisc40")));
        if (refDiel > 0)
            r.dielectricChange = (dielectric - refDiel) * 100.0f;
        if (refVisc > 0 && viscosity > 0)
            r.viscosityChange = (viscosity - refVisc) * 100.0f / (refVisc + viscosity);
        return r;
    });
}

void SampleDatabase::SaveTestRecord(qint32 sampleId, const TestRecord& record)
{
    trap("TransferTestRecord", [&] {
        if (!sampleTables_->seek({sampleId}))
            throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record (sample %1).").arg(sampleId));
        sampleTables_->edit();
        for (const QString& field : testRecordFieldNames())
            sampleTables_->setValue(field, testRecordFieldText(record, field));
        sampleTables_->update();
    });
}

bool SampleDatabase::LoadTestRecord(qint32 sampleId, TestRecord& record)
{
    return trap("TransferTestRecord", [&] {
        if (!sampleTables_->seek({sampleId}))
            return false;
        for (const QString& field : testRecordFieldNames()) {
            const QVariant v = sampleTables_->value(field);
            if (!v.isNull())
                setTestRecordFieldText(record, field, v.toString());
        }
        return true;
    });
}

// What storing a test reads besides the record, read once and kept while
// the transaction changes none of the tables it comes from.
const SampleDatabase::StoreRules& SampleDatabase::storeRules()
{
    static const QStringList sources = {QStringLiteral("Defaults"), QStringLiteral("References"),
                                        QStringLiteral("Parameters"), QStringLiteral("AlarmData")};
    if (storeRules_.filled && !db_->changedSince(storeRules_.stamp, sources))
        return storeRules_;
    StoreRules r;
    // The new sample's reference oil and alarm set (AddNewSample).
    trap("AddNewSample", [&] {
        if (defaults_->seek({1})) {
            r.ref = qint32(defaults_->value(QStringLiteral("Ref")).toLongLong());
            r.alarm = qint32(defaults_->value(QStringLiteral("Alarm")).toLongLong());
        }
        r.refFound = references_->seek({r.ref});
        if (r.refFound)
            r.refDielectric = toSingle(references_->value(QStringLiteral("RefDielectric")));
    });
    // How each value is judged (GetSeverity) and on which axis it counts
    // (UpdateTriFold).
    for (size_t i = 0; i < StoredParms.size(); ++i)
        trap("SaveParameterData ", [&] { r.parms[i] = judgingOf(StoredParms[i], r.alarm); });
    r.filled = true;
    r.stamp = db_->changeStamp();
    storeRules_ = r;
    return storeRules_;
}

// The values with the rules of SaveParameterData (no dielectric change
// without a reference dielectric, no negative values), each with its level
// (GetSeverity), and the worst level per axis among those judged
// (UpdateTriFold).
SampleDatabase::JudgedTest SampleDatabase::judge(const TestRecord& record, const StoreRules& rules)
{
    const float dielectric = float(double(record.Rslt8700[Rslt::diel]) / 100.0);
    float dielectricChange = NoValue;
    if (rules.refFound && rules.refDielectric > 0)
        dielectricChange = (dielectric - rules.refDielectric) * 100.0f;
    const int lcont = record.Rslt8700[Rslt::lcont];
    const std::array<float, StoredParms.size()> values = {
        dielectricChange,
        dielectric,
        float(record.Rslt8700[Rslt::iron]),
        float(double(record.Rslt8700[Rslt::water]) / 100.0),
        (lcont & LcontFlag::Droplets) ? 1.0f : 0.0f,
        (lcont & LcontFlag::Ferrous) ? 1.0f : 0.0f,
        (lcont & LcontFlag::NonFerrous) ? 1.0f : 0.0f};

    JudgedTest t;
    for (size_t i = 0; i < StoredParms.size(); ++i) {
        const short parmId = StoredParms[i];
        const std::optional<float> value = valueToStore(parmId, values[i]);
        if (!value)
            continue;
        const ParameterJudging& j = rules.parms[i];
        const short level = storedLevel(parmId, *value, [&] { return alarmLevel(*value, j); });
        if (countsOnTriFold(parmId, j) && !t.triFold.add(j.axis, level))
            throw RoutineFailure{QStringLiteral("UpdateTriFold "), SubscriptOutOfRange,
                                 QStringLiteral("Subscript out of range (ParmType %1)").arg(j.axis)};
        t.stored |= 1u << i;
        t.details[t.count++] = {parmId, *value, level};
    }
    return t;
}

// Storing a test leaves exactly what AddNewSample, TransferTestRecord,
// CompareToReference, SaveParameterData for each value and UpdateTriFold
// leave when run one after the other. But the levels and Trifold values are
// worked out first, so the sample row is written once with everything and
// its details in one statement: three statements per test instead of about
// twenty, which is what lets a bulk load of many tests in one transaction
// keep up.
qint32 SampleDatabase::storeTestResult(const TestRecord& record, const QDateTime& now)
{
    const StoreRules& rules = storeRules();
    const JudgedTest judged = judge(record, rules);
    const qint32 sampleId = insertSample(record, now, rules, judged);
    insertDetails(sampleId, judged);
    return sampleId;
}

QString SampleDatabase::ident(const QString& name) const
{
    return db_->connection().driver()->escapeIdentifier(name, QSqlDriver::TableName);
}

// The sample row with its Sample #, test tables and Trifold values.
qint32 SampleDatabase::insertSample(const TestRecord& record, const QDateTime& now, const StoreRules& rules,
                                    const JudgedTest& judged)
{
    static const QString samplesTable = QStringLiteral("Samples");
    static const QStringList samplesOnly = {samplesTable};
    Database& db = *db_;
    return trap("AddNewSample", [&] {
        QString& sql = insertSampleSql_[rules.refFound ? 1 : 0];
        if (sql.isEmpty()) {
            QStringList cols = {QStringLiteral("SampleID"), QStringLiteral("SampleNum"), QStringLiteral("SampleDate"),
                                QStringLiteral("RefID"), QStringLiteral("AlarmID")};
            if (rules.refFound)
                cols << QStringLiteral("RefDielectric");
            cols << QStringLiteral("WearSev") << QStringLiteral("ContamSev") << QStringLiteral("ChemSev");
            cols << testRecordFieldNames();
            QStringList idents, marks;
            for (const QString& c : cols) {
                idents << ident(c);
                marks << QStringLiteral("?");
            }
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(ident(samplesTable), idents.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
        }
        // The number is known before the row is written, so the row goes in
        // whole with its Sample # (the number as text). The number after the
        // one this transaction stored last needs no look-up while nothing
        // else wrote to Samples.
        const qint64 next = nextSampleId_.stamp && !db.changedSince(nextSampleId_.stamp, samplesOnly)
                              ? nextSampleId_.number
                              : db.nextAutoNumber(samplesTable);
        QVariantList values;
        values.reserve(17);
        values << next << QString::number(next) << now << rules.ref << rules.alarm;
        // The REAL columns take single-precision values as doubles: stored
        // exactly as their text forms would be, without the text.
        if (rules.refFound)
            values << double(rules.refDielectric);
        for (int axis : {Axis::Wear, Axis::Contamination, Axis::Chemistry})
            values << double(judged.triFold.axisValue(axis));
        for (const QString& field : testRecordFieldNames())
            values << QVariant::fromValue(Utf8Text{testRecordFieldBytes(record, field)});
        QVariant id;
        db.executeOn(samplesTable, sql, values, &id);
        if (id.toLongLong() != next)
            throw DbError(DbErr::Generic, QStringLiteral("The new sample has no number."));
        nextSampleId_ = {next + 1, db.changeStamp()};
        return qint32(next);
    });
}

// The sample's parameter values with their levels, replacing any rows a
// sample of this number may have left.
void SampleDatabase::insertDetails(qint32 sampleId, const JudgedTest& judged)
{
    static const QString detailsTable = QStringLiteral("SampleDetails");
    Database& db = *db_;
    trap("SaveParameterData ", [&] {
        if (clearDetailsSql_.isEmpty())
            clearDetailsSql_ = QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                                   .arg(ident(detailsTable), ident(QStringLiteral("SampleID")));
        db.executeOn(detailsTable, clearDetailsSql_, {sampleId});
        if (judged.count == 0)
            return;
        QString& sql = insertDetailsSql_[judged.stored];
        if (sql.isEmpty()) {
            // The parameter numbers are fixed for each set of values stored.
            QStringList rows;
            for (size_t i = 0; i < judged.count; ++i)
                rows << QStringLiteral("(?, %1, ?, ?)").arg(judged.details[i].parmId);
            sql = QStringLiteral("INSERT INTO %1 (%2, %3, %4, %5) VALUES %6")
                      .arg(ident(detailsTable), ident(QStringLiteral("SampleID")), ident(QStringLiteral("ParmID")),
                           ident(QStringLiteral("Value")), ident(QStringLiteral("Severity")),
                           rows.join(QLatin1String(", ")));
        }
        QVariantList values;
        values.reserve(int(judged.count) * 3);
        for (size_t i = 0; i < judged.count; ++i)
            values << sampleId << double(judged.details[i].value) << int(judged.details[i].level);
        db.executeOn(detailsTable, sql, values);
    });
}

} // namespace qqc::db
