#pragma once
// A fresh copy of the built template in a temporary program folder.
#include "core/record.h"
#include "db/sample_database.h"
#include "support/temp_home.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace qqc::test {

// The test programs are built into <build>/bin, beside the template.
inline QString builtTemplate()
{
    const QString dir = binDir().isEmpty() ? QCoreApplication::applicationDirPath() : binDir();
    return dir + "/DBquorqc.tpl";
}

// Runs plain SQL on a database file through a connection of its own.
inline void runSql(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fixture-sql");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements)
            ASSERT_TRUE(q.exec(s)) << s.toStdString();
    }
    QSqlDatabase::removeDatabase("fixture-sql");
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
        auto status = db::SampleDatabase::OpenStatus::NeedsUpgrade;
        auto s = db::SampleDatabase::open(path, status);
        EXPECT_EQ(db::SampleDatabase::OpenStatus::Opened, status);
        return s;
    }
};

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
