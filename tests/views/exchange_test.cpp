// The exchange core on copies of the built template, a file and a server
// database: both exports against files written by hand, the import's rules
// and refusals, and a round trip.

#include "db/db_fixture.h"
#include "views/exchange.h"
#include "views/generic_file.h"

#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

using namespace qqc;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray golden(const char* name) { return readAll(test::sourceDir() + "/tests/data/" + name); }

class ExchangeTest : public test::EngineCopy {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        EngineCopy::SetUp();
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    // Four samples covering the writers' rules (see the golden files).
    void addGoldenSamples()
    {
        test::runSql(path, {
            "UPDATE Parameters SET Format = '0.00' WHERE ParmID = 132",
            "UPDATE Parameters SET Generic = 'OVWATERLONG1' WHERE ParmID = 60",
            "INSERT INTO Parameters (ParmID, ParmDescription, Format, Generic) VALUES (1058, 'Dielectric Raw', '', 'OVDIELR')",
            "INSERT INTO Samples (SampleID, SampleNum, SampleDate, EquipmentID, UnitUsage, OilUsage, OilAdded, WearSev,"
            " ContamSev, ChemSev, RefDielectric) VALUES (1, '0', '2004-03-05T10:07:00', 'PUMP \u00e9', '1200',"
            " '-1', '0', -1, 12, 47, 2.2)",
            "INSERT INTO Samples (SampleID, SampleNum, SampleDate, EquipmentID, WearSev, ContamSev, ChemSev, RefDielectric,"
            " Comments) VALUES (2, NULL, '2004-03-06T08:05:00', 'GEARBOX, LEFT', 5, 5, 5, 0, '')",
            "INSERT INTO Samples (SampleID, SampleNum, SampleDate, EquipmentID, WearSev, ContamSev, ChemSev, RefDielectric)"
            " VALUES (3, '17', '2004-03-07T00:00:00', 'TANK', 0, 0, 0, NULL)",
            "INSERT INTO Samples (SampleID, SampleNum, SampleDate, EquipmentID, WearSev, ContamSev, ChemSev, RefDielectric)"
            " VALUES (4, '4', '2004-03-08T12:00:00', 'MIXER', 2.5, NULL, -1, NULL)",
            "INSERT INTO SampleDetails VALUES (1, 56, -999, 0)",
            "INSERT INTO SampleDetails VALUES (1, 58, CAST(2.2 AS REAL), 0)",
            "INSERT INTO SampleDetails VALUES (1, 59, 1234.5, 3)",
            "INSERT INTO SampleDetails VALUES (1, 132, 45.2, 3)",
            "INSERT INTO SampleDetails VALUES (1, 1058, 2.25, 0)",
            "INSERT INTO SampleDetails VALUES (2, 59, 1234567, 4)",
            "INSERT INTO SampleDetails VALUES (3, 60, 0.5, 1)",
        });
        db::Database::open(path)->execute("UPDATE Samples SET Comments = ? WHERE SampleID = 1",
                                          {QString("left, \"hot\"\r\nside")});
    }
    ExportResult exportTo(const QString& file, ExportFormat format, std::vector<qint32> ids = {1, 2, 3, 4})
    {
        ExportRequest request;
        request.format = format;
        request.path = home.file(file);
        request.sampleIds = std::move(ids);
        request.askMissingEquipment = false;
        return exportSamples(store->database(), request);
    }
    ImportResult import(const QByteArray& bytes, db::Database* into = nullptr)
    {
        home.write("in.dat", bytes);
        return importGenericFile(into ? *into : store->database(), home.file("in.dat"));
    }
    QString rows(db::Database& db)
    {
        QStringList out;
        auto rs = db.createQueryDef("SELECT s.SampleID, s.SampleNum, s.SampleDate, CASE WHEN s.EquipmentID IS NULL"
                                    " THEN 'NULL' ELSE '''' || s.EquipmentID || '''' END AS Unit, d.ParmID, d.Value,"
                                    " d.Severity FROM Samples s LEFT JOIN SampleDetails d ON d.SampleID = s.SampleID"
                                    " ORDER BY 1, 5")
                      ->openRecordset();
        for (; !rs->eof(); rs->moveNext()) {
            QStringList f;
            for (const QString& field : rs->fieldNames())
                f << rs->value(field).toString();
            out << f.join('|');
        }
        return out.join('\n');
    }
    QString rows() { return rows(store->database()); }

