#include "db/sample_notices.h"

#include "db/engine.h"
#include "db/server_notices.h"

#include <QTimer>

namespace qqc::db {

namespace {

const QString Channel = QStringLiteral("qqc_samples");
const QString More = QStringLiteral("more");
const QString TriggerName = QStringLiteral("qqc_samples_notice");

} // namespace

QStringList sampleNoticeStatements()
{
    // One call per INSERT statement, with the statement's new rows. How many
    // samples the transaction has named so far is a setting local to the
    // transaction (undone with it, and with a savepoint rolled back).
    return {QStringLiteral(
                "CREATE OR REPLACE FUNCTION %1_fn() RETURNS trigger LANGUAGE plpgsql AS $body$ "
                "DECLARE named integer := COALESCE(NULLIF(current_setting('qqc.samples_named', true), ''), '0')::integer; "
                "n integer; ids text; "
                "BEGIN "
                "IF named > %2 THEN RETURN NULL; END IF; "
                "SELECT COUNT(*), string_agg(sampleid::text, ',' ORDER BY sampleid) INTO n, ids FROM qqc_new_samples; "
                "IF n = 0 THEN RETURN NULL; END IF; "
                "IF named + n > %2 THEN PERFORM pg_notify('%3', '%4'); named := %2 + 1; "
                "ELSE PERFORM pg_notify('%3', ids); named := named + n; END IF; "
                "PERFORM set_config('qqc.samples_named', named::text, true); "
                "RETURN NULL; END $body$")
                .arg(TriggerName).arg(SampleNotices::MaxNamed).arg(Channel, More),
            QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON samples REFERENCING NEW TABLE AS qqc_new_samples "
                           "FOR EACH STATEMENT EXECUTE FUNCTION %1_fn()").arg(TriggerName)};
}

void ensureSampleNotices(Database& db)
{
    if (!db.onServer())
        return;
    const QString count = QStringLiteral("SELECT COUNT(*) FROM pg_trigger WHERE tgname = '%1' "
                                         "AND tgrelid = 'samples'::regclass").arg(TriggerName);
    if (db.queryValue(count).toLongLong() > 0)
        return;
    try {
        Transaction tx(db);
        // Two stations opening the database at once: the second waits here
        // and then finds the trigger made.
        db.queryValue(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(0x717163));
        if (db.queryValue(count).toLongLong() == 0) {
            for (const QString& sql : sampleNoticeStatements())
                db.execute(sql);
        }
        tx.commit();
    } catch (const DbError&) {
        // Not the owner of the tables, or the table busy beyond the lock
        // wait: the layout stays as it was; the next open tries again.
    }
}

SampleNotices::SampleNotices(Database& db, QObject* parent) : QObject(parent)
{
    notices_ = db.listen(Channel);
    if (!notices_)
        return;
    connect(notices_, &ServerNotices::notified, this, [this](const QString& channel, const QString& payload) {
        if (channel == Channel)
            heard(payload);
    });
    connect(notices_, &ServerNotices::resumed, this, [this] {
        missed_ = true;
        deliver();
    });
}

void SampleNotices::heard(const QString& payload)
{
    if (payload == More) {
        missed_ = true;
    } else {
        for (QStringView id : QStringView(payload).split(QLatin1Char(','))) {
            bool ok = false;
            const qint32 sampleId = id.toInt(&ok);
            if (ok)
                pending_ << sampleId;
            else
                missed_ = true;  // not ours to read: look at the table instead
        }
    }
    // The notices of one commit come in one burst: they are handed on once.
    if (!scheduled_) {
        scheduled_ = true;
        QTimer::singleShot(0, this, &SampleNotices::deliver);
    }
}

void SampleNotices::deliver()
{
    scheduled_ = false;
    if (!notices_) {
        // The database was closed meanwhile: nothing left to tell.
        pending_.clear();
        missed_ = false;
        return;
    }
    if (missed_) {
        missed_ = false;
        pending_.clear();
        emit samplesMissed();
    } else if (!pending_.isEmpty()) {
        emit samplesStored(std::exchange(pending_, {}));
    }
}

} // namespace qqc::db
