#pragma once
// Live news of new samples on a shared server database, for the grids of
// every station.
//
// The sender is a trigger on Samples, part of the server layout (and added
// to a server database made before it, when a station opens it): each
// INSERT statement announces its new SampleIDs on the channel "qqc_samples"
// (NOTIFY, so only a committed transaction is heard, at its commit). Every
// program that stores samples is heard this way, the monitor, an import, a
// copy or a lab's own tools. A transaction names at most MaxNamed samples;
// beyond that it sends "more" once, so a copy of thousands of samples is
// one notice, not thousands.
//
// The listener is SampleNotices on a station's Database: it leaves out what
// that connection stored itself (the station's own stores: the Monitor and
// the grid store share that one connection, and the window is told of its
// own samples directly), gathers what one event-loop turn brought, and says
// so once. On a file it stays silent: SQLite has no notifications.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

namespace qqc::db {

class Database;
class ServerNotices;

// The server statements that make the announcing trigger.
QStringList sampleNoticeStatements();
// Gives a server database made before the trigger existed its trigger.
// Nothing on a file. A login that may not change the layout leaves the
// database as it is (its stations' grids then only show what they read).
void ensureSampleNotices(Database& db);

class SampleNotices : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxNamed = 100;

    // Listens on `db` when it is on a server (throws DbError when the
    // server refuses); on a file it never says anything.
    explicit SampleNotices(Database& db, QObject* parent = nullptr);
    bool listening() const { return !notices_.isNull(); }

signals:
    // SampleIDs another station committed, oldest first.
    void samplesStored(const QList<qint32>& sampleIds);
    // Samples were stored that no notice names: a batch too large to name,
    // or whatever was stored while the connection was lost.
    void samplesMissed();

private:
    void heard(const QString& payload);
    void deliver();

    QPointer<ServerNotices> notices_;
    QList<qint32> pending_;
    bool missed_ = false;
    bool scheduled_ = false;
};

} // namespace qqc::db
