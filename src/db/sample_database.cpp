#include "db/sample_database.h"

#include "analysis/severity.h"
#include "link/test_record.h"
#include "util/program_folder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlQuery>

#include <cmath>
#include <vector>

namespace qqc::db {

namespace {

constexpr int SubscriptOutOfRange = 9;
constexpr int InvalidUseOfNull = 94;

// Runs one routine; an engine error leaves it as a RoutineFailure naming the
// routine. A failure of a routine called inside keeps its own name.
template <class F>
auto trap(const char* routine, F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const DbError& e) {
        throw RoutineFailure{QString::fromLatin1(routine), e.number(), e.description()};
    }
}

float toSingle(const QVariant& v) { return v.isNull() ? 0.0f : float(v.toDouble()); }

qint32 toLong(const QVariant& v, const char* field)
{
    if (v.isNull())
        throw DbError(InvalidUseOfNull, QStringLiteral("Invalid use of Null (%1)").arg(QLatin1String(field)));
    return qint32(v.toLongLong());
}

} // namespace

// --- Open ---

std::unique_ptr<SampleDatabase> SampleDatabase::open(const QString& path, OpenStatus& status,
                                                     const OpenOptions& options)
{
    std::unique_ptr<SampleDatabase> s(new SampleDatabase);
    s->db_ = Database::open(path, options);
    Database& db = *s->db_;

    s->systemData_ = db.openTable(QStringLiteral("SystemData"));
    if (s->systemData_->eof())
        throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record (SystemData)."));
    s->version_ = int(s->systemData_->value(QStringLiteral("Databaseversion")).toLongLong());
    if (s->version_ < CurrentLayoutVersion) {
        status = OpenStatus::NeedsUpgrade;
        return nullptr;
    }

    // The shared Samples cursor reads the sample's own fields; the seven test
    // tables (several kB of text per sample) have a cursor of their own, so
    // the many seeks of storing and judging a test do not read them.
    s->samples_ = db.openTable(QStringLiteral("Samples"),
                               {QStringLiteral("SampleNum"), QStringLiteral("SampleDate"), QStringLiteral("EquipmentID"),
                                QStringLiteral("RefID"), QStringLiteral("RefDielectric"), QStringLiteral("AlarmID"),
                                QStringLiteral("CustomerID"), QStringLiteral("WearSev"), QStringLiteral("ContamSev"),
                                QStringLiteral("ChemSev")});
    s->sampleTables_ = db.openTable(QStringLiteral("Samples"), testRecordFieldNames());
    s->sampleNumberQuery_ = db.queryDef(QStringLiteral("SampleNumberQuery"));
    s->sampleNumberRs_ = s->sampleNumberQuery_->openRecordset();
    s->references_ = db.openTable(QStringLiteral("References"));
    s->parameters_ = db.openTable(QStringLiteral("Parameters"));
    s->parmListQuery_ = db.queryDef(QStringLiteral("ParmListQuery"));
    s->parmListRs_ = s->parmListQuery_->openRecordset();
    s->sampleDetails_ = db.openTable(QStringLiteral("SampleDetails"));
    s->sampleDetailsQuery_ = db.queryDef(QStringLiteral("SampleDetailsQuery"));
    s->sampleDetailsQuery_->setParameter(0, 0);
    s->sampleDetailsRs_ = s->sampleDetailsQuery_->openRecordset();
    s->alarmSets_ = db.openTable(QStringLiteral("AlarmSets"));
    s->alarmDataQuery_ = db.queryDef(QStringLiteral("AlarmDataQuery"));
    s->alarmDataQuery_->setParameter(0, 0);
    s->alarmDataRs_ = s->alarmDataQuery_->openRecordset();
    s->alarmData_ = db.openTable(QStringLiteral("AlarmData"));
    s->defaults_ = db.openTable(QStringLiteral("Defaults"));
    // The query record sets must really exist: read them once now, so a
    // broken query fails the open instead of the first test.
    s->sampleDetailsRs_->eof();
    s->alarmDataRs_->eof();
    s->parmListRs_->eof();
    s->loadCatalogue();
    status = OpenStatus::Opened;
    return s;
}

