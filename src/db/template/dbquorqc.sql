-- The sample database template DBquorqc.tpl (layout version 300).
-- Built into an SQLite file at build time by make_template; a new database
-- is a copy of it. Column types: INTEGER, REAL (single-precision values),
-- TEXT, DATETIME (ISO text "yyyy-MM-ddTHH:mm:ss", local time). Every table
-- has a primary key (the index the program seeks on).

CREATE TABLE SystemData (
    SystemID INTEGER PRIMARY KEY,
    Databaseversion INTEGER NOT NULL DEFAULT 300
);

-- AUTOINCREMENT: a deleted sample's number is never handed out again, so a
-- sample number seen on a printed report always means the same sample.
CREATE TABLE Samples (
    SampleID INTEGER PRIMARY KEY AUTOINCREMENT,
    SampleNum TEXT,
    SampleDate DATETIME,
    EquipmentID TEXT,
    UnitUsage TEXT,
    OilUsage TEXT,
    OilAdded TEXT,
    RefID INTEGER DEFAULT 0,
    RefDielectric REAL DEFAULT 0,
    AlarmID INTEGER DEFAULT 0,
    CustomerID INTEGER,
    WearSev REAL DEFAULT -1,
    ContamSev REAL DEFAULT -1,
    ChemSev REAL DEFAULT -1,
    Comments TEXT,
    raw8700 TEXT,
    Temp TEXT,
    Calc8700 TEXT,
    PCCalc TEXT,
    Rslt8700 TEXT,
    PCRslt TEXT,
    CalData TEXT
);
CREATE INDEX SamplesEquipment ON Samples (EquipmentID, SampleDate);
CREATE INDEX SamplesDate ON Samples (SampleDate);
-- The editors' in-use checks: is a sample assigned this alarm set / oil?
CREATE INDEX SamplesAlarmID ON Samples (AlarmID);
CREATE INDEX SamplesRefID ON Samples (RefID);
-- Every field the sample grid sorts by, so that sorting reads one narrow
-- index instead of the whole table with its test records (kB per sample):
-- on a million samples, a tenth of a second instead of several seconds.
CREATE INDEX SamplesGrid ON Samples (SampleNum, EquipmentID, UnitUsage, OilUsage, OilAdded,
    WearSev, ContamSev, ChemSev, RefDielectric, Comments);

CREATE TABLE SampleDetails (
    SampleID INTEGER NOT NULL,
    ParmID INTEGER NOT NULL,
    Value REAL DEFAULT 0,
    Severity INTEGER DEFAULT 0,
    PRIMARY KEY (SampleID, ParmID)
) WITHOUT ROWID;
-- One parameter's values side by side (the table keeps a sample's rows
-- together, so one parameter's are spread over all of it): the grid sorts a
-- parameter column by reading a million of these, not every detail row.
CREATE INDEX SampleDetailsParm ON SampleDetails (ParmID, Value);

CREATE TABLE Parameters (
    ParmID INTEGER PRIMARY KEY,
    ParmDescription TEXT,
    Format TEXT,
    Generic TEXT,
    ParmType INTEGER NOT NULL DEFAULT 0 CHECK (ParmType BETWEEN 0 AND 3),
    ParmAlarm INTEGER NOT NULL DEFAULT 0,
    ParmText TEXT
);

CREATE TABLE "References" (
    RefID INTEGER PRIMARY KEY AUTOINCREMENT,
    Supplier TEXT,
    BrandName TEXT,
    OilDescription TEXT,
    RefDate DATETIME,
    RefDielectric REAL DEFAULT 0,
    RefVisc40 REAL DEFAULT 0
);

CREATE TABLE AlarmSets (
    AlarmID INTEGER PRIMARY KEY AUTOINCREMENT,
    AlarmDescription TEXT
);

CREATE TABLE AlarmData (
    AlarmID INTEGER NOT NULL,
    ParmID INTEGER NOT NULL,
    HighNormal REAL DEFAULT 0,
    Alert REAL DEFAULT 0,
    Alarm REAL DEFAULT 0,
    Extreme REAL DEFAULT 0,
    PRIMARY KEY (AlarmID, ParmID)
);

CREATE TABLE Customers (
    CustomerID INTEGER PRIMARY KEY AUTOINCREMENT,
    Lastname TEXT,
    FirstName TEXT,
    Address1 TEXT,
    City TEXT,
    State TEXT,
    Zip TEXT,
    Phone TEXT,
    EMail TEXT
);

CREATE TABLE Defaults (
    DefaultID INTEGER PRIMARY KEY,
    Ref INTEGER DEFAULT 0,
    Alarm INTEGER DEFAULT 0
);

CREATE TABLE CalData (
    CalID INTEGER PRIMARY KEY AUTOINCREMENT,
    CalDate DATETIME,
    Freq220 INTEGER,
    Freq300 INTEGER,
    Diel220 INTEGER,
    Diel300 INTEGER
);
CREATE INDEX CalDataDate ON CalData (CalDate);

CREATE TABLE Images (
    ImageID INTEGER PRIMARY KEY AUTOINCREMENT,
    SampleID INTEGER NOT NULL,
    ReportSlot INTEGER,
    ImageFile TEXT
);
CREATE INDEX ImagesSample ON Images (SampleID, ReportSlot);

