#pragma once
// What the spool tests share: another program holding a database's write
// lock, plain reads of a database file, and the spool folder's entries.
#include "db/db_fixture.h"
#include "support/temp_home.h"

#include <QDateTime>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace qqc::test {

// Another program holding the write lock of a database file until release().
class WriteLock {
public:
    explicit WriteLock(const QString& path)
    {
        db_ = QSqlDatabase::addDatabase("QSQLITE", name_);
        db_.setDatabaseName(path);
        held_ = db_.open() && QSqlQuery(db_).exec("BEGIN IMMEDIATE");
    }
    ~WriteLock()
    {
        release();
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool held() const { return held_; }
    void release()
    {
        if (held_)
            QSqlQuery(db_).exec("COMMIT");
        held_ = false;
    }

private:
    const QString name_ = "spool-test-lock";
    QSqlDatabase db_;
    bool held_ = false;
};

// One stored sample as a plain read sees it.
struct StoredSample {
    qint32 id = 0;
    QDateTime date;
    QString raw;
};

// Every sample of the file or server database, oldest first, read through
// a connection of its own.
inline std::vector<StoredSample> storedSamples(const QString& path, const QString& table = "Samples")
{
    std::vector<StoredSample> rows;
    {
        QSqlDatabase db = plainConnection(path, "spool-test-read");
        if (db.open()) {
            QSqlQuery q(db);
            if (table == "Samples" && q.exec("SELECT SampleID, SampleDate, raw8700 FROM Samples ORDER BY SampleID"))
                while (q.next())
                    rows.push_back({q.value(0).toInt(), q.value(1).toDateTime(), q.value(2).toString()});
            if (table == "CalData" && q.exec("SELECT CalDate FROM CalData ORDER BY CalDate"))
                while (q.next())
                    rows.push_back({0, q.value(0).toDateTime(), QString()});
        }
    }
    QSqlDatabase::removeDatabase("spool-test-read");
    return rows;
}

inline QString integrityCheck(const QString& path)
{
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "spool-test-check");
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec("PRAGMA integrity_check") && q.next())
            result = q.value(0).toString();
    }
    QSqlDatabase::removeDatabase("spool-test-check");
    return result;
}

// A "C" message from the unit: a new calibration with these counts.
inline QByteArray calibrationMessage(int f220, int f300, int d220, int d300)
{
    QByteArray f("C");
    for (int b : {f220 >> 8, f220, f300 >> 8, f300, d220 >> 8, d220, d300 >> 8, d300, 0, 0})
        f.append(char(b & 0xFF));
    return f;
}

// The entries waiting in a program folder's spool.
inline QStringList spoolFiles(const TempHome& home)
{
    return QDir(home.file("spool")).entryList({"*.qqs"}, QDir::Files, QDir::Name);
}

} // namespace qqc::test
