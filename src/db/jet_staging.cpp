#include "db/jet_staging.h"

#include "jet/jet_stream.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <optional>

namespace qqc::db {

namespace {

std::atomic<int> stagingCounter{0};

QString quoted(const QString& name)
{
    QString q = name;
    return QLatin1Char('"') + q.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString sqlType(jet::ColumnType type)
{
    switch (type) {
    case jet::ColumnType::Integer:
    case jet::ColumnType::Bool:
        return QStringLiteral("INTEGER");
    case jet::ColumnType::Single:
    case jet::ColumnType::Double:
        return QStringLiteral("REAL");
    case jet::ColumnType::DateTime:
        return QStringLiteral("DATETIME");
    case jet::ColumnType::Text:
        return QStringLiteral("TEXT");
    case jet::ColumnType::Blob:
        break;
    }
    return QStringLiteral("BLOB");
}

QVariant toVariant(const jet::Value& v)
{
    switch (v.tag) {
    case jet::ValueTag::Integer:
        return v.integer;
    case jet::ValueTag::Single:
    case jet::ValueTag::Double:
        return v.real;
    case jet::ValueTag::Text:
        return QString::fromUtf8(v.bytes);
    case jet::ValueTag::Blob:
        return v.bytes;
    case jet::ValueTag::Null:
        break;
    }
    return QVariant();
}

// Failure of one run: what the user sees after "cannot read <file>: ".
struct ReadFailure {
    QString why;
};

// The staging file: one SQLite connection of its own, written without a
// journal (it is thrown away when anything fails).
class StagingWriter {
public:
    explicit StagingWriter(const QString& path)
        : name_(QStringLiteral("qqc-jet-staging-%1").arg(stagingCounter.fetch_add(1)))
    {
        QFile::remove(path);
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db_.setDatabaseName(path);
        if (!db_.open())
            throw ReadFailure{QStringLiteral("the staging file %1 cannot be written (%2)").arg(path, db_.lastError().text())};
        exec(QStringLiteral("PRAGMA journal_mode=OFF"));
        exec(QStringLiteral("PRAGMA synchronous=OFF"));
        exec(QStringLiteral("BEGIN"));
    }
    ~StagingWriter()
    {
        insert_.reset();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    void startTable(const jet::TableHead& head)
    {
        QStringList columns, marks;
        for (const auto& c : head.columns) {
            columns << quoted(QString::fromUtf8(c.name)) + QLatin1Char(' ') + sqlType(c.type);
            marks << QStringLiteral("?");
            if (c.autoNumber)
                autoColumn_ = QString::fromUtf8(c.name);
        }
        table_ = QString::fromUtf8(head.name);
        exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(table_), columns.join(QStringLiteral(", "))));
        insert_.emplace(db_);
        if (!insert_->prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(quoted(table_), marks.join(QLatin1Char(',')))))
            fail(*insert_);
    }
    void row(const std::vector<jet::Value>& values)
    {
        for (size_t i = 0; i < values.size(); ++i)
            insert_->bindValue(int(i), toVariant(values[i]));
        if (!insert_->exec())
            fail(*insert_);
    }
    void endTable()
    {
        insert_.reset();
        // The copy reads a table in its key's order.
        if (!autoColumn_.isEmpty())
            exec(QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                     .arg(quoted(table_ + QStringLiteral("_key")), quoted(table_), quoted(autoColumn_)));
        autoColumn_.clear();
    }
    void commit() { exec(QStringLiteral("COMMIT")); }

private:
    void exec(const QString& sql)
    {
        QSqlQuery q(db_);
        if (!q.exec(sql))
            fail(q);
    }
    [[noreturn]] void fail(const QSqlQuery& q)
    {
        throw ReadFailure{QStringLiteral("the staging file cannot be written (%1)").arg(q.lastError().text())};
    }
    QString name_;
    QSqlDatabase db_;
    std::optional<QSqlQuery> insert_;
    QString table_, autoColumn_;
};

// Runs the reader and turns its stream into the staging file.
class Run {
public:
    Run(const JetStagingRequest& request, JetStagingResult& result) : request_(request), result_(result) {}

    void go()
    {
        QProcess reader;
        const QString program = request_.reader.program.isEmpty() ? readerProgram() : request_.reader.program;
        reader.setProgram(program);
        reader.setArguments(request_.reader.arguments + QStringList{request_.jetPath});
        reader.start(QIODevice::ReadOnly);
        if (!reader.waitForStarted(10000))
            throw ReadFailure{QStringLiteral("the reader program %1 cannot be started (%2)").arg(program, reader.errorString())};
        stop_ = [&reader] {
            reader.kill();
            reader.waitForFinished(5000);
        };
        QElapsedTimer quiet;
        quiet.start();
        while (!done_) {
            if (cancelled()) {
                stop_();
                result_.outcome = JetStagingResult::Cancelled;
                return;
            }
            const bool more = reader.waitForReadyRead(100);
            keepTail(reader.readAllStandardError());
            const QByteArray bytes = reader.readAllStandardOutput();
            if (!bytes.isEmpty()) {
                quiet.restart();
                consume(bytes);
                continue;
            }
            if (!more && reader.state() == QProcess::NotRunning)
                break;
            if (quiet.elapsed() > request_.stallMs) {
                stop_();
                throw ReadFailure{QStringLiteral("the reader stopped responding (nothing for %1 s) and was ended")
                                      .arg(request_.stallMs / 1000.0)};
            }
        }
        if (result_.outcome == JetStagingResult::Refused)
            return;
        if (done_) {
            // Whatever the reader still does after its last frame is of no
            // interest; its exit status is.
            if (!reader.waitForFinished(request_.stallMs))
                stop_();
        }
        keepTail(reader.readAllStandardError());
        const QString said = lastLine(stderrTail_);
        if (reader.exitStatus() == QProcess::CrashExit)
            throw ReadFailure{QStringLiteral("the reader crashed%1").arg(said)};
        if (reader.exitCode() != 0)
            throw ReadFailure{QStringLiteral("the reader failed (exit code %1)%2").arg(reader.exitCode()).arg(said)};
        if (parser_.failed())
            throw ReadFailure{parser_.error()};
        if (!parser_.finished())
            throw ReadFailure{QStringLiteral("the reader's stream ended early%1").arg(said)};
    }

private:
    // libmdb may write warnings without end: only the last few lines are kept.
    void keepTail(const QByteArray& err)
    {
        stderrTail_ += err;
        if (stderrTail_.size() > 4096)
            stderrTail_ = stderrTail_.right(2048);
    }