-- The relationship Samples 1 - n SampleDetails / Images: deleting a sample
-- deletes its rows, whichever program deletes it (a trigger needs no
-- per-connection switch, unlike SQLite's foreign keys).
CREATE TRIGGER SamplesCascadeDelete AFTER DELETE ON Samples
BEGIN
    DELETE FROM SampleDetails WHERE SampleID = OLD.SampleID;
    DELETE FROM Images WHERE SampleID = OLD.SampleID;
END;

-- Stored queries: the SQL the program opens by name, positional "?"
-- parameters numbered from 0; UpdateTable names the table that adds and
-- edits through the query's record set go to.
CREATE TABLE StoredQueries (
    QueryName TEXT PRIMARY KEY,
    SQLText TEXT NOT NULL,
    UpdateTable TEXT
);

INSERT INTO StoredQueries VALUES ('SampleNumberQuery',
    'SELECT SampleID, SampleDate, RefID, AlarmID, SampleNum, RefDielectric, CustomerID, EquipmentID, CalData FROM Samples ORDER BY SampleID',
    'Samples');
INSERT INTO StoredQueries VALUES ('ParmListQuery',
    'SELECT ParmID, ParmDescription FROM Parameters WHERE ParmAlarm <> 0 ORDER BY ParmID',
    NULL);
INSERT INTO StoredQueries VALUES ('SampleDetailsQuery',
    'SELECT SampleID, ParmID, Value, Severity FROM SampleDetails WHERE SampleID = ? ORDER BY ParmID',
    'SampleDetails');
INSERT INTO StoredQueries VALUES ('AlarmDataQuery',
    'SELECT AlarmData.AlarmID, AlarmData.ParmID, Parameters.ParmDescription, AlarmData.HighNormal, AlarmData.Alert, AlarmData.Alarm, AlarmData.Extreme FROM AlarmData INNER JOIN Parameters ON AlarmData.ParmID = Parameters.ParmID WHERE AlarmData.AlarmID = ? ORDER BY AlarmData.ParmID',
    'AlarmData');
INSERT INTO StoredQueries VALUES ('SampleTrendQuery',
    'SELECT SampleID, SampleNum, SampleDate, EquipmentID, WearSev, ContamSev, ChemSev FROM Samples WHERE EquipmentID = ? AND SampleDate <= ? ORDER BY SampleDate, SampleID',
    NULL);
INSERT INTO StoredQueries VALUES ('CalDataQuery',
    'SELECT CalDate, Freq220, Freq300, Diel220, Diel300 FROM CalData ORDER BY CalDate, CalID',
    NULL);

INSERT INTO SystemData (SystemID, Databaseversion) VALUES (1, 300);

-- The parameter catalogue. ParmType: 1 Wear, 2 Contamination, 3 Chemistry,
-- 0 none. ParmAlarm: judged against alarm sets (flags 65..67 are always
-- judged as flags).
INSERT INTO Parameters VALUES (56, 'Dielectric Change', '0.00', 'OVCORR', 3, 1,
    'Dielectric change against the reference oil, x 100');
INSERT INTO Parameters VALUES (58, 'Dielectric', '0.00', 'OVDIEL', 3, 0,
    'Dielectric constant of the sample');
INSERT INTO Parameters VALUES (59, 'Ferrous Index', '#,##0.0', 'OVFERR', 1, 1,
    'Ferrous wear index');
INSERT INTO Parameters VALUES (60, 'Water', '0.00', 'OVWATER', 2, 1,
    'Water index');
INSERT INTO Parameters VALUES (65, 'Large Water Droplets', '#,##0', 'OVLCWAT', 2, 0,
    'Large contamination: water droplets (1 = present)');
INSERT INTO Parameters VALUES (66, 'Large Ferrous Particles', '#,##0', 'OVLCFER', 1, 0,
    'Large contamination: ferrous particles (1 = present)');
INSERT INTO Parameters VALUES (67, 'Large Non-Ferrous Particles', '#,##0', 'OVLCNF', 2, 0,
    'Large contamination: non-ferrous particles (1 = present)');
INSERT INTO Parameters VALUES (73, 'Viscosity Change %', '#,##0.0', 'OVDVIS', 3, 1,
    'Viscosity change against the reference oil, percent');
INSERT INTO Parameters VALUES (132, 'Viscosity @ 40C', '#,##0.0', 'OVVISC', 3, 0,
    'Kinematic viscosity at 40 C, cSt');

-- A reference oil every new sample starts with, and one alarm set with
-- limits for each alarmed parameter, so a new database judges tests at once.
INSERT INTO "References" (RefID, Supplier, BrandName, OilDescription, RefDate, RefDielectric, RefVisc40)
    VALUES (1, 'Generic', 'ISO VG 46', 'Mineral hydraulic oil (edit to match your new oil)',
            '2026-01-01T00:00:00', 2.20, 46.0);

INSERT INTO AlarmSets (AlarmID, AlarmDescription) VALUES (1, 'Standard Limits');
INSERT INTO AlarmData VALUES (1, 56, 10, 20, 35, 50);
INSERT INTO AlarmData VALUES (1, 59, 10, 25, 50, 100);
INSERT INTO AlarmData VALUES (1, 60, 1, 2, 4, 8);
INSERT INTO AlarmData VALUES (1, 73, 5, 10, 15, 25);

INSERT INTO Defaults (DefaultID, Ref, Alarm) VALUES (1, 1, 1);
