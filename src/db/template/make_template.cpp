// Build step: turns the template script (dbquorqc.sql) into the SQLite file
// DBquorqc.tpl. Usage: make_template SCRIPT OUTPUT
// The file is written under a temporary name and renamed when complete, so a
// failed build never leaves a half-made template behind.
#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <cstdio>

namespace {

// Splits a script at ";" outside quotes and comments; a CREATE TRIGGER
// statement runs to its END.
QStringList splitStatements(const QString& script)
{
    QStringList out;
    QString current;
    QChar quote;
    for (int i = 0; i < script.size(); ++i) {
        const QChar c = script[i];
        if (quote.isNull() && c == QLatin1Char('-') && i + 1 < script.size() && script[i + 1] == QLatin1Char('-')) {
            while (i < script.size() && script[i] != QLatin1Char('\n'))
                ++i;
            current += QLatin1Char('\n');
            continue;
        }
        current += c;
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char(';')) {
            const QString stmt = current.trimmed();
            const QString upper = stmt.toUpper();
            if (upper.startsWith(QLatin1String("CREATE TRIGGER")) && !upper.chopped(1).trimmed().endsWith(QLatin1String("END")))
                continue;
            out << stmt.chopped(1).trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

int fail(const QString& text)
{
    std::fprintf(stderr, "make_template: %s\n", qPrintable(text));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return fail(QStringLiteral("usage: make_template SCRIPT OUTPUT"));
    QFile script(args[1]);
    if (!script.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(args[1]));
    const QStringList statements = splitStatements(QString::fromUtf8(script.readAll()));

    const QString output = args[2];
    const QString temp = output + QStringLiteral(".part");
    QFile::remove(temp);
    int rc = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("template"));
        db.setDatabaseName(temp);
        if (!db.open())
            return fail(db.lastError().text());
        QSqlQuery q(db);
        // 16 kB pages hold a whole sample row (its test tables are about
        // 3 kB of text) on the row's own page. With 4 kB pages every sample
        // spills into an overflow page of its own, which makes the file about
        // half as large again and bulk loads a third slower.
        q.exec(QStringLiteral("PRAGMA page_size=16384"));
        q.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        q.exec(QStringLiteral("BEGIN"));
        for (const QString& stmt : statements) {
            if (stmt.isEmpty())
                continue;
            if (!q.exec(stmt)) {
                rc = fail(QStringLiteral("%1\n  in: %2").arg(q.lastError().text(), stmt));
                break;
            }
        }
        if (rc == 0) {
            q.exec(QStringLiteral("COMMIT"));
            q.exec(QStringLiteral("VACUUM"));
        }
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("template"));
    if (rc != 0) {
        QFile::remove(temp);
        return rc;
    }
    QFile::remove(output);
    if (!QFile::rename(temp, output))
        return fail(QStringLiteral("cannot write %1").arg(output));
    return 0;
}
