#include "db/server_uri.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace qqc::db {

bool isServerUri(const QString& text)
{
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString displayUri(const QString& text)
{
    if (!isServerUri(text))
        return text;
    // Textual, so that even an address QUrl refuses never shows its password.
    static const QRegularExpression userPassword(QStringLiteral("^([a-z]+://[^:/@?]*):[^@/?]*@"),
                                                 QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression passwordItem(QStringLiteral("([?&])password=[^&]*&?"));
    QString shown = text;
    shown.replace(userPassword, QStringLiteral("\\1@"));
    shown.replace(passwordItem, QStringLiteral("\\1"));
    if (shown.endsWith(QLatin1Char('?')) || shown.endsWith(QLatin1Char('&')))
        shown.chop(1);
    return shown;
}

bool parseServerUri(const QString& uri, ServerAddress& address, QString* error)
{
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!isServerUri(uri))
        return fail(QStringLiteral("'%1' is not a postgresql:// address.").arg(uri));
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid())
        return fail(QStringLiteral("'%1' is not a valid database address (%2).").arg(displayUri(uri), url.errorString()));
    address = ServerAddress{};
    address.host = url.host(QUrl::FullyDecoded);
    address.port = url.port(-1);
    address.user = url.userName(QUrl::FullyDecoded);
    address.password = url.password(QUrl::FullyDecoded);
    address.database = url.path(QUrl::FullyDecoded).mid(1);
    QStringList options;
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host"))
            address.host = value;
        else if (key == QLatin1String("port"))
            address.port = value.toInt();
        else if (key == QLatin1String("user"))
            address.user = value;
        else if (key == QLatin1String("password"))
            address.password = value;
        else if (key == QLatin1String("dbname"))
            address.database = value;
        else
            options << key + QLatin1Char('=') + value;
    }
    address.options = options.join(QLatin1Char(';'));
    return true;
}

} // namespace qqc::db
