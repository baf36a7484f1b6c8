#pragma once
// A small sample database for the grid tests: the tables the grid reads and five
// parameters (58 with format "0.000", 59, flag 65 without tooltip, 73, 132).

#include "db/engine.h"
#include "support/temp_home.h"

#include <QFile>
#include <QSqlQuery>
#include <QVariant>

#include <gtest/gtest.h>

#include <memory>

namespace qqc::test {

class GridFixtureDb {
public:
    GridFixtureDb()
    {
        QFile empty(path_);
        EXPECT_TRUE(empty.open(QIODevice::WriteOnly));
        empty.close();
        db_ = db::Database::open(path_);
        for (const char* sql : {
                 "CREATE TABLE Samples (SampleID INTEGER PRIMARY KEY AUTOINCREMENT, SampleNum TEXT, SampleDate DATETIME,"
                 " EquipmentID TEXT, UnitUsage TEXT, OilUsage TEXT, OilAdded TEXT, RefID INTEGER, RefDielectric REAL,"
                 " AlarmID INTEGER, CustomerID INTEGER, WearSev REAL, ContamSev REAL, ChemSev REAL, Comments TEXT)",
                 "CREATE TABLE SampleDetails (SampleID INTEGER NOT NULL, ParmID INTEGER NOT NULL, Value REAL,"
                 " Severity INTEGER, PRIMARY KEY (SampleID, ParmID))",
                 "CREATE TABLE Parameters (ParmID INTEGER PRIMARY KEY, ParmDescription TEXT, Format TEXT, Generic TEXT,"
                 " ParmType INTEGER, ParmAlarm INTEGER, ParmText TEXT)",
                 "CREATE TABLE Images (SampleID INTEGER, ReportSlot INTEGER, ImageFile TEXT)",
                 "INSERT INTO Parameters VALUES (58, 'Dielectric', '0.000', 'OVDIEL', 3, 1, 'Dielectric of the oil')",
                 "INSERT INTO Parameters VALUES (59, 'Ferrous Index', '0', 'OVFERR', 1, 1, 'Ferrous wear index')",
                 "INSERT INTO Parameters VALUES (65, 'Water Droplets', '0', 'OVLCW', 2, 0, '')",
                 "INSERT INTO Parameters VALUES (73, 'Visc Change', '0.0', 'OVDVIS', 3, 1, 'Viscosity change')",
                 "INSERT INTO Parameters VALUES (132, 'Viscosity 40C', '0.00', 'OVVISC', 0, 0, 'Viscosity at 40 C')"})
            db_->execute(QString::fromLatin1(sql));
    }
    db::Database& db() { return *db_; }
    db::Database* get() { return db_.get(); }

    struct Sample {
        QVariant sampleNum = QStringLiteral("auto");  // "auto": the SampleID text
        QVariant date = QStringLiteral("2004-03-05T10:22:31");
        QVariant equipment = QVariant();
        QVariant unitUsage = -1, oilUsage = -1, oilAdded = -1;
        QVariant wear = -1, contam = -1, chem = -1;
        QVariant refDiel = 0;
        QVariant comments = QVariant();
    };
    qint32 addSample() { return addSample(Sample{}); }
    qint32 addSample(const Sample& s)
    {
        db_->execute(QStringLiteral("INSERT INTO Samples (SampleNum, SampleDate, EquipmentID, UnitUsage, OilUsage,"
                                    " OilAdded, WearSev, ContamSev, ChemSev, RefDielectric, Comments)"
                                    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                     {s.sampleNum, s.date, s.equipment, s.unitUsage, s.oilUsage, s.oilAdded, s.wear, s.contam, s.chem,
                      s.refDiel, s.comments});
        const qint32 id = count(QStringLiteral("SELECT MAX(SampleID) FROM Samples"));
        if (s.sampleNum.toString() == QLatin1String("auto"))
            db_->execute(QStringLiteral("UPDATE Samples SET SampleNum = ? WHERE SampleID = ?"), {QString::number(id), id});
        return id;
    }
    void addDetail(qint32 sampleId, int parmId, float value, int severity)
    {
        db_->execute(QStringLiteral("INSERT INTO SampleDetails (SampleID, ParmID, Value, Severity) VALUES (?, ?, ?, ?)"),
                     {sampleId, parmId, double(value), severity});
    }
    // One value of a Samples field, or of a detail row (null when absent).
    QVariant sampleField(qint32 sampleId, const QString& field)
    {
        return scalar(QStringLiteral("SELECT %1 FROM Samples WHERE SampleID = ?").arg(field), {sampleId});
    }
    QVariant detailValue(qint32 sampleId, int parmId)
    {
        return scalar(QStringLiteral("SELECT Value FROM SampleDetails WHERE SampleID = ? AND ParmID = ?"),
                      {sampleId, parmId});
    }
    int count(const QString& sql)
    {
        const QVariant v = scalar(sql);
        return v.isValid() ? v.toInt() : -1;
    }

private:
    // The first column of the first row of `sql`, or an invalid value.
    QVariant scalar(const QString& sql, const QVariantList& binds = {})
    {
        QSqlQuery q(db_->connection());
        q.prepare(sql);
        for (const QVariant& v : binds)
            q.addBindValue(v);
        return q.exec() && q.next() ? q.value(0) : QVariant();
    }

    TempHome home_;
    QString path_ = home_.file(QStringLiteral("grid.mdb"));
    std::unique_ptr<db::Database> db_;
};

} // namespace qqc::test