    std::unique_ptr<db::SampleDatabase> store;
};

QQC_BOTH_ENGINES(ExchangeTest);

const QByteArray kHeader = "FILEREV   :1.04\r\nVQMNRID   :10\r\nLEVEL00   :0\r\n";

TEST_P(ExchangeTest, BothExportsMatchTheHandWrittenFilesByteForByte)
{
    addGoldenSamples();
    store = openStore();
    const ExportResult csv = exportTo("out.csv", ExportFormat::Csv);
    ASSERT_EQ(csv.status, ExchangeOutcome::Done) << csv.error.toStdString();
    EXPECT_EQ(readAll(home.file("out.csv")), golden("exchange_golden.csv"));
    const ExportResult dat = exportTo("out.dat", ExportFormat::Generic);
    ASSERT_EQ(dat.status, ExchangeOutcome::Done) << dat.error.toStdString();
    EXPECT_EQ(readAll(home.file("out.dat")), golden("exchange_golden.dat"));
    EXPECT_TRUE(dat.missingEquipment.empty());
    EXPECT_TRUE(dat.replacedCharacters.empty()) << "e-acute is Windows-1252";
}

TEST_P(ExchangeTest, AFailedOrCancelledExportLeavesTheOldFileAndAnUndatedSampleIsRefusedByName)
{
    addGoldenSamples();
    test::runSql(path, {"INSERT INTO Samples (SampleID, EquipmentID, Comments) VALUES (5, '', 'pump \u20ac \u4e2d')"});
    store = openStore();
    home.write("out.dat", "old");
    const ExportResult refused = exportTo("out.dat", ExportFormat::Generic, {1, 5});
    EXPECT_EQ(refused.status, ExchangeOutcome::Failed);
    EXPECT_TRUE(refused.error.contains("Sample 5 has no date")) << refused.error.toStdString();
    EXPECT_EQ(readAll(home.file("out.dat")), "old");

    ExportRequest cancelled;
    cancelled.path = home.file("out.dat");
    cancelled.sampleIds = {1, 2};
    cancelled.progress = [](qint64 done, qint64) { return done == 0; };
    EXPECT_EQ(exportSamples(store->database(), cancelled).status, ExchangeOutcome::Cancelled);
    EXPECT_EQ(readAll(home.file("out.dat")), "old");

    // The CSV writes it with an empty date, names the missing equipment ID
    // and the character 1252 cannot hold (the euro sign it can).
    const ExportResult csv = exportTo("out.csv", ExportFormat::Csv, {5, 99});
    ASSERT_EQ(csv.status, ExchangeOutcome::Done);
    EXPECT_TRUE(readAll(home.file("out.csv")).endsWith("\r\n5,5,,,,,,-1,-1,-1,0,,,,,,,,,,,pump \x80 ?,\r\n"));
    EXPECT_EQ(csv.missingEquipment, std::vector<qint32>{5});
    EXPECT_EQ(csv.replacedCharacters, std::vector<qint32>{5});
    EXPECT_EQ(csv.missingSamples, std::vector<qint32>{99});
}