    static QString lastLine(const QByteArray& err)
    {
        const QList<QByteArray> lines = err.trimmed().split('\n');
        const QString line = QString::fromUtf8(lines.isEmpty() ? QByteArray() : lines.last()).trimmed();
        return line.isEmpty() ? QString() : QStringLiteral(" (it said: %1)").arg(line.left(200));
    }

    bool cancelled() const { return request_.cancelRequested && request_.cancelRequested(); }

    void report()
    {
        if (request_.progress)
            request_.progress(progress_);
    }

    void consume(const QByteArray& bytes)
    {
        parser_.feed(bytes.constData(), bytes.size());
        jet::StreamParser::Event event;
        while (!done_ && parser_.next(event)) {
            handle(event);
            if ((progress_.row & 255) == 0 && cancelled())
                return;   // the loop ends the reader
        }
        if (parser_.failed()) {
            stop_();
            throw ReadFailure{parser_.error()};
        }
    }

    void handle(jet::StreamParser::Event& event)
    {
        switch (event.kind) {
        case jet::StreamParser::Event::File: {
            result_.format = event.format;
            bool systemData = false;
            for (const auto& t : event.tables)
                systemData = systemData || QString::fromUtf8(t.name).compare(QLatin1String("SystemData"), Qt::CaseInsensitive) == 0;
            if (!systemData) {
                stop_();
                refuse(QStringLiteral("it is not a sample database (it has no SystemData table)"));
                return;
            }
            writer_.emplace(request_.stagingPath);
            progress_.tablesTotal = int(event.tables.size());
            report();
            break;
        }
        case jet::StreamParser::Event::Table:
            writer_->startTable(event.table);
            result_.tables.push_back({QString::fromUtf8(event.table.name), event.table.declaredRows, 0});
            if (event.table.autoNumberCounter > 0)
                result_.autoNumberCounters.insert(result_.tables.back().table, event.table.autoNumberCounter);
            progress_.table = result_.tables.back().table;
            progress_.rows = event.table.declaredRows;
            progress_.row = 0;
            report();
            break;
        case jet::StreamParser::Event::Row:
            writer_->row(event.row);
            if ((++progress_.row & 255) == 0)
                report();
            break;
        case jet::StreamParser::Event::TableEnd:
            writer_->endTable();
            result_.tables.back().read = event.rows;
            ++progress_.tablesDone;
            report();
            break;
        case jet::StreamParser::Event::End:
            writer_->commit();
            writer_.reset();
            done_ = true;
            result_.outcome = JetStagingResult::Done;
            break;
        case jet::StreamParser::Event::Refused:
            stop_();
            refuse(event.detail);
            break;
        }
    }

    void refuse(const QString& why)
    {
        result_.outcome = JetStagingResult::Refused;
        result_.error = why;
        done_ = true;
    }

    const JetStagingRequest& request_;
    JetStagingResult& result_;
    jet::StreamParser parser_;
    std::optional<StagingWriter> writer_;
    std::function<void()> stop_;
    JetReadProgress progress_;
    QByteArray stderrTail_;
    bool done_ = false;
};

} // namespace

bool isJetFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(19);
    return head.size() == 19 && (head.mid(4) == "Standard Jet DB" || head.mid(4) == "Standard ACE DB");
}

QString jetLockFile(const QString& path)
{
    const QFileInfo info(path);
    for (const char* ext : {".ldb", ".laccdb", ".LDB", ".LACCDB"}) {
        const QString lock = info.dir().filePath(info.completeBaseName() + QLatin1String(ext));
        if (QFileInfo::exists(lock))
            return lock;
    }
    return {};
}

QString defaultConvertedPath(const QString& jetPath)
{
    const QFileInfo info(jetPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-converted.mdb"));
}

QString readerProgram()
{
    const QString set = qEnvironmentVariable("QUORVELQC_JET_READER");
    if (!set.isEmpty())
        return set;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quorvelqc-jet-reader"));
}

std::vector<JetTableRows> JetStagingResult::shortTables() const
{
    std::vector<JetTableRows> out;
    for (const auto& t : tables)
        if (t.read < t.declared)
            out.push_back(t);
    return out;
}

JetStagingResult readJetIntoStaging(const JetStagingRequest& request)
{
    JetStagingResult result;
    try {
        Run(request, result).go();
    } catch (const ReadFailure& failure) {
        result.outcome = JetStagingResult::Failed;
        result.error = QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(request.jetPath), failure.why);
    }
    if (result.outcome != JetStagingResult::Done)
        QFile::remove(request.stagingPath);
    return result;
}

} // namespace qqc::db
