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
        // The number is taken inside a transaction: the caller's, or one of
        // its own.
        std::optional<Transaction> own;
        if (db_->transactionDepth() == 0)
            own.emplace(*db_);
        const qint32 id = insertSample(now, sampleDefaults());
        if (own)
            own->commit();
        return id;
    });
}

void SampleDatabase::SaveParameterData(qint32 sampleId, float& value, short parmId)
{
    trap("SaveParameterData ", [&] {
        const std::optional<float> stored = valueToStore(parmId, value);
        if (!stored) {
            replaceDetails(sampleId, parmId, {});
            return;
        }
        value = *stored;
        const Detail row{parmId, value,
                         storedLevel(parmId, value, [&] { return GetSeverity(sampleId, value, parmId); })};
        replaceDetails(sampleId, parmId, {&row, 1});
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
        r.dielectricChange = dielectricChange(dielectric, toSingle(references_->value(QStringLiteral("RefDielectric"))));
        r.viscosityChange = viscosityChange(viscosity, toSingle(references_->value(QStringLiteral("RefVisc40"))));
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

SampleDatabase::SampleDefaults SampleDatabase::sampleDefaults()
{
    return trap("AddNewSample", [&] {
        // A database without the defaults record gives new samples no
        // reference oil and no alarm set rather than refusing the test.
        SampleDefaults d;
        if (defaults_->seek({1})) {
            d.ref = qint32(defaults_->value(QStringLiteral("Ref")).toLongLong());
            d.alarm = qint32(defaults_->value(QStringLiteral("Alarm")).toLongLong());
        }
        if (references_->seek({d.ref}))
            d.refDielectric = toSingle(references_->value(QStringLiteral("RefDielectric")));
        return d;
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
    r.defaults = sampleDefaults();
    // How each value is judged (GetSeverity) and on which axis it counts
    // (UpdateTriFold).
    for (size_t i = 0; i < StoredParms.size(); ++i)
        trap("SaveParameterData ", [&] { r.parms[i] = judgingOf(StoredParms[i], r.defaults.alarm); });
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
    const int lcont = record.Rslt8700[Rslt::lcont];
    const std::array<float, StoredParms.size()> values = {
        dielectricChange(dielectric, rules.defaults.refDielectric.value_or(0.0f)),
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
        t.details[t.count++] = {parmId, *value, level};
    }
    return t;
}

// Storing a test is built from the routines' steps and leaves exactly what
// AddNewSample, TransferTestRecord, CompareToReference, SaveParameterData
// for each value and UpdateTriFold leave when run one after the other. But
// the levels and Trifold values are worked out first, so the new sample's
// row (insertSample) is written once with everything and its details
// (replaceDetails) in one statement: three statements per test instead of
// about twenty, which is what lets a bulk load of many tests in one
// transaction keep up.
qint32 SampleDatabase::storeTestResult(const TestRecord& record, const QDateTime& now)
{
    const StoreRules& rules = storeRules();
    const JudgedTest judged = judge(record, rules);
    const qint32 sampleId = insertSample(now, rules.defaults, &record, &judged.triFold);
    // No rows a sample of this number may have left stay behind.
    replaceDetails(sampleId, std::nullopt, {judged.details.data(), judged.count});
    return sampleId;
}

qint32 SampleDatabase::heldTestId(const TestRecord& record, const QDateTime& arrival)
{
    return trap("AddNewSample", [&] {
        // SamplesDate finds the few samples of that second; the readings tell
        // two tests of one second apart.
        static const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? AND %4 = ?");
        const QVariant id = db_->queryValue(
            sql.arg(ident(QStringLiteral("SampleID")), ident(QStringLiteral("Samples")),
                    ident(QStringLiteral("SampleDate")), ident(QStringLiteral("raw8700"))),
            {arrival, QVariant::fromValue(Utf8Text{testRecordFieldBytes(record, QStringLiteral("raw8700"))})});
        return id.isNull() ? 0 : qint32(id.toLongLong());
    });
}

QString SampleDatabase::ident(const QString& name) const
{
    return db_->ident(name);
}

qint32 SampleDatabase::insertSample(const QDateTime& now, const SampleDefaults& defaults, const TestRecord* record,
                                    const TriFoldLevels* triFold)
{
    static const QString samplesTable = QStringLiteral("Samples");
    static const QStringList samplesOnly = {samplesTable};
    Database& db = *db_;
    const bool withRef = defaults.refDielectric.has_value();
    const bool withTest = record && triFold;
    return trap("AddNewSample", [&] {
        QString& sql = insertSampleSql_[withRef ? 1 : 0][withTest ? 1 : 0];
        if (sql.isEmpty()) {
            QStringList cols = {QStringLiteral("SampleID"), QStringLiteral("SampleNum"), QStringLiteral("SampleDate"),
                                QStringLiteral("RefID"), QStringLiteral("AlarmID")};
            if (withRef)
                cols << QStringLiteral("RefDielectric");
            if (withTest)
                cols << QStringLiteral("WearSev") << QStringLiteral("ContamSev") << QStringLiteral("ChemSev")
                     << testRecordFieldNames();
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
        // else wrote to Samples. A server's stations number from one shared
        // sequence, so there every number comes from it.
        const qint64 next = !db.onServer() && nextSampleId_.stamp && !db.changedSince(nextSampleId_.stamp, samplesOnly)
                              ? nextSampleId_.number
                              : db.nextAutoNumber(samplesTable);
        QVariantList values;
        values.reserve(17);
        values << next << QString::number(next) << now << defaults.ref << defaults.alarm;
        // The REAL columns take single-precision values as doubles: stored
        // exactly as their text forms would be, without the text.
        if (withRef)
            values << double(*defaults.refDielectric);
        if (withTest) {
            for (int axis : {Axis::Wear, Axis::Contamination, Axis::Chemistry})
                values << double(triFold->axisValue(axis));
            for (const QString& field : testRecordFieldNames())
                values << QVariant::fromValue(Utf8Text{testRecordFieldBytes(*record, field)});
        }
        QVariant id;
        db.executeOn(samplesTable, sql, values, &id);
        if (id.toLongLong() != next)
            throw DbError(DbErr::Generic, QStringLiteral("The new sample has no number."));
        nextSampleId_ = {next + 1, db.changeStamp()};
        return qint32(next);
    });
}

void SampleDatabase::replaceDetails(qint32 sampleId, std::optional<short> onlyParm, std::span<const Detail> rows)
{
    static const QString detailsTable = QStringLiteral("SampleDetails");
    Database& db = *db_;
    trap("SaveParameterData ", [&] {
        QString& clear = clearDetailsSql_[onlyParm ? 1 : 0];
        if (clear.isEmpty()) {
            clear = QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(ident(detailsTable), ident(QStringLiteral("SampleID")));
            if (onlyParm)
                clear += QStringLiteral(" AND %1 = ?").arg(ident(QStringLiteral("ParmID")));
        }
        db.executeOn(detailsTable, clear, onlyParm ? QVariantList{sampleId, int(*onlyParm)} : QVariantList{sampleId});
        if (rows.empty())
            return;
        if (rows.size() > insertDetailsSql_.size())
            throw DbError(DbErr::Generic, QStringLiteral("Too many detail rows (%1).").arg(rows.size()));
        QString& sql = insertDetailsSql_[rows.size() - 1];
        if (sql.isEmpty()) {
            QStringList marks;
            for (size_t i = 0; i < rows.size(); ++i)
                marks << QStringLiteral("(?, ?, ?, ?)");
            sql = QStringLiteral("INSERT INTO %1 (%2, %3, %4, %5) VALUES %6")
                      .arg(ident(detailsTable), ident(QStringLiteral("SampleID")), ident(QStringLiteral("ParmID")),
                           ident(QStringLiteral("Value")), ident(QStringLiteral("Severity")),
                           marks.join(QLatin1String(", ")));
        }
        // As doubles and ints: stored as the values' text forms would be.
        QVariantList values;
        values.reserve(int(rows.size()) * 4);
        for (const Detail& r : rows)
            values << sampleId << int(r.parmId) << double(r.value) << int(r.level);
        db.executeOn(detailsTable, sql, values);
    });
}

} // namespace qqc::db
