#pragma once
// What a server connection hears on the channels it LISTENs to
// (Database::listen). The connection owns it; it lives until the database
// is closed (hold it in a QPointer).
//
// Notifications come in through Qt's QPSQL driver (QSqlDriver::notification)
// while the event loop runs; the server delivers them at the sender's
// commit, so a rolled-back transaction is never heard. Those this connection
// sent itself (QSqlDriver::SelfSource: the station's own stores, which its
// windows are told of directly) are left out.
//
// A connection that goes quiet is not noticed by a statement: while it
// listens, a watch looks every quarter second whether the driver found the
// connection gone and, outside a transaction, opens a new one (backing off
// while the server stays away). Every new connection, the engine's or the
// watch's, LISTENs again and says so through resumed(): whatever was sent
// meanwhile was not heard.

#include <QObject>
#include <QString>
#include <QTimer>

namespace qqc::db {

struct Connection;

class ServerNotices : public QObject {
    Q_OBJECT
public:
    explicit ServerNotices(Connection& conn);

    // Called by the connection once it is made again and listens anew.
    void reconnected();

signals:
    // Another connection committed `payload` on `channel`.
    void notified(const QString& channel, const QString& payload);
    // The connection was lost and is back, listening again (queued, so no
    // reader runs inside the statement that reconnected).
    void resumed();

private:
    void watch();

    Connection& conn_;
    QTimer watch_;
    int waitTicks_ = 0;   // ticks to skip before the next try
    int failedTries_ = 0;
};

} // namespace qqc::db
