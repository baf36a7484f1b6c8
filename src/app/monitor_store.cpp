// The main window's database handlers: opening and creating databases,
// storing a test as a sample, and the sample events of the grid and editors.
// Each command that writes runs in one transaction, so a failure (reported
// as "Error n(text) in routine: name") never leaves half of it stored.
#include "app/monitor.h"

#include "core/record.h"
#include "db/database_copy.h"
#include "db/jet_staging.h"
#include "db/sample_database.h"
#include "db/server_uri.h"
#include "util/common.h"
#include "util/program_folder.h"
#include "util/prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qqc {

namespace {

const QString kSelection = QStringLiteral("Database Selection");
const QString kFilter = QStringLiteral("Databases (*.mdb);;All Files (*)");

bool samePath(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (db::isServerUri(a) || db::isServerUri(b))
        return db::displayUri(a) == db::displayUri(b);
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

// Runs one database command in a transaction; failures are shown with the
// routine name and roll the whole command back. Returns whether it committed.
template <class F>
bool inTransaction(db::SampleDatabase& s, const QString& routine, F&& work)
{
    try {
        db::Transaction t(s.database());
        work();
        t.commit();
        return true;
    } catch (const db::RoutineFailure& f) {
        ShowRoutineError(f.number, f.description, f.routine);
    } catch (const db::DbError& e) {
        ShowRoutineError(e.number(), e.description(), routine);
    }
    return false;
}

// The template every new database is copied from. Opened as a database it
// would take the tests stored in it, and every database created afterwards
// would start with them.
bool isTemplate(const QString& path)
{
    return samePath(path, db::templatePath()) || samePath(path, programFile(QStringLiteral("DBquorqc.tpl")));
}

// The journal a new database keeps, set once here and never at open: the
// rollback journal, which every station can share, or the write-ahead log
// when the settings ask for it and the file is on a local disk.
void setNewDatabaseJournal(const QString& path, bool wal, const db::OpenOptions& options)
{
    const auto& probe = options.fileSystem ? options.fileSystem : db::FileSystemProbe(db::probeFileSystem);
    const bool local = probe(QFileInfo(path).absolutePath()) == db::FileSystemKind::Local;
    const auto mode = wal && local ? db::JournalMode::Wal : db::JournalMode::Rollback;
    if (db::readFileHeader(path).journal != mode)
        db::Database::setJournal(path, mode, options);
}

void refuseTemplate()
{
    MessageBoxEx(QStringLiteral(" This Database may not be opened!|Please select another, or create a new one. "),
                 MsgStyle::Ok, QString(), kSelection);
}

} // namespace

QString Monitor::databaseTitle() const
{
    return QStringLiteral("QuorvelQC Monitor - ") + (sampleDb_ ? dbPath_ : QStringLiteral("No Current Database"));
}

void Monitor::releaseDatabase()
{
    if (!sampleDb_)
        return;
    // Windows drop their cursors before the file is released.
    emit databaseOpened(nullptr);
    sampleDb_.reset();
}

void Monitor::closeDatabase() { releaseDatabase(); }

int Monitor::OpenSampleDatabase(const QString& path)
{
    setCurrentSampleId(-1);
    QString folder, fileName;
    SplitPath(path, folder, fileName);
    releaseDatabase();
    awaitedServer_.clear();
    int failure = 0;
    QString reason;
    try {
        if (isTemplate(path))
            throw db::DbError(db::DbErr::Generic, QStringLiteral("The template is not a sample database."));
        if (db::isJetFile(path))
            return openJetDatabase(path);
        auto status = db::SampleDatabase::OpenStatus::Opened;
        auto opened = db::SampleDatabase::open(path, status, openOptions_);
        if (status == db::SampleDatabase::OpenStatus::NeedsUpgrade) {
            if (!upgrader_) {
                // Old layouts are converted by the upgrade window; without it
                // the file is left exactly as it is.
                MessageBoxEx(QStringLiteral(" This Database has an older layout and must be upgraded before it "
                                            "can be opened:| $ "),
                             MsgStyle::Exclamation, path, kSelection);
                dbPath_.clear();
                emit databasePathChanged(QString());
                return 1;
            }
            upgrading_ = path;
            const UpgradeOutcome outcome = upgrader_(db::templatePath(), path, folder);
            upgrading_.clear();
            if (outcome == UpgradeOutcome::EndProgram) {
                emit shutdownRequested();
                return 1;
            }
            if (outcome == UpgradeOutcome::NotUpgraded) {
                // The upgrade said why; the file stays the remembered
                // database and is offered the upgrade again at the next start.
                stdError().TPrint(QStringLiteral("OpenSampleDatabase %1: not upgraded").arg(path));
                dbPath_.clear();
                emit databasePathChanged(QString());
                return 1;
            }
            opened = db::SampleDatabase::open(path, status, openOptions_);
            if (status != db::SampleDatabase::OpenStatus::Opened)
                throw db::DbError(db::DbErr::Generic, QStringLiteral("The upgrade left an old layout."));
        }
        sampleDb_ = std::move(opened);
        // A server address is shown and remembered without its password.
        dbPath_ = db::displayUri(path);
        emit databasePathChanged(dbPath_);
        emit databaseOpened(&sampleDb_->database());
        // What the spool keeps for this database is stored now.
        resumeSpool();
        return 0;
    } catch (const db::DbError& e) {
        stdError().TPrint(QStringLiteral("OpenSampleDatabase %1: %2 %3").arg(db::displayUri(path)).arg(e.number()).arg(e.description()));
        failure = e.number();
        reason = e.description();
    }
    // Every failure takes the same path, but a file that is sound and only
    // held by another station stays the remembered database: it opens at the
    // next start once the other station lets go.
    emit databasePathChanged(QString());
    // So does a server database that could not be reached (down for a
    // moment, or the network): every station would otherwise forget the lab.
    const bool held = failure == db::DbErr::FileInUse || failure == db::DbErr::WalOnShare
        || (db::isServerUri(path) && (failure == db::DbErr::ServerUnavailable || failure == db::DbErr::DiskIo));
    if (failure == db::DbErr::WalOnShare) {
        MessageBoxEx(QStringLiteral(" $ keeps the write-ahead log, which a station on a network share cannot use. |"
                                    " Close it on every other station, then open it here again: it is then "
                                    "switched back to the rollback journal. "),
                     MsgStyle::Ok, path, kSelection);
        dbPath_.clear();
    } else if (dbPath_.isEmpty() && db::isServerUri(path)) {
        // A server says why (unreachable, login refused, another layout);
        // its texts never hold the password.
        const QString shown = db::displayUri(path);
        reason.remove(QStringLiteral("Could not open the database %1: ").arg(shown));
        MessageBoxItems(QStringLiteral(" Cannot open Database: $| $"), MsgStyle::Ok, {shown, reason.trimmed()},
                        kSelection);
    } else if (dbPath_.isEmpty()) {
        MessageBoxEx(QStringLiteral(" Cannot open Database: $"), MsgStyle::Ok, db::displayUri(path), kSelection);
    } else {
        MessageBoxEx(QStringLiteral(" This Database may not be opened! | Please select another, or create a new one. "),
                     MsgStyle::Ok, QString(), kSelection);
        dbPath_.clear();
    }
    if (!held)
        DatabaseSettings::writeFile(iniFile(), QString());
    // A server that did not answer is waited for; one that answered and
    // refused (the login, the password, the database) is not asked again.
    if (db::isServerUri(path) && held && failure != db::DbErr::FileInUse
        && !(reason.contains(QLatin1String("FATAL")) && !reason.contains(QLatin1String("the database system is")))) {
        awaitedServer_ = path;
        databaseProblem_ = QStringLiteral("the server does not answer");
        updateStoreOutage();
    }
    return 1;
}

void Monitor::mnuDBOpen_Click()
{
    try {
        FileDialogRequest request;
        request.title = QStringLiteral("Select Database");
        request.folder = programFolder();
        request.filter = kFilter;
        request.serverAddress = true;
        const QString name = prompter().openFileName(request);
        if (name.isEmpty())
            return;
        if (sampleDb_ && samePath(name, dbPath_)) {
            MessageBoxEx(QStringLiteral(" Database already open! "));
            return;
        }
        if (isTemplate(name)) {
            refuseTemplate();
            return;
        }
        if (OpenSampleDatabase(name) == 0)
            DatabaseSettings::writeFile(iniFile(), dbPath_);
    } catch (const std::exception& e) {
        ShowRoutineError(5, QString::fromLocal8Bit(e.what()), QStringLiteral("mnuDBOpen_Click"));
    }
}

void Monitor::mnuCreateDB_Click()
{
    static const QString routine = QStringLiteral("mnuCreatNewDataBase");
    try {
        FileDialogRequest request;
        request.title = QStringLiteral("Select Name for New Database");
        request.folder = programFolder();
        request.filter = kFilter;
        request.serverAddress = true;
        QString name = prompter().saveFileName(request);
        if (name.isEmpty())
            return;
        if (db::isServerUri(name)) {
            createServerDatabase(name);
            return;
        }
        // A name typed without an extension gets ".mdb", as file dialogs do
        // elsewhere, so the "*.mdb" lists find the new file later.
        if (QFileInfo(name).suffix().isEmpty())
            name += QLatin1String(".mdb");
        if (QFileInfo::exists(name)) {
            MessageBoxEx(QStringLiteral("Database already exists! "));
            return;
        }
        if (sampleDb_ && samePath(name, dbPath_))
            return;
        const QString templ = db::templatePath();
        if (isTemplate(name)) {
            refuseTemplate();
            return;
        }
        if (!QFileInfo::exists(templ)) {
            ShowRoutineError(53, QStringLiteral("File not found: ") + templ, routine);
            return;
        }
        // The copy is made writable: an installed (read-only) template must
        // still give a database the program can store tests in.
        if (!QFile::copy(templ, name)) {
            ShowRoutineError(75, QStringLiteral("Path/File access error: ") + name, routine);
            return;
        }
        QFile::setPermissions(name, QFile::permissions(name) | QFile::ReadOwner | QFile::WriteOwner);
        try {
            setNewDatabaseJournal(name, DatabaseSettings::newDatabasesUseWal(iniFile()), openOptions_);
        } catch (const db::DbError& e) {
            ShowRoutineError(e.number(), e.description(), routine);
        }
        if (OpenSampleDatabase(name) == 0)
            DatabaseSettings::writeFile(iniFile(), name);
        setCurrentSampleId(-1);
    } catch (const std::exception& e) {
        ShowRoutineError(5, QString::fromLocal8Bit(e.what()), routine);
    }
}

void Monitor::createServerDatabase(const QString& address)
{
    // The layout goes into an empty server database; one that holds tables
    // (ours or another program's) is refused, untouched, saying which.
    const QString templ = db::templatePath();
    if (!QFileInfo::exists(templ)) {
        ShowRoutineError(53, QStringLiteral("File not found: ") + templ, QStringLiteral("mnuCreatNewDataBase"));
        return;
    }
    if (sampleDb_ && samePath(address, dbPath_)) {
        MessageBoxEx(QStringLiteral("Database already exists! "));
        return;
    }
    try {
        db::createServerDatabase(address, templ);
    } catch (const db::DbError& e) {
        stdError().TPrint(QStringLiteral("mnuCreatNewDataBase %1: %2 %3").arg(db::displayUri(address)).arg(e.number()).arg(e.description()));
        MessageBoxEx(QStringLiteral(" Cannot create the Database: | $ "), MsgStyle::Exclamation, e.description(), kSelection);
        return;
    }
    // Remembered without a typed password (dbPath_ is the shown form).
    if (OpenSampleDatabase(address) == 0)
        DatabaseSettings::writeFile(iniFile(), dbPath_);
    setCurrentSampleId(-1);
}

void Monitor::openDatabaseAtStartup()
{
    const QString path = DatabaseSettings::readFile(iniFile());
    if (path.isEmpty()) {
        mnuDBOpen_Click();
    } else if (db::isServerUri(path) || QFileInfo(path).isFile()) {
        OpenSampleDatabase(path);
    } else if (!QDir(programFolder()).entryList({QStringLiteral("*.mdb")}, QDir::Files).isEmpty()) {
        mnuDBOpen_Click();
    } else {
        mnuCreateDB_Click();
    }
}

void Monitor::fDataFrm_SelFromGrid(qint32 sampleId)
{
    setCurrentSampleId(sampleId);
    if (!sampleDb_)
        return;
    try {
        const auto sample = sampleDb_->findSample(sampleId);
        if (!sample.found)
            return;
        if (windowOpen(ReferenceWindow))
            emit markReference(sample.refId);
        if (windowOpen(AlarmWindow))
            emit markAlarmSet(sample.alarmId);
        if (windowOpen(ReportWindow))
            emit showReportSample(sampleId);
        if (windowOpen(CustomerWindow))
            emit markCustomer(sample.customerId.isNull() ? 0 : sample.customerId.toInt());
        if (windowOpen(ChartWindow)) {
            TestRecord stored = currentTestRecord();
            if (sampleDb_->LoadTestRecord(sampleId, stored))
                setCurrentTestRecord(stored);
            // An imported sample has empty test fields: loading leaves the
            // previous readings in place, which the chart must not show as
            // this sample's.
            TestRecord own;
            sampleDb_->LoadTestRecord(sampleId, own);
            chartSampleWithoutRecord_ = own.raw8700[0] == 0 ? sample.number : QString();
            emit reloadChart();
        }
    } catch (const db::RoutineFailure& f) {
        ShowRoutineError(f.number, f.description, QStringLiteral("fDataFrm_SelFromGrid"));
    }
}

void Monitor::fDataFrm_RecalculateAlarms(qint32 sampleId)
{
    if (!sampleDb_)
        return;
    if (!inTransaction(*sampleDb_, QStringLiteral("RecalculateAlarms "), [&] { sampleDb_->RecalculateAlarms(sampleId); }))
        return;
    if (windowOpen(DataWindow))
        emit sampleChanged(sampleId);
    emit sampleEdited(sampleId);
}

void Monitor::fDataFrm_ViscChg(qint32 sampleId, float dielectric, float viscosity)
{
    if (!sampleDb_)
        return;
    if (inTransaction(*sampleDb_, QStringLiteral("SaveParameterData "),
                      [&] { sampleDb_->viscosityChanged(sampleId, dielectric, viscosity); }))
        emit sampleEdited(sampleId);
}

void Monitor::fAlarmFrm_SetAlarm(qint32 alarmId)
{
    if (currentSampleId() < 1) {
        MessageBoxEx(QStringLiteral("Please select a sample before assigning an Alarm Set. "));
        return;
    }
    if (!sampleDb_)
        return;
    const qint32 id = currentSampleId();
    db::SampleDatabase::SampleRef sample;
    if (!inTransaction(*sampleDb_, QStringLiteral("SetAlarm "), [&] { sample = sampleDb_->findSample(id); })
        || !sample.found)
        return;
    const QString prompt = alarmId < 1 ? QStringLiteral("Clearing Alarm ID for Sample Number: ")
                                       : QStringLiteral("Assigning Alarm ID for Sample Number: ");
    if (prompter().message(prompt + sample.number, MsgStyle::OkCancel, QString()) != Answer::Ok)
        return;
    if (!inTransaction(*sampleDb_, QStringLiteral("SetAlarm "), [&] { sampleDb_->setAlarm(id, alarmId); }))
        return;
    if (windowOpen(DataWindow))
        emit sampleChanged(id);
    emit sampleEdited(id);
}

void Monitor::fReferenceFrm_SetRef(qint32 refId, float refDielectric)
{
    if (currentSampleId() < 1) {
        MessageBoxEx(QStringLiteral("Please select a sample before assigning a reference oil. "), MsgStyle::Ok,
                     QString(), QStringLiteral("Assigning a Reference Oil to a Sample"));
        return;
    }
    if (!sampleDb_)
        return;
    const qint32 id = currentSampleId();
    db::SampleDatabase::SampleRef sample;
    if (!inTransaction(*sampleDb_, QStringLiteral("SetRef "), [&] { sample = sampleDb_->findSample(id); })
        || !sample.found)
        return;
    const QString prompt = refId < 1 ? QStringLiteral("Clearing Reference ID for Sample Number: ")
                                     : QStringLiteral("Assigning Reference ID for Sample Number: ");
    if (prompter().message(prompt + sample.number, MsgStyle::OkCancel, QString()) != Answer::Ok)
        return;
    if (!inTransaction(*sampleDb_, QStringLiteral("SetRef "), [&] { sampleDb_->setReference(id, refId, refDielectric); }))
        return;
    if (windowOpen(DataWindow))
        emit sampleChanged(id);
    emit sampleEdited(id);
}

void Monitor::fCustomerFrm_SetCustomer(qint32 customerId)
{
    if (currentSampleId() < 1) {
        MessageBoxEx(QStringLiteral("Please select a sample before assigning a Customer. "));
        return;
    }
    if (!sampleDb_)
        return;
    const qint32 id = currentSampleId();
    db::SampleDatabase::SampleRef sample;
    if (!inTransaction(*sampleDb_, QStringLiteral("SetCustomer "), [&] { sample = sampleDb_->findSample(id); })
        || !sample.found)
        return;
    const QString prompt = customerId < 1 ? QStringLiteral("Clearing Customer for Sample Number: ")
                                          : QStringLiteral("Assigning Customer for Sample Number: ");
    if (prompter().message(prompt + sample.number, MsgStyle::OkCancel, QString()) != Answer::Ok)
        return;
    if (!inTransaction(*sampleDb_, QStringLiteral("SetCustomer "), [&] { sampleDb_->setCustomer(id, customerId); }))
        return;
    if (windowOpen(ReportWindow))
        emit showReportSample(id);
    emit sampleEdited(id);
}

void Monitor::fReportFrm_RefreshData(qint32 sampleId)
{
    if (windowOpen(DataWindow))
        emit sampleChanged(sampleId);
    emit sampleEdited(sampleId);
}

void Monitor::gridSampleEdited(qint32 sampleId) { emit sampleEdited(sampleId); }

void Monitor::gridSamplesDeleted(const QList<qint32>& sampleIds)
{
    for (qint32 id : sampleIds) {
        if (id == currentSampleId())
            setCurrentSampleId(0);
        emit sampleDeleted(id);
    }
}

} // namespace qqc
