// quorvelqc-jet-standin: stands in for quorvelqc-jet-reader in tests and
// benchmarks. It writes the jet stream of an SQLite file's tables as if they
// came from a Jet file, or misbehaves as a reader can:
//   quorvelqc-jet-standin [--from-sqlite SRC] [--declare TABLE=N]... FILE
//   quorvelqc-jet-standin --crash | --hang | --garbage | --stop-after BYTES ... FILE
// SRC defaults to $QQC_JET_STANDIN_SOURCE and $QQC_JET_STANDIN_ARGS adds
// options (so a monitor or quorvelqc-cli started with QUORVELQC_JET_READER
// pointing here reads it). FILE is not read.

#include "jet/jet_stream.h"

#include <QCoreApplication>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace qqc::jet;

namespace {

ColumnType typeOf(const QString& declared)
{
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("INT")))
        return ColumnType::Integer;
    if (t.contains(QLatin1String("REAL")))
        return ColumnType::Single;   // the sample layout's reals are singles
    if (t.contains(QLatin1String("DATE")))
        return ColumnType::DateTime;
    if (t.contains(QLatin1String("TEXT")))
        return ColumnType::Text;
    return ColumnType::Blob;
}

// A FILE that stops passing bytes on after `limit` of them, then exits as if
// the reader had ended there.
std::FILE* limitedStdout(long limit)
{
    if (limit < 0)
        return stdout;
    static long left = limit;
    cookie_io_functions_t io{};
    io.write = [](void*, const char* buf, size_t size) -> ssize_t {
        const size_t n = std::min<size_t>(size, size_t(std::max(0L, left)));
        std::fwrite(buf, 1, n, stdout);
        left -= long(n);
        if (left <= 0) {
            std::fflush(stdout);
            std::_Exit(0);
        }
        return ssize_t(size);
    };
    return fopencookie(nullptr, "w", io);
}

int stream(const QString& source, const QHash<QString, qint64>& declared, std::FILE* out)
{
    auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(source);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(source));
        return 2;
    }
    StreamWriter writer(out);
    QHash<QString, qint64> counters;
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT name, seq FROM sqlite_sequence")))
        while (q.next())
            counters.insert(q.value(0).toString(), q.value(1).toLongLong());
    QStringList names;
    q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY rowid"));
    while (q.next())
        names << q.value(0).toString();
    std::vector<TableHead> heads;
    for (const QString& name : names) {
        TableHead head;
        head.name = name.toUtf8();
        QSqlQuery count(db);
        count.exec(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(name));
        count.next();
        head.declaredRows = declared.value(name, count.value(0).toLongLong());
        if (counters.contains(name))
            head.autoNumberCounter = counters.value(name);
        QSqlQuery info(db);
        info.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(name));
        while (info.next())
            head.columns.push_back({info.value(1).toString().toUtf8(), typeOf(info.value(2).toString()),
                                    info.value(5).toInt() == 1 && counters.contains(name)});
        heads.push_back(head);
    }
    std::vector<DeclaredTable> list;
    for (const auto& h : heads)
        list.push_back({h.name, h.declaredRows});
    writer.fileInfo(1, list);
    for (const auto& head : heads) {
        writer.tableHead(head);
        QSqlQuery rows(db);
        rows.setForwardOnly(true);
        rows.exec(QStringLiteral("SELECT * FROM \"%1\"").arg(QString::fromUtf8(head.name)));
        qint64 n = 0;
        while (rows.next()) {
            writer.beginRow();
            for (int i = 0; i < int(head.columns.size()); ++i) {
                const QVariant v = rows.value(i);
                if (v.isNull()) {
                    writer.null();
                    continue;
                }
                switch (head.columns[size_t(i)].type) {
                case ColumnType::Integer:
                case ColumnType::Bool:
                    writer.integer(v.toLongLong());
                    break;
                case ColumnType::Single:
                    writer.single(v.toFloat());
                    break;
                case ColumnType::Double:
                    writer.real(v.toDouble());
                    break;
                case ColumnType::DateTime:
                case ColumnType::Text: {
                    const QByteArray b = v.toString().toUtf8();
                    writer.text(b.constData(), b.size());
                    break;
                }
                case ColumnType::Blob: {
                    const QByteArray b = v.toByteArray();
                    writer.blob(b.constData(), b.size());
                    break;
                }
                }
            }
            writer.endRow();
            ++n;
        }
        writer.tableEnd(n);
    }
    writer.end();
    return writer.flush() ? 0 : 3;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    // A monitor or quorvelqc-cli runs its reader with the file name only:
    // the stand-in's options may come from the environment.
    const QString extra = qEnvironmentVariable("QQC_JET_STANDIN_ARGS");
    if (!extra.isEmpty())
        args = extra.split(QLatin1Char(' '), Qt::SkipEmptyParts) + args;
    QString source = qEnvironmentVariable("QQC_JET_STANDIN_SOURCE");
    QHash<QString, qint64> declared;
    long stopAfter = -1;
    for (int i = 0; i + 1 < args.size(); ++i) {
        const QString a = args[i];
        if (a == QLatin1String("--crash")) {
            std::fwrite("QQCJET1\n", 1, 8, stdout);
            std::fflush(stdout);
            std::abort();
        } else if (a == QLatin1String("--hang")) {
            std::fwrite("QQCJET1\n", 1, 8, stdout);
            std::fflush(stdout);
            for (;;)
                QThread::sleep(60);
        } else if (a == QLatin1String("--garbage")) {
            for (int k = 0; k < 4096; ++k)
                std::fputc(char((k * 7919) >> 3), stdout);
            return 0;
        } else if (a == QLatin1String("--from-sqlite")) {
            source = args[++i];
        } else if (a == QLatin1String("--stop-after")) {
            stopAfter = args[++i].toLong();
        } else if (a == QLatin1String("--declare")) {
            const QStringList kv = args[++i].split(QLatin1Char('='));
            declared.insert(kv.value(0), kv.value(1).toLongLong());
        }
    }
    if (source.isEmpty()) {
        std::fputs("quorvelqc-jet-standin: no source (--from-sqlite or QQC_JET_STANDIN_SOURCE)\n", stderr);
        return 1;
    }
    return stream(source, declared, limitedStdout(stopAfter));
}