TEST_P(ExchangeTest, RoundTripBringsBackIdsDatesAndValuesAndTheSecondRunFindsOnlyDuplicates)
{
    addGoldenSamples();
    store = openStore();
    ASSERT_EQ(exportTo("out.dat", ExportFormat::Generic).status, ExchangeOutcome::Done);
    auto status = db::SampleDatabase::OpenStatus::NeedsUpgrade;
    auto fresh = db::SampleDatabase::open(anotherCopy(), status);
    ASSERT_TRUE(fresh);

    const ImportResult first = importGenericFile(fresh->database(), home.file("out.dat"));
    ASSERT_EQ(first.status, ExchangeOutcome::Done) << first.error.toStdString();
    EXPECT_EQ(first.report,
              "Adding: PUMP \u00e9, 03/05/2004\r\nAdding: GEARBOX, LEFT, 03/06/2004\r\nAdding: TANK, 03/07/2004\r\n"
              "Adding: MIXER, 03/08/2004\r\n"
              "Not imported: 2 line(s) with tags this import does not read (OVDIEL, OVWATERLONG1)\r\n");
    EXPECT_EQ(rows(fresh->database()).toStdString(),
              "1|1|2004-03-05T00:00:00|'PUMP \u00e9'|59|1234.5|0\n1|1|2004-03-05T00:00:00|'PUMP \u00e9'|132|45.20000076293945|0\n"
              "2|2|2004-03-06T00:00:00|'GEARBOX, LEFT'|59|1234567|0\n"
              "3|3|2004-03-07T00:00:00|'TANK'|||\n4|4|2004-03-08T00:00:00|'MIXER'|||");

    const ImportResult second = importGenericFile(fresh->database(), home.file("out.dat"));
    ASSERT_EQ(second.status, ExchangeOutcome::Done);
    EXPECT_EQ(second.added, 0);
    EXPECT_EQ(second.duplicates, 4);
    EXPECT_TRUE(second.report.startsWith("Duplicate: PUMP \u00e9, 03/05/2004\r\nDuplicate: GEARBOX, LEFT, 03/06/2004\r\n"));
}

TEST_P(ExchangeTest, ImportFollowsTheBlockRulesInBothEncodings)
{
    // A stored test of the same unit and day, but not at midnight, is no
    // duplicate: only an imported sample's date is.
    test::runSql(path, {"INSERT INTO Samples (SampleID, SampleDate, EquipmentID) VALUES (39, '2004-03-09T10:07:00',"
                        " 'PUMP \"A\" \u00e9'), (40, '2004-03-05T00:00:00', NULL)"});
    // Rows written with their numbers: a server's key sequence goes on after them.
    if (onServer())
        test::runSql(path, {"SELECT setval(pg_get_serial_sequence('samples', 'sampleid'), 40)"});
    store = openStore();
    const QByteArray file = kHeader +
        "GARBAGE BEFORE ANY SAMPLE\r\n"
        "OVFERR    :not read  ,1\r\n"
        "UNITID#   :PUMP \"A\" \xe9\r\n"
        "SAMPLEID  :777\r\n"
        "TAKEDATE  :3/9/2004\r\n"
        "OVFERR    :1,234.5   ,3\r\n"
        "\r\n"
        "OVCONT    :9         ,1\r\n"
        "OVVISC    :1,234,567.0\r\n"
        "                    ,4\r\n"
        "TAKEDATE  :03/10/2004\r\n"
        "OVWATER   :0.25      ,0\r\n"
        "UNITID#   :PUMP \"A\" \xe9\r\n"
        "TAKEDATE  :3/9/2004\r\n"
        "NO FORM AT ALL IN A DUPLICATE BLOCK\r\n"
        "UNITID#   :GEARBOX, LEFT, FRONT,3\r\n"
        "TAKEDATE  :03/11/2004\r\n"
        "UNITID#   :\r\n"
        "TAKEDATE  :03/05/2004\r\n"
        "OVCORR    :5.00      ,2\r\n";
    const ImportResult r = import(file);
    ASSERT_EQ(r.status, ExchangeOutcome::Done) << r.error.toStdString();
    EXPECT_EQ(r.report, "Adding: PUMP \"A\" \u00e9, 3/9/2004\r\nAdding: PUMP \"A\" \u00e9, 03/10/2004\r\n"
                        "Duplicate: PUMP \"A\" \u00e9, 3/9/2004\r\nAdding: GEARBOX, LEFT, FRONT, 03/11/2004\r\n"
                        "Duplicate: , 03/05/2004\r\n");
    EXPECT_EQ(rows().toStdString(), "39||2004-03-09T10:07:00|'PUMP \"A\" \u00e9'|||\n"
                      "40||2004-03-05T00:00:00|NULL|||\n"
                      "41|41|2004-03-09T00:00:00|'PUMP \"A\" \u00e9'|59|1234.5|0\n"
                      "41|41|2004-03-09T00:00:00|'PUMP \"A\" \u00e9'|132|1234567|0\n"
                      "42|42|2004-03-10T00:00:00|'PUMP \"A\" \u00e9'|60|0.25|0\n"
                      "43|43|2004-03-11T00:00:00|'GEARBOX, LEFT, FRONT'|||");

    // The same text in UTF-8 (with and without its mark, LF and CR line
    // ends) adds nothing new: all duplicates.
    for (const QByteArray& utf8 : {QString::fromLatin1(file).toUtf8().replace("\r\n", "\n"),
                                   "\xEF\xBB\xBF" + QString::fromLatin1(file).toUtf8().replace("\r\n", "\r")}) {
        const ImportResult again = import(utf8);
        ASSERT_EQ(again.status, ExchangeOutcome::Done) << again.error.toStdString();
        EXPECT_EQ(again.added, 0);
        EXPECT_EQ(again.duplicates, 5);
    }
}

