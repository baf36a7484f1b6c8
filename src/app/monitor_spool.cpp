// The Monitor's spool: every test ("D") and calibration row ("C") is written
// to the spool (util/spool.h) before it is stored, and leaves it only after
// its transaction committed. While the database cannot take writes (another
// program holds the lock, the file is read-only, the disk is full) the
// entries wait, in arrival order, and a timer retries them; each retry waits
// only briefly for a lock, so the window and the link keep running. The
// outage is shown once in the frame's title and written once to the log, not
// as a box per failure. When the spool itself cannot be written, the entry
// is kept in memory and both the spool and the store are retried.
//
// An entry found in the folder (left by an earlier run) may have been
// committed just before a crash took its writer: the store recognises a test
// it already holds (same arrival date and raw readings; a calibration row by
// its date and counts), so such an entry is never stored twice. An entry of
// this run leaves the queue only after its own commit, so it needs no check
// unless a store of it failed: a server may have committed it and lost only
// the reply.
// An entry goes only into the database it was measured for; one for another
// database waits until that database is opened.

#include "app/monitor.h"

#include "core/record.h"
#include "db/sample_database.h"
#include "db/server_uri.h"
#include "util/common.h"
#include "util/ole_date.h"
#include "util/prompter.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>

namespace qqc {

namespace {

// How long a store waits for another program's lock before the entry waits
// for the timer, and how often the timer retries.
constexpr int StoreLockWaitMs = 100;
constexpr int RetryIntervalMs = 1000;
// An awaited server is asked every this many retries.
constexpr int ProbeEveryRetries = 3;

const QString kTest = QStringLiteral("D");
const QString kCalibration = QStringLiteral("C");

QString fileIdentity(const QString& path)
{
    // A server address names the same database from any working folder.
    if (db::isServerUri(path))
        return db::displayUri(path);
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

SpoolEntry testEntry(const TestRecord& record, const QString& database, const QDateTime& arrival)
{
    SpoolEntry e{kTest, fileIdentity(database), arrival, {}, {}, false};
    for (const QString& field : testRecordFieldNames())
        e.fields.append({field, testRecordFieldText(record, field)});
    return e;
}

TestRecord testOf(const SpoolEntry& entry)
{
    TestRecord record;
    for (const auto& [field, text] : entry.fields)
        setTestRecordFieldText(record, field, text);
    return record;
}

SpoolEntry calibrationEntry(const CalRecord& record, const QString& database)
{
    return {kCalibration,
            fileIdentity(database),
            QDateTime::currentDateTime(),
            {{QStringLiteral("CalDate"), QString::number(record.CalDate, 'g', 17)},
             {QStringLiteral("Freq220"), QString::number(record.Freq220)},
             {QStringLiteral("Freq300"), QString::number(record.Freq300)},
             {QStringLiteral("Diel220"), QString::number(record.Diel220)},
             {QStringLiteral("Diel300"), QString::number(record.Diel300)}},
            {},
            false};
}

// Failures that pass: the file is locked, read-only or its disk full.
bool passing(int number)
{
    return number == db::DbErr::FileInUse || number == db::DbErr::ReadOnly || number == db::DbErr::DiskFull
           || number == db::DbErr::DiskIo;
}

QString entriesText(int tests, int rows)
{
    QStringList parts;
    if (tests > 0)
        parts << (tests == 1 ? QStringLiteral("1 test") : QStringLiteral("%1 tests").arg(tests));
    if (rows > 0)
        parts << (rows == 1 ? QStringLiteral("1 calibration") : QStringLiteral("%1 calibrations").arg(rows));
    return parts.join(QLatin1String(" and "));
}

// A short lock wait for one store, the connection's own afterwards.
class ShortLockWait {
public:
    ShortLockWait(db::Database& db, int ms) : db_(db)
    {
        try {
            saved_ = db_.busyTimeout();
            db_.setBusyTimeout(ms);
        } catch (const db::DbError&) {
            saved_ = -1;
        }
    }
    ~ShortLockWait()
    {
        try {
            if (saved_ >= 0)
                db_.setBusyTimeout(saved_);
        } catch (const db::DbError&) {
        }
    }
    ShortLockWait(const ShortLockWait&) = delete;
    ShortLockWait& operator=(const ShortLockWait&) = delete;

private:
    db::Database& db_;
    int saved_ = -1;
};

} // namespace

Spool& Monitor::spool()
{
    if (!spool_)
        spool_ = std::make_unique<Spool>(spoolFolder());
    return *spool_;
}

QString Monitor::frameTitle() const
{
    return storeOutage_.isEmpty() ? databaseTitle()
                                  : databaseTitle() + QStringLiteral("  [") + storeOutage_ + QLatin1Char(']');
}

bool Monitor::StoreTestResult(const TestRecord& record)
{
    if (!sampleDb_ && !spoolOnlyDatabase().isEmpty()) {
        // The database is being upgraded, or its server does not answer:
        // the test waits in the spool and is stored once it opens.
        keepAndStore(testEntry(record, spoolOnlyDatabase(), QDateTime::currentDateTime()));
        return false;
    }
    if (!sampleDb_) {
        MessageBoxEx(QStringLiteral("    Please open a Database!    "), MsgStyle::Ok, QString(),
                     QStringLiteral("No Database Selected"));
        return false;
    }
    const qint32 previous = currentSampleId();
    setCurrentSampleId(-1);
    bool waits = false;
    const qint32 id = keepAndStore(testEntry(record, dbPath_, QDateTime::currentDateTime()), &waits);
    if (id > 0) {
        setCurrentSampleId(id);
        if (windowOpen(DataWindow))
            emit sampleAdded(id);
        return true;
    }
    // A test that waits has changed nothing yet: the current sample stays.
    if (waits)
        setCurrentSampleId(previous);
    return false;
}

void Monitor::appendCalibrationRow(const CalRecord& record)
{
    if (!sampleDb_ && !spoolOnlyDatabase().isEmpty()) {
        keepAndStore(calibrationEntry(record, spoolOnlyDatabase()));
        return;
    }
    if (!sampleDb_)
        return;  // no database open: the definition file still holds the calibration
    keepAndStore(calibrationEntry(record, dbPath_));
}

qint32 Monitor::keepAndStore(SpoolEntry entry, bool* waits)
{
    QString error;
    if (spool().write(entry, &error))
        spoolProblem_.clear();
    else
        spoolProblem_ = error;
    waiting_.push_back(std::move(entry));
    const SpoolEntry* live = &waiting_.back();
    const qint32 id = storeWaiting(live);
    if (waits)
        *waits = !waiting_.empty() && &waiting_.back() == live;
    return id;
}

qint32 Monitor::storeWaiting(const SpoolEntry* live)
{
    // A box shown meanwhile runs the event loop, and with it the retry timer
    // and the link: what arrives then is stored by this run, not a nested one.
    if (storing_)
        return 0;
    storing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{storing_};
    // Entries only in memory go to the spool first, whether or not their
    // database is open.
    for (SpoolEntry& e : waiting_) {
        if (!e.file.isEmpty())
            continue;
        QString error;
        if (!spool().write(e, &error)) {
            spoolProblem_ = error;
            break;
        }
        spoolProblem_.clear();
    }

    qint32 liveId = 0;
    if (sampleDb_) {
        const QString current = fileIdentity(dbPath_);
        databaseProblem_.clear();
        for (auto it = waiting_.begin(); it != waiting_.end();) {
            if (fileIdentity(it->database) != current) {
                ++it;
                continue;
            }
            qint32 id = 0;
            bool added = false;
            const StoreAttempt attempt = storeEntry(*it, id, added);
            if (attempt == StoreAttempt::Waiting) {
                it->tried = true;
                break;
            }
            QString error;
            if (attempt == StoreAttempt::Refused) {
                if (!spool().setAside(*it, &error))
                    stdError().TPrint(QStringLiteral("Spool: cannot set aside %1: %2").arg(it->file, error));
            } else if (!spool().remove(*it, &error)) {
                // Stored: a file left behind is recognised at the next start.
                stdError().TPrint(QStringLiteral("Spool: cannot remove %1: %2").arg(it->file, error));
            }
            if (&*it == live) {
                liveId = attempt == StoreAttempt::Stored ? id : 0;
            } else if ((added || !it->found) && it->kind == kTest && windowOpen(DataWindow)) {
                // Stored late: a new row in the grid; the current sample and
                // the grid's selection stay the user's. A test of this run
                // found already stored (its commit's reply was lost) is new
                // to the grid too.
                emit sampleAdded(id);
            }
            it = waiting_.erase(it);
        }
    }
    updateStoreOutage();
    return liveId;
}

Monitor::StoreAttempt Monitor::storeEntry(const SpoolEntry& entry, qint32& sampleId, bool& added)
{
    db::Database& database = sampleDb_->database();
    const bool test = entry.kind == kTest;
    QString routine = test ? QStringLiteral("AddNewSample") : QStringLiteral("ProcessNewCalibration");
    int number = 0;
    QString description;
    // A command of this program that holds the connection's transaction
    // while its progress window lets events through (an import): an entry
    // stored now would become part of that transaction and go with it when
    // it fails or is cancelled. It waits for the command to end.
    if (database.transactionDepth() > 0) {
        databaseProblem_ = QStringLiteral("another command of this program is writing");
        return StoreAttempt::Waiting;
    }
    try {
        ShortLockWait wait(database, StoreLockWaitMs);
        // Any failure ends the whole store (retried, or set aside).
        db::Transaction t(database, db::Transaction::WholeOrNothing);
        if (test) {
            // Only an entry found in the folder may have been stored by its
            // writer (a crash between commit and removal), or one whose
            // earlier store failed (a COMMIT done by the server whose reply
            // was lost); any other entry of this run leaves the queue only
            // when its commit succeeded.
            const TestRecord record = testOf(entry);
            sampleId = entry.found || entry.tried ? sampleDb_->heldTestId(record, entry.arrival) : 0;
            added = sampleId == 0;
            if (added)
                sampleId = sampleDb_->storeTestResult(record, entry.arrival);
        } else if (entry.kind == kCalibration) {
            insertCalibrationRow(entry, added);
        } else {
            throw db::DbError(db::DbErr::Generic, QStringLiteral("Unknown spool entry kind '%1'.").arg(entry.kind));
        }
        t.commit();
        return StoreAttempt::Stored;
    } catch (const db::RoutineFailure& f) {
        number = f.number;
        description = f.description;
        routine = f.routine;
    } catch (const db::DbError& e) {
        number = e.number();
        description = e.description();
    }
    if (passing(number)) {
        databaseProblem_ = description;
        return StoreAttempt::Waiting;
    }
    ShowRoutineError(number, description, routine);
    return StoreAttempt::Refused;
}

void Monitor::insertCalibrationRow(const SpoolEntry& entry, bool& added)
{
    const QDateTime date = FromOleDate(entry.value(QStringLiteral("CalDate")).toDouble());
    const QStringList counts = {QStringLiteral("Freq220"), QStringLiteral("Freq300"), QStringLiteral("Diel220"),
                                QStringLiteral("Diel300")};
    db::Database& database = sampleDb_->database();
    QVariantList key{date};
    for (const QString& c : counts)
        key << entry.value(c).toInt();
    const QVariant held = !entry.found && !entry.tried ? QVariant(0) : database.queryValue(
        QStringLiteral("SELECT COUNT(*) FROM CalData WHERE CalDate = ? AND Freq220 = ? AND Freq300 = ? "
                       "AND Diel220 = ? AND Diel300 = ?"),
        key);
    added = held.toInt() == 0;
    if (!added)
        return;
    std::unique_ptr<db::Recordset> rs = database.openTable(QStringLiteral("CalData"));
    rs->addNew();
    rs->setValue(QStringLiteral("CalDate"), date);
    for (const QString& c : counts)
        rs->setValue(c, entry.value(c).toInt());
    rs->update();
}

void Monitor::resumeSpool()
{
    QStringList unreadable;
    std::vector<SpoolEntry> found = spool().load(&unreadable);
    for (const QString& name : unreadable) {
        if (reportedUnreadable_.contains(name))
            continue;
        reportedUnreadable_ << name;
        stdError().TPrint(QStringLiteral("Spool: %1 is not a whole entry and is left in %2").arg(name, spool().folder()));
    }
    bool added = false;
    for (SpoolEntry& e : found) {
        const bool known = std::any_of(waiting_.begin(), waiting_.end(),
                                       [&](const SpoolEntry& w) { return w.file == e.file; });
        if (!known) {
            waiting_.push_back(std::move(e));
            added = true;
        }
    }
    if (added) {
        waiting_.sort([](const SpoolEntry& a, const SpoolEntry& b) {
            return a.arrival != b.arrival ? a.arrival < b.arrival : a.file < b.file;
        });
    }
    storeWaiting();
    // What waits for another database is said once, in the log.
    QHash<QString, int> others;
    const QString current = sampleDb_ ? fileIdentity(dbPath_) : QString();
    for (const SpoolEntry& e : waiting_)
        if (fileIdentity(e.database) != current)
            ++others[e.database];
    for (auto it = others.cbegin(); it != others.cend(); ++it)
        stdError().TPrint(QStringLiteral("Spool: %1 entries wait for the database %2 (stored when it is opened)")
                              .arg(it.value())
                              .arg(it.key()));
}

void Monitor::updateStoreOutage()
{
    const bool awaiting = !sampleDb_ && !awaitedServer_.isEmpty();
    const QString current = sampleDb_ ? fileIdentity(dbPath_) : awaiting ? fileIdentity(awaitedServer_) : QString();
    int tests = 0, rows = 0, inMemory = 0;
    for (const SpoolEntry& e : waiting_) {
        if (e.file.isEmpty())
            ++inMemory;
        if ((sampleDb_ || awaiting) && fileIdentity(e.database) == current)
            ++(e.kind == kTest ? tests : rows);
    }
    QString problem;
    if (tests + rows > 0 && !databaseProblem_.isEmpty())
        problem = QStringLiteral("database cannot take writes (%1)").arg(databaseProblem_);
    if (inMemory > 0 && !spoolProblem_.isEmpty()) {
        if (!problem.isEmpty())
            problem += QStringLiteral("; ");
        problem += QStringLiteral("spool %1 cannot be written (%2): kept in memory only")
                       .arg(spool().folder(), spoolProblem_);
    }
    QString text;
    if (!problem.isEmpty()) {
        const QString what = entriesText(tests, rows);
        text = (what.isEmpty() ? QStringLiteral("%1 entries").arg(inMemory) : what)
               + QStringLiteral(" not stored yet: ") + problem + QStringLiteral("; retrying");
    }

    if (problem != loggedOutage_) {
        if (!problem.isEmpty())
            stdError().TPrint(QStringLiteral("Store: ") + text);
        else
            stdError().TPrint(QStringLiteral("Store: the database takes writes again; every waiting entry is stored"));
        loggedOutage_ = problem;
    }
    if (text != storeOutage_) {
        storeOutage_ = text;
        emit storeOutageChanged(text);
    }

    const bool retry = inMemory > 0 || (sampleDb_ && tests + rows > 0) || awaiting;
    if (retry && !retryTimer_) {
        retryTimer_ = new QTimer(this);
        retryTimer_->setInterval(RetryIntervalMs);
        connect(retryTimer_, &QTimer::timeout, this, [this] {
            probeAwaitedServer();
            storeWaiting();
        });
    }
    if (retryTimer_ && retry != retryTimer_->isActive()) {
        if (retry)
            retryTimer_->start();
        else
            retryTimer_->stop();
    }
}

void Monitor::probeAwaitedServer()
{
    if (sampleDb_ || awaitedServer_.isEmpty() || serverProbe_ || ++probeTicks_ % ProbeEveryRetries != 0)
        return;
    const QString uri = awaitedServer_;
    auto answers = std::make_shared<std::atomic<bool>>(false);
    serverProbe_ = QThread::create([uri, answers] { *answers = db::serverAnswers(uri); });
    connect(serverProbe_, &QThread::finished, this, [this, uri, answers] {
        serverProbe_->deleteLater();
        serverProbe_ = nullptr;
        if (!*answers || sampleDb_ || awaitedServer_ != uri)
            return;
        stdError().TPrint(QStringLiteral("OpenSampleDatabase %1: the server answers again").arg(db::displayUri(uri)));
        OpenSampleDatabase(uri);
    });
    serverProbe_->start();
}

void Monitor::reportUnkeptEntries()
{
    int lost = 0;
    for (const SpoolEntry& e : waiting_)
        if (e.file.isEmpty())
            ++lost;
    if (lost > 0)
        stdError().TPrint(QStringLiteral("Store: %1 entries kept only in memory (the spool %2 could not be written) "
                                         "are lost at exit")
                              .arg(lost)
                              .arg(spool().folder()));
}

} // namespace qqc
