#include "db/server_notices.h"

#include "db/connection.h"

#include <QSqlDriver>

namespace qqc::db {

namespace {

constexpr int WatchMs = 250;
// Tries while the server stays away come every 1, 2, 4, then 8 seconds: a
// try can wait for the connect time-out, and the window must stay usable.
constexpr int MaxWaitTicks = 32;

} // namespace

ServerNotices::ServerNotices(Connection& conn) : conn_(conn)
{
    // The driver object stays the same across reconnects (QSqlDatabase keeps
    // it), so this one connection hears every incarnation.
    connect(conn_.db.driver(), &QSqlDriver::notification, this,
            [this](const QString& name, QSqlDriver::NotificationSource source, const QVariant& payload) {
                if (source != QSqlDriver::SelfSource)
                    emit notified(name, payload.toString());
            });
    watch_.setInterval(WatchMs);
    connect(&watch_, &QTimer::timeout, this, &ServerNotices::watch);
    watch_.start();
}

void ServerNotices::reconnected()
{
    failedTries_ = 0;
    waitTicks_ = 0;
    QMetaObject::invokeMethod(this, [this] { emit resumed(); }, Qt::QueuedConnection);
}

void ServerNotices::watch()
{
    // Only the driver's own state is read: no statement, no network.
    if (conn_.depth > 0 || !conn_.open || conn_.db.isOpen())
        return;
    if (waitTicks_ > 0) {
        --waitTicks_;
        return;
    }
    if (!conn_.reconnectLost()) {
        ++failedTries_;
        waitTicks_ = std::min(MaxWaitTicks, 4 << std::min(failedTries_ - 1, 3)) - 1;
    }
}

} // namespace qqc::db
