#pragma once
// A small sample database for the grid tests: the tables the grid reads and five
// parameters (58 with format "0.000", 59, flag 65 without tooltip, 73, 132).

#include "db/engine.h"
#include "support/temp_home.h"

#include <QVariant>

#include <memory>

namespace qqc::test {

class GridFixtureDb {
public:
    GridFixtureDb();
    db::Database& db() { return *db_; }
    db::Database* get() { return db_.get(); }
    QString path() const { return path_; }

    struct Sample {
        QVariant sampleNum = QStringLiteral("auto");  // "auto": the SampleID text
        QVariant date = QStringLiteral("2004-03-05T10:22:31");
        QVariant equipment = QVariant();
        QVariant unitUsage = -1;
        QVariant oilUsage = -1;
        QVariant oilAdded = -1;
        QVariant wear = -1;
        QVariant contam = -1;
        QVariant chem = -1;
        QVariant refDiel = 0;
        QVariant comments = QVariant();
    };
    qint32 addSample(const Sample& s);
    qint32 addSample() { return addSample(Sample{}); }
    void addDetail(qint32 sampleId, int parmId, float value, int severity);
    // One value of a Samples field, or of a detail row (null when absent).
    QVariant sampleField(qint32 sampleId, const QString& field);
    QVariant detailValue(qint32 sampleId, int parmId);
    int count(const QString& sql);

private:
    TempHome home_;
    QString path_;
    std::unique_ptr<db::Database> db_;
};

} // namespace qqc::test
