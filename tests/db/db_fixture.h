#pragma once
// A fresh copy of the built template in a temporary program folder, or a
// fresh database on the test server made from it.
#include "core/record.h"
#include "db/database_copy.h"
#include "db/sample_database.h"
#include "db/server_uri.h"
#include "support/temp_home.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <gtest/gtest.h>

#include <atomic>

namespace qqc::test {

// The test programs are built into <build>/bin, beside the template.
inline QString builtTemplate()
{
    const QString dir = binDir().isEmpty() ? QCoreApplication::applicationDirPath() : binDir();
    return dir + "/DBquorqc.tpl";
}

// The test server's "postgres" database (scripts/pg_cluster.sh, started by
// ctest); empty when there is none.
inline QString serverAdminUri() { return qEnvironmentVariable("QQC_TEST_PG_URI"); }

// A Qt SQL connection of its own to a file or a server database.
inline QSqlDatabase plainConnection(const QString& pathOrUri, const QString& name)
{
    if (!db::isServerUri(pathOrUri)) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(pathOrUri);
        return db;
    }
    db::ServerAddress a;
    db::parseServerUri(pathOrUri, a);
    QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", name);
    db.setHostName(a.host);
    db.setPort(a.port);
    db.setUserName(a.user);
    db.setPassword(a.password);
    db.setDatabaseName(a.database);
    return db;
}

// Runs plain SQL on a database through a connection of its own; on a
// server, in the server's dialect.
inline void runSql(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = plainConnection(path, "fixture-sql");
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        QSqlQuery q(db);
        for (const QString& s : statements) {
            const QStringList forms = db::isServerUri(path) ? db::serverStatements(s) : QStringList{s};
            for (const QString& f : forms)
                ASSERT_TRUE(q.exec(f)) << f.toStdString() << ": " << q.lastError().text().toStdString();
        }
    }
    QSqlDatabase::removeDatabase("fixture-sql");
}

// The rows a query returns on a database file or server, fields joined by
// "," and rows by " | ", a null field as "null": one string to compare whole.
inline QString queryRows(const QString& path, const QString& sql)
{
    QStringList out;
    {
        QSqlDatabase db = plainConnection(path, "fixture-rows");
        EXPECT_TRUE(db.open());
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields << (q.value(i).isNull() ? QString("null") : q.value(i).toString());
            out << fields.join(',');
        }
    }
    QSqlDatabase::removeDatabase("fixture-rows");
    return out.join(" | ");
}

// Makes `event` (INSERT or DELETE) on `table` fail where `condition` holds
// (NEW or OLD names the row), on either engine, through a trigger named
// injected_<table>; removeInjected drops it.
inline void injectFailure(const QString& path, const QString& table, const QString& event, const QString& condition)
{
    const QString name = "injected_" + table.toLower();
    if (!db::isServerUri(path)) {
        runSql(path, {QString("CREATE TRIGGER %1 BEFORE %2 ON %3 WHEN %4 BEGIN SELECT RAISE(ABORT, 'injected failure'); END")
                          .arg(name, event, table, condition)});
        return;
    }
    runSql(path, {QString("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF %2 THEN RAISE EXCEPTION "
                          "'injected failure'; END IF; RETURN %3; END $$")
                      .arg(name, condition, event == "DELETE" ? "OLD" : "NEW"),
                  QString("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE FUNCTION %1()").arg(name, event, table)});
}
inline void removeInjected(const QString& path, const QString& table)
{
    const QString name = "injected_" + table.toLower();
    runSql(path, {db::isServerUri(path) ? QString("DROP TRIGGER %1 ON %2").arg(name, table) : "DROP TRIGGER " + name});
}

// A value read through a connection of its own (what was committed): the
// first field of the first row, null when none.
inline QVariant committedValue(const QString& path, const QString& sql)
{
    QVariant v;
    {
        QSqlDatabase c = plainConnection(path, "fixture-committed");
        EXPECT_TRUE(c.open()) << c.lastError().text().toStdString();
        QSqlQuery q(c);
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        if (q.next())
            v = q.value(0);
    }
    QSqlDatabase::removeDatabase("fixture-committed");
    return v;
}