void SampleDatabase::loadCatalogue()
{
    catalogue_ = ParameterCatalogue{};
    Recordset& p = *parameters_;
    p.moveLast();
    const int count = p.recordCount();
    p.moveFirst();
    for (int i = 0; i < count && !p.eof(); ++i, p.moveNext()) {
        const int id = int(p.value(QStringLiteral("ParmID")).toLongLong());
        if (id >= 1000)
            continue;
        if (!catalogue_.has(id))
            throw DbError(SubscriptOutOfRange,
                          QStringLiteral("Subscript out of range (parameter %1 outside %2..%3)")
                              .arg(id).arg(ParameterCatalogue::First).arg(ParameterCatalogue::Last));
        const size_t k = size_t(id - ParameterCatalogue::First);
        catalogue_.generic[k] = p.value(QStringLiteral("Generic")).toString();
        catalogue_.format[k] = p.value(QStringLiteral("Format")).toString();
        catalogue_.description[k] = p.value(QStringLiteral("ParmDescription")).toString();
    }
}

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
        if (parmId == Parm::DielectricChange || parmId == Parm::ViscosityChange) {
            if (value == NoValue) {
                if (sampleDetails_->seek({sampleId, parmId}))
                    sampleDetails_->deleteRecord();
                return;
            }
        } else if (value < 0) {
            value = 0;
        }
        const short level = IsFlagParameter(parmId) ? FlagSeverity(value) : GetSeverity(sampleId, value, parmId);
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
    for (size_t i = 0; i < StoredParms.size(); ++i) {
        const short parmId = StoredParms[i];
        StoreRules::Judging& j = r.parms[i];
        trap("SaveParameterData ", [&] {
            trap("GetSeverity", [&] {
                const bool known = parameters_->seek({parmId});
                const bool alarmed = known && parameters_->value(QStringLiteral("ParmAlarm")).toLongLong() != 0;
                j.judged = known && (alarmed || IsFlagParameter(parmId));
                if (j.judged)
                    j.type = int(parameters_->value(QStringLiteral("ParmType")).toLongLong());
                if (alarmed && !IsFlagParameter(parmId))
                    j.limits = alarmLimits(r.alarm, parmId);
            });
        });
    }
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
        float value = values[i];
        if (parmId == Parm::DielectricChange) {
            if (value == NoValue)
                continue;
        } else if (value < 0) {
            value = 0;
        }
        const StoreRules::Judging& j = rules.parms[i];
        short level = 0;
        if (IsFlagParameter(parmId))
            level = FlagSeverity(value);
        else if (j.limits)
            level = CalculateSeverity(value, (*j.limits)[0], (*j.limits)[1], (*j.limits)[2], (*j.limits)[3]);
        if (j.judged) {
            if (j.type < 0 || j.type > 3)
                throw RoutineFailure{QStringLiteral("UpdateTriFold "), SubscriptOutOfRange,
                                     QStringLiteral("Subscript out of range (ParmType %1)").arg(j.type)};
            t.worst[size_t(j.type)] = std::max(t.worst[size_t(j.type)], level);
        }
        t.stored |= 1u << i;
        t.details[t.count++] = {parmId, value, level};
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
qint32 SampleDatabase::StoreTestResult(const TestRecord& record, const QDateTime& now)
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
            values << double(LevelToAxisValue(judged.worst[size_t(axis)]));
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

// --- Alarm evaluation ---

short SampleDatabase::GetSeverity(qint32 sampleId, float value, short parmId)
{
    return trap("GetSeverity", [&]() -> short {
        // A sample that does not exist has no limits: level 0, no error. An
        // existing sample without an alarm set is an error (reported).
        if (!samples_->seek({sampleId}))
            return short(0);
        return severityFor(samples_->value(QStringLiteral("AlarmID")), value, parmId);
    });
}

short SampleDatabase::severityFor(const QVariant& alarmId, float value, short parmId)
{
    return trap("GetSeverity", [&]() -> short {
        bool alarmed = false;
        if (parameters_->seek({parmId}))
            alarmed = parameters_->value(QStringLiteral("ParmAlarm")).toLongLong() != 0;
        return alarmed ? alarmSetLevel(alarmId, value, parmId) : short(0);
    });
}

std::optional<SampleDatabase::Limits> SampleDatabase::alarmLimits(qint32 alarmId, short parmId)
{
    if (!alarmData_->seek({alarmId, parmId}))
        return std::nullopt;
    Recordset& a = *alarmData_;
    return Limits{toSingle(a.value(QStringLiteral("HighNormal"))), toSingle(a.value(QStringLiteral("Alert"))),
                  toSingle(a.value(QStringLiteral("Alarm"))), toSingle(a.value(QStringLiteral("Extreme")))};
}

