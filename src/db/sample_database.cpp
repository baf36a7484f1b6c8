#include "db/routine_trap.h"

#include "core/record.h"
#include "util/program_folder.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace qqc::db {

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
    // New samples are written with the store's own statement, but the
    // layout's query for adding them is part of a sound file.
    db.queryDef(QStringLiteral("SampleNumberQuery"))->openRecordset();
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

// --- Template ---

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

} // namespace qqc::db