// An empty database of its own on the test server, dropped afterwards.
class ServerDatabase {
public:
    ServerDatabase()
    {
        static std::atomic<int> counter{0};
        name_ = QString("qqc_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        admin({"DROP DATABASE IF EXISTS " + name_, "CREATE DATABASE " + name_});
        QUrl url(serverAdminUri());
        url.setPath("/" + name_);
        uri_ = url.toString();
    }
    ~ServerDatabase() { admin({"DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)"}); }
    const QString& uri() const { return uri_; }

private:
    static void admin(const QStringList& statements) { runSql(serverAdminUri(), statements); }
    QString name_, uri_;
};

// The engines a database test runs on.
enum class Engine { File, Server };
inline std::string engineName(const ::testing::TestParamInfo<Engine>& info)
{
    return info.param == Engine::File ? "File" : "Server";
}

class TemplateCopy : public ::testing::Test {
protected:
    TempHome home;
    QString path = home.file("samples.mdb");

    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(builtTemplate())) << "template not built";
        ASSERT_TRUE(QFile::copy(builtTemplate(), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }

    std::unique_ptr<db::SampleDatabase> openStore()
    {
        return openStoreAt(path);
    }
    std::unique_ptr<db::SampleDatabase> openStoreAt(const QString& path)
    {
        auto status = db::SampleDatabase::OpenStatus::NeedsUpgrade;
        auto s = db::SampleDatabase::open(path, status);
        EXPECT_EQ(db::SampleDatabase::OpenStatus::Opened, status);
        return s;
    }
};

// The template on the engine the test runs on: `path` is the file, or the
// address of a new server database made from the template. Without a test
// server, the server runs are skipped with a message.
class EngineCopy : public TemplateCopy, public ::testing::WithParamInterface<Engine> {
protected:
    std::unique_ptr<ServerDatabase> server;

    void SetUp() override
    {
        TemplateCopy::SetUp();
        if (GetParam() == Engine::File)
            return;
        if (serverAdminUri().isEmpty())
            GTEST_SKIP() << "no test server (QQC_TEST_PG_URI unset; scripts/pg_cluster.sh starts one)";
        server = std::make_unique<ServerDatabase>();
        path = server->uri();
        ASSERT_NO_THROW(db::createServerDatabase(path, builtTemplate()));
    }
    bool onServer() const { return GetParam() == Engine::Server; }
    // Another fresh database made from the template on the same engine.
    QString anotherCopy()
    {
        if (!onServer()) {
            const QString other = home.file(QString("copy%1.mdb").arg(others.size() + 1));
            others.push_back(nullptr);
            EXPECT_TRUE(QFile::copy(builtTemplate(), other));
            QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner);
            return other;
        }
        others.push_back(std::make_unique<ServerDatabase>());
        db::createServerDatabase(others.back()->uri(), builtTemplate());
        return others.back()->uri();
    }

private:
    std::vector<std::unique_ptr<ServerDatabase>> others;
};

#define QQC_BOTH_ENGINES(Suite) \
    INSTANTIATE_TEST_SUITE_P(Engines, Suite, ::testing::Values(test::Engine::File, test::Engine::Server), test::engineName)

// A test record with the given results, raw readings and the calibration
// 3500/2900 at 2.20/3.00.
inline TestRecord sampleRecord(int diel, int iron, int water, int lcont)
{
    TestRecord r;
    for (int i = 0; i < TestRecord::RawCount; ++i)
        r.raw8700[size_t(i)] = 30000 + i;
    r.Temp.fill(25);
    r.Rslt8700[Rslt::diel] = diel;
    r.Rslt8700[Rslt::iron] = iron;
    r.Rslt8700[Rslt::water] = water;
    r.Rslt8700[Rslt::lcont] = lcont;
    r.CalData = {3500, 2900, 220, 300};
    return r;
}

} // namespace qqc::test