TEST_P(ExchangeTest, EveryBadInputRefusesTheWholeFileNamingItsLine)
{
    store = openStore();
    const QString before = rows();
    const QByteArray good = "UNITID#   :OK\r\nTAKEDATE  :01/02/2004\r\nOVFERR    :1.0       ,0\r\n";
    const std::pair<QByteArray, QString> cases[] = {
        {good + "UNITID#   :X\r\nTAKEDATE  :01/02/2004\r\nJUNK LINE\r\n", "Line 6, not a line of a generic file: \"JUNK LINE\""},
        {good + "UNITID#   :X\r\nTAKEDATE  :02/30/2004\r\n", "Line 5, not a date"},
        {good + "UNITID#   :X\r\nTAKEDATE  :2/3/04\r\n", "Line 5, not a date"},
        {good + "UNITID#   :X\r\nTAKEDATE  :01/03/2004\r\nOVWATER   :abc       ,0\r\n", "Line 6, not a number"},
        {good + "UNITID#   :X\r\nTAKEDATE  :01/03/2004\r\nOVWATER   :1e39      ,0\r\n", "Line 6, not a number"},
        {good + "UNITID#   :CUT\r\nSAMPLEID  :5\r\n", "Line 4, the file ends after this unit ID"},
        {"FILEREV   :1.04\r\nUNITID#   :A\r\n", "no TAKEDATE"},
        {QByteArray("\xFF\xFE") + QByteArray("U\0N\0", 4), "UTF-16"},
        {good + QByteArray("\0", 1), "NUL"},
    };
    for (const auto& [bytes, reason] : cases) {
        const ImportResult r = import(bytes);
        EXPECT_EQ(r.status, ExchangeOutcome::Failed) << reason.toStdString();
        EXPECT_TRUE(r.error.contains(reason)) << r.error.toStdString() << " / " << reason.toStdString();
        EXPECT_EQ(rows(), before);
    }
    // Another revision is read, with a warning.
    const ImportResult other = import("FILEREV   :1.03\r\n" + good);
    EXPECT_EQ(other.report, "Warning: file revision 1.03, read as revision 1.04\r\nAdding: OK, 01/02/2004\r\n");
}

} // namespace