short SampleDatabase::alarmSetLevel(const QVariant& alarmId, float value, short parmId)
{
    return trap("GetSeverity", [&]() -> short {
        const auto l = alarmLimits(toLong(alarmId, "AlarmID"), parmId);
        return l ? CalculateSeverity(value, (*l)[0], (*l)[1], (*l)[2], (*l)[3]) : short(0);
    });
}

void SampleDatabase::UpdateTriFold(qint32 sampleId)
{
    trap("UpdateTriFold ", [&] {
        std::array<short, 4> worst{};
        Recordset& p = *parameters_;
        for (p.moveFirst(); !p.eof(); p.moveNext()) {
            const short parmId = short(p.value(QStringLiteral("ParmID")).toLongLong());
            const bool alarmed = p.value(QStringLiteral("ParmAlarm")).toLongLong() != 0;
            if (!alarmed && !IsFlagParameter(parmId))
                continue;
            const int type = int(p.value(QStringLiteral("ParmType")).toLongLong());
            if (!sampleDetails_->seek({sampleId, parmId}))
                continue;
            if (type < 0 || type > 3)
                throw DbError(SubscriptOutOfRange, QStringLiteral("Subscript out of range (ParmType %1)").arg(type));
            const short level = short(sampleDetails_->value(QStringLiteral("Severity")).toLongLong());
            if (level > worst[size_t(type)])
                worst[size_t(type)] = level;
        }
        if (!samples_->seek({sampleId}))
            throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record (sample %1).").arg(sampleId));
        samples_->edit();
        samples_->setValue(QStringLiteral("WearSev"), LevelToAxisValue(worst[Axis::Wear]));
        samples_->setValue(QStringLiteral("ContamSev"), LevelToAxisValue(worst[Axis::Contamination]));
        samples_->setValue(QStringLiteral("ChemSev"), LevelToAxisValue(worst[Axis::Chemistry]));
        samples_->update();
    });
}

void SampleDatabase::RecalculateAlarms(qint32 sampleId)
{
    trap("RecalculateAlarms ", [&] {
        sampleDetailsQuery_->setParameter(0, sampleId);
        Recordset& rs = *sampleDetailsRs_;
        rs.requery();
        if (!rs.eof()) {
            for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
                const short parmId = short(rs.value(QStringLiteral("ParmID")).toLongLong());
                const float value = toSingle(rs.value(QStringLiteral("Value")));
                const short level = IsFlagParameter(parmId) ? FlagSeverity(value) : GetSeverity(sampleId, value, parmId);
                if (sampleDetails_->seek({sampleId, parmId})
                    && short(sampleDetails_->value(QStringLiteral("Severity")).toLongLong()) != level) {
                    sampleDetails_->edit();
                    sampleDetails_->setValue(QStringLiteral("Severity"), level);
                    sampleDetails_->update();
                }
            }
        }
        UpdateTriFold(sampleId);
    });
}

// --- Assignments ---

SampleDatabase::SampleRef SampleDatabase::FindSample(qint32 sampleId)
{
    return trap("FindSample", [&] {
        SampleRef r;
        if (!samples_->seek({sampleId}))
            return r;
        r.found = true;
        r.number = samples_->value(QStringLiteral("SampleNum")).toString();
        if (r.number.isEmpty())
            r.number = QString::number(sampleId);
        r.refId = qint32(samples_->value(QStringLiteral("RefID")).toLongLong());
        r.alarmId = qint32(samples_->value(QStringLiteral("AlarmID")).toLongLong());
        r.customerId = samples_->value(QStringLiteral("CustomerID"));
        return r;
    });
}

void SampleDatabase::SetAlarm(qint32 sampleId, qint32 alarmId)
{
    trap("SetAlarm ", [&] {
        if (!samples_->seek({sampleId}))
            return;
        samples_->edit();
        samples_->setValue(QStringLiteral("AlarmID"), alarmId);
        samples_->update();
        RecalculateAlarms(sampleId);
    });
}

