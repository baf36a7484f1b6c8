#include "db/routine_trap.h"
#include "db/sample_notices.h"
#include "db/server_uri.h"

#include "core/record.h"
#include "util/program_folder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace qqc::db {

// --- Open ---

namespace {

// Between two tries of an open that found the file locked.
constexpr int LockRetryStepMs = 200;

// A connection that cannot change the file, for the check before it is used.
// Two files need another: a write-ahead-log file on a share is read on a
// connection that holds it alone (WalOnShare while another station has it
// open: that station must close it first), and a file with a hot journal
// left by a crashed writer is first brought back to its last commit by a
// read-write connection, as SQLite does on any first read.
std::unique_ptr<Database> checkingConnection(const QString& path, const OpenOptions& options, bool& walOnShare)
{
    OpenOptions check = options;
    check.access = OpenOptions::Access::ReadOnly;
    walOnShare = false;
    try {
        return Database::open(path, check);
    } catch (const DbError& e) {
        if (e.number() == DbErr::ReadOnly && QFileInfo::exists(path + QLatin1String("-journal"))) {
            Database::open(path, options);
            return Database::open(path, check);
        }
        if (e.number() != DbErr::WalOnShare)
            throw;
    }
    walOnShare = true;
    check.access = OpenOptions::Access::Exclusive;
    try {
        return Database::open(path, check);
    } catch (const DbError& e) {
        if (e.number() == DbErr::FileInUse)
            throw DbError(DbErr::WalOnShare, QStringLiteral("'%1' keeps the write-ahead log and another station has it "
                                                            "open.").arg(path));
        throw;
    }
}

} // namespace

std::unique_ptr<SampleDatabase> SampleDatabase::open(const QString& path, OpenStatus& status,
                                                     const OpenOptions& options)
{
    // Another station in the middle of a write locks the file for a moment:
    // the open tries again for a few seconds before it gives up.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        try {
            return openOnce(path, status, options);
        } catch (const DbError& e) {
            if (e.number() != DbErr::FileInUse || waited.elapsed() >= options.lockRetryMs)
                throw;
        }
        QThread::msleep(LockRetryStepMs);
    }
}

std::unique_ptr<SampleDatabase> SampleDatabase::openOnce(const QString& path, OpenStatus& status,
                                                         const OpenOptions& options)
{

    // The check, on a connection that cannot write: a foreign file, an old
    // layout or a broken one is refused with every byte as it was.
    {
        bool walOnShare = false;
        std::unique_ptr<SampleDatabase> check(new SampleDatabase);
        check->db_ = checkingConnection(path, options, walOnShare);
        // A server database of another layout (or none): said plainly, and
        // (read only on this connection) left as it was.
        if (check->db_->onServer() && !check->db_->hasTable(QStringLiteral("SystemData")))
            throw DbError(DbErr::NotADatabase,
                          QStringLiteral("%1 holds no sample database of this program; it was left untouched.")
                              .arg(check->db_->path()));
        if (!check->attach()) {
            status = OpenStatus::NeedsUpgrade;
            return nullptr;
        }
        // A sound file in the write-ahead log on a share goes back to the
        // rollback journal while this connection still holds it alone.
        if (walOnShare) {
            std::unique_ptr<Database> alone = std::move(check->db_);
            check.reset();
            alone->setStoredJournal(JournalMode::Rollback);
        }
    }
    std::unique_ptr<SampleDatabase> s(new SampleDatabase);
    s->db_ = Database::open(path, options);
    if (!s->attach()) {
        status = OpenStatus::NeedsUpgrade;
        return nullptr;
    }
    // A server database made before the live view announces new samples
    // from now on.
    if (options.access != OpenOptions::Access::ReadOnly)
        ensureSampleNotices(*s->db_);
    status = OpenStatus::Opened;
    return s;
}

// Reads the layout version and opens the shared cursors and queries: every
// table and query the program needs must be there. False for an old layout
// (nothing further opened).
bool SampleDatabase::attach()
{
    Database& db = *db_;
    SampleDatabase* s = this;
    // The version first, with a plain read: an older layout's tables need
    // not have today's keys, which the cursors below rely on.
    if (!db.hasTable(QStringLiteral("SystemData")))
        throw DbError(DbErr::ObjectNotFound, QStringLiteral("Could not find table 'SystemData'."));
    const QVariant version = db.queryValue(QStringLiteral("SELECT Databaseversion FROM SystemData LIMIT 1"));
    if (!version.isValid())
        throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record (SystemData)."));
    s->version_ = int(version.toLongLong());
    if (s->version_ < CurrentLayoutVersion)
        return false;
    s->systemData_ = db.openTable(QStringLiteral("SystemData"));

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
    return true;
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
