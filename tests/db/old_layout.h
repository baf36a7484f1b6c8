#pragma once
// A database of an older layout (Databaseversion 299), as the earlier
// program left them: columns and tables of today's layout missing, a column
// since dropped, calibration texts empty and malformed, a user alarm set 1
// (the template's own number) and a new one, a reference oil over the
// template's, Parameters rows inside and outside the catalogue.
//
// Samples 3, 5, 7, 9, 11, 12 (sample 13 was deleted: the counter is 13):
//   3  2024-01-05 CalData "3500,2900,220,300"   details 58, 59
//   5  2024-01-06 CalData ""                    details 58
//   7  2024-02-01 CalData "3500,2900,220,300"
//   9  2024-02-10 CalData "3500,2900,abc,300"   (malformed: skipped)
//   11 2024-03-01 CalData "3400,2950,220,301"
//   12 2024-03-02 CalData NULL
// giving two history rows, 2024-01-05 and 2024-03-01.

#include "db/db_fixture.h"

namespace qqc::test {

inline void makeOldLayout(const QString& path, int version = 299)
{
    runSql(path, {
        "CREATE TABLE SystemData (Databaseversion INTEGER)",
        QString("INSERT INTO SystemData VALUES (%1)").arg(version),
        "CREATE TABLE Samples (SampleID INTEGER PRIMARY KEY AUTOINCREMENT, SampleNum TEXT, SampleDate DATETIME, "
        "EquipmentID TEXT, RefID INTEGER, RefDielectric REAL, AlarmID INTEGER, CustomerID INTEGER, WearSev REAL, "
        "ContamSev REAL, ChemSev REAL, Comments TEXT, raw8700 TEXT, CalData TEXT, Operator TEXT)",
        "INSERT INTO Samples VALUES (3, 'A-3', '2024-01-05T08:00:00', 'PUMP 1', 2, 2.25, 1, 4, 0, 10, 0, "
        "'Océ line', '1,2,3', '3500,2900,220,300', 'jo')",
        "INSERT INTO Samples VALUES (5, '5', '2024-01-06T09:30:00', 'PUMP 1', 2, 2.25, 7, NULL, -1, -1, -1, NULL, "
        "NULL, '', NULL)",
        "INSERT INTO Samples VALUES (7, '7', '2024-02-01T10:00:00', 'PUMP 2', 1, 2.2, 1, 4, 0, 0, 0, NULL, NULL, "
        "'3500,2900,220,300', NULL)",
        "INSERT INTO Samples VALUES (9, '9', '2024-02-10T10:00:00', 'PUMP 2', 1, 2.2, 1, 4, 0, 0, 0, NULL, NULL, "
        "'3500,2900,abc,300', NULL)",
        "INSERT INTO Samples VALUES (11, '11', '2024-03-01T11:15:20', 'PUMP 2', 1, 2.2, 1, 4, 0, 0, 0, NULL, NULL, "
        "'3400,2950,220,301', NULL)",
        "INSERT INTO Samples VALUES (12, '12', '2024-03-02T11:15:20', 'PUMP 2', 1, 2.2, 1, 4, 0, 0, 0, NULL, NULL, "
        "NULL, NULL)",
        "INSERT INTO Samples VALUES (13, '13', '2024-03-03T00:00:00', 'X', 1, 2.2, 1, 4, 0, 0, 0, NULL, NULL, NULL, NULL)",
        "DELETE FROM Samples WHERE SampleID = 13",
        "CREATE TABLE SampleDetails (SampleID INTEGER, ParmID INTEGER, Value REAL, Severity INTEGER, "
        "PRIMARY KEY (SampleID, ParmID))",
        "INSERT INTO SampleDetails VALUES (3, 58, 2.5, 0), (3, 59, 31.5, 2), (5, 58, 2.4, 1)",
        "CREATE TABLE Customers (CustomerID INTEGER PRIMARY KEY AUTOINCREMENT, Lastname TEXT, City TEXT)",
        "INSERT INTO Customers VALUES (4, 'Müller', 'Köln')",
        "CREATE TABLE AlarmSets (AlarmID INTEGER PRIMARY KEY, AlarmDescription TEXT)",
        "INSERT INTO AlarmSets VALUES (1, 'Our limits'), (7, 'Gearboxes')",
        "CREATE TABLE AlarmData (AlarmID INTEGER, ParmID INTEGER, HighNormal REAL, Alert REAL, Alarm REAL, "
        "Extreme REAL, PRIMARY KEY (AlarmID, ParmID))",
        "INSERT INTO AlarmData VALUES (1, 59, 5, 6, 7, 8), (7, 60, 1, 2, 3, 4)",
        "CREATE TABLE \"References\" (RefID INTEGER PRIMARY KEY, Supplier TEXT, BrandName TEXT, RefDielectric REAL)",
        "INSERT INTO \"References\" VALUES (1, 'Shell', 'Tellus 46', 2.2), (2, 'Mobil', 'DTE 25', 2.25)",
        "CREATE TABLE Parameters (ParmID INTEGER PRIMARY KEY, ParmDescription TEXT, Format TEXT, Generic TEXT, "
        "ParmType INTEGER, ParmAlarm INTEGER)",
        "INSERT INTO Parameters VALUES (58, 'Old name', '0.0', 'OVDIEL', 3, 0), (99, 'TAN', '0.00', 'OVTAN', 3, 1), "
        "(1001, 'Lab note', '', 'LABNOTE', 0, 0), (20, 'Stray', '', 'STRAY', 0, 0)",
        "CREATE TABLE Defaults (ID INTEGER PRIMARY KEY, Ref INTEGER, Alarm INTEGER)",
        "INSERT INTO Defaults VALUES (1, 2, 7)",
        "CREATE TABLE Images (SampleID INTEGER, ReportSlot INTEGER, ImageFile TEXT)",
        "INSERT INTO Images VALUES (3, 1, 'pump1.jpg')",
    });
}

} // namespace qqc::test