void SampleDatabase::SetReference(qint32 sampleId, qint32 refId, float refDielectric)
{
    trap("SetRef ", [&] {
        if (!samples_->seek({sampleId}))
            return;
        samples_->edit();
        samples_->setValue(QStringLiteral("RefID"), refId);
        samples_->setValue(QStringLiteral("RefDielectric"), refDielectric);
        samples_->update();
        const float dielectric = DetailValue(sampleId, Parm::Dielectric);
        const float viscosity = DetailValue(sampleId, Parm::Viscosity);
        CompareResult cmp = CompareToReference(sampleId, dielectric, viscosity);
        SaveParameterData(sampleId, cmp.dielectricChange, Parm::DielectricChange);
        SaveParameterData(sampleId, cmp.viscosityChange, Parm::ViscosityChange);
        RecalculateAlarms(sampleId);
    });
}

void SampleDatabase::SetCustomer(qint32 sampleId, qint32 customerId)
{
    trap("SetCustomer ", [&] {
        if (!samples_->seek({sampleId}))
            return;
        samples_->edit();
        samples_->setValue(QStringLiteral("CustomerID"), customerId);
        samples_->update();
    });
}

void SampleDatabase::ViscosityChanged(qint32 sampleId, float dielectric, float viscosity)
{
    CompareResult cmp = CompareToReference(sampleId, dielectric, viscosity);
    SaveParameterData(sampleId, cmp.viscosityChange, Parm::ViscosityChange);
}

float SampleDatabase::DetailValue(qint32 sampleId, short parmId)
{
    return trap("DetailValue", [&] {
        return sampleDetails_->seek({sampleId, parmId}) ? toSingle(sampleDetails_->value(QStringLiteral("Value"))) : 0.0f;
    });
}

// --- Template and listing ---

QString templatePath()
{
    const QString name = QStringLiteral("DBquorqc.tpl");
    const QString inProgramFolder = programFile(name);
    if (QFileInfo::exists(inProgramFolder))
        return inProgramFolder;
    if (QCoreApplication::instance()) {
        const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
        if (QFileInfo::exists(beside))
            return beside;
    }
    return inProgramFolder;
}

QString ListSamples(Database& db, int limit)
{
    const QString sql = QStringLiteral(
        "SELECT s.SampleID, s.SampleNum, s.SampleDate, d58.Value, d59.Value, d60.Value,"
        " s.WearSev, s.ContamSev, s.ChemSev FROM Samples s"
        " LEFT JOIN SampleDetails d58 ON d58.SampleID = s.SampleID AND d58.ParmID = 58"
        " LEFT JOIN SampleDetails d59 ON d59.SampleID = s.SampleID AND d59.ParmID = 59"
        " LEFT JOIN SampleDetails d60 ON d60.SampleID = s.SampleID AND d60.ParmID = 60"
        " ORDER BY s.SampleID DESC%1").arg(limit > 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString());
    QSqlQuery q(db.connection());
    if (!q.exec(sql))
        throw DbError(DbErr::Generic, QStringLiteral("Cannot list samples."));
    auto num = [](const QVariant& v, int decimals) {
        return v.isNull() ? QStringLiteral("-") : QString::number(v.toDouble(), 'f', decimals);
    };
    QStringList lines;
    while (q.next()) {
        const QDateTime date = q.value(2).toDateTime();
        lines.prepend(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                          .arg(q.value(1).toString(), -8)
                          .arg(date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("-"), -19)
                          .arg(num(q.value(3), 2), 10)
                          .arg(num(q.value(4), 1), 8)
                          .arg(num(q.value(5), 2), 6)
                          .arg(num(q.value(6), 0), 5)
                          .arg(num(q.value(7), 0), 6)
                          .arg(num(q.value(8), 0), 5));
    }
    lines.prepend(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                      .arg(QStringLiteral("Sample#"), -8)
                      .arg(QStringLiteral("Date"), -19)
                      .arg(QStringLiteral("Dielectric"), 10)
                      .arg(QStringLiteral("Ferrous"), 8)
                      .arg(QStringLiteral("Water"), 6)
                      .arg(QStringLiteral("Wear"), 5)
                      .arg(QStringLiteral("Contam"), 6)
                      .arg(QStringLiteral("Chem"), 5));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString ListSamplesInFile(const QString& path, int limit)
{
    try {
        auto db = Database::open(path);
        return ListSamples(*db, limit);
    } catch (const DbError& e) {
        return QStringLiteral("Cannot list samples of %1: %2\n").arg(path, e.description());
    }
}

} // namespace qqc::db
