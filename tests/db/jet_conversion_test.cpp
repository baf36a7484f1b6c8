// The whole Jet conversion with a stand-in reader that streams an SQLite
// file as a Jet file would arrive, and with readers that crash, hang, write
// garbage or stop early.
#include "db/jet_conversion.h"

#include "db/old_layout.h"
#include "jet_support.h"

#include <QDir>
#include <QElapsedTimer>

using namespace qqc;
using namespace qqc::db;
using namespace qqc::test;

namespace {

class JetConversion : public ::testing::Test {
protected:
    TempHome home;
    QString source = home.file("source.sqlite");   // what the stand-in streams
    QString jet = home.file("LAB.MDB");
    QString out = defaultConvertedPath(jet);

    void SetUp() override
    {
        makeOldLayout(source);
        QFile f(jet);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(2028, '\x5a'));
    }

    JetConversionRequest request(QStringList standinArgs = {})
    {
        JetConversionRequest r;
        r.jetPath = jet;
        r.destination = out;
        r.templatePath = builtTemplate();
        r.reader.program = jetStandin();
        r.reader.arguments = standinArgs.isEmpty() ? QStringList{"--from-sqlite", source} : standinArgs;
        r.stallMs = 1500;
        r.freeSpace = [](const QString&) { return std::optional<qint64>(qint64(1) << 40); };
        return r;
    }

    QStringList folder() const { return QDir(home.path()).entryList(QDir::Files | QDir::Hidden); }
};

} // namespace

TEST_F(JetConversion, AnOldLayoutArrivesWithEveryKeyValueAndCounterAndTheJetFileIsUntouched)
{
    const QByteArray before = fileHash(jet);
    const JetConversionResult r = convertJetDatabase(request());
    ASSERT_EQ(JetConversionResult::Done, r.outcome) << r.error.toStdString();
    EXPECT_EQ(before, fileHash(jet));
    EXPECT_EQ(home.file("LAB-converted.mdb"), out);
    EXPECT_EQ((QStringList{"LAB-converted.mdb", "LAB.MDB", "source.sqlite"}), folder());

    EXPECT_EQ("3,A-3,2024-01-05T08:00:00,Océ line | 5,5,2024-01-06T09:30:00,null | 7,7,2024-02-01T10:00:00,null | "
              "9,9,2024-02-10T10:00:00,null | 11,11,2024-03-01T11:15:20,null | 12,12,2024-03-02T11:15:20,null",
              queryRows(out, "SELECT SampleID, SampleNum, SampleDate, Comments FROM Samples ORDER BY SampleID").toStdString());
    // Singles arrive as the store keeps them: the float's own value.
    EXPECT_EQ(QString::number(double(2.25f)) + "," + QString::number(double(31.5f)),
              queryRows(out, "SELECT RefDielectric, (SELECT Value FROM SampleDetails WHERE SampleID = 3 AND ParmID = 59) "
                        "FROM Samples WHERE SampleID = 3"));
    EXPECT_EQ("4,Müller,Köln", queryRows(out, "SELECT CustomerID, Lastname, City FROM Customers"));
    EXPECT_EQ("2024-01-05T08:00:00,3500 | 2024-03-01T11:15:20,3400",
              queryRows(out, "SELECT CalDate, Freq220 FROM CalData ORDER BY CalDate"));
    EXPECT_EQ("300", queryRows(out, "SELECT Databaseversion FROM SystemData"));
    // Sample 13 was deleted in the Jet file: its number is never handed out again.
    EXPECT_EQ("13", queryRows(out, "SELECT seq FROM sqlite_sequence WHERE name = 'Samples'"));
    EXPECT_EQ(6, r.upgrade.summary.rowsOf("Samples"));
}

TEST_F(JetConversion, ARowShortfallStopsShowingBothCountsUnlessAccepted)
{
    const QStringList args{"--from-sqlite", source, "--declare", "Samples=9"};
    JetConversionResult r = convertJetDatabase(request(args));
    EXPECT_EQ(JetConversionResult::ShortRows, r.outcome);
    EXPECT_TRUE(r.error.endsWith("fewer rows were read than its tables declare:\n"
                                 "Samples: 6 rows read, 9 in its table definition"))
        << r.error.toStdString();
    EXPECT_EQ((QStringList{"LAB.MDB", "source.sqlite"}), folder());

    std::vector<JetTableRows> asked;
    JetConversionRequest accepting = request(args);
    accepting.acceptShortCounts = [&](const std::vector<JetTableRows>& t) {
        asked = t;
        return true;
    };
    r = convertJetDatabase(accepting);
    EXPECT_EQ(JetConversionResult::Done, r.outcome) << r.error.toStdString();
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(9, asked[0].declared);
}

TEST_F(JetConversion, ALayoutNewerThanThisProgramAndAFileWithoutSystemDataAreRefused)
{
    runSql(source, {"UPDATE SystemData SET Databaseversion = 301"});
    JetConversionResult r = convertJetDatabase(request());
    EXPECT_EQ(JetConversionResult::Failed, r.outcome);
    EXPECT_TRUE(r.error.contains("made by a newer program")) << r.error.toStdString();
    EXPECT_FALSE(r.error.contains(".staging")) << r.error.toStdString();

    runSql(source, {"DROP TABLE SystemData"});
    r = convertJetDatabase(request());
    EXPECT_EQ(JetConversionResult::Refused, r.outcome);
    EXPECT_EQ(jet + " cannot be converted: it is not a sample database (it has no SystemData table).", r.error);
    EXPECT_EQ((QStringList{"LAB.MDB", "source.sqlite"}), folder());
}

// A reader that crashes, hangs, writes garbage or stops early ends in
// "cannot read <file>: ..."; Cancel ends the reader at once. Nothing is left.
TEST_F(JetConversion, AReaderThatMisbehavesOrIsCancelledLeavesNothing)
{
    const QByteArray before = fileHash(jet);
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--crash"}, "the reader crashed"},
        {{"--hang"}, "the reader stopped responding (nothing for 1.5 s) and was ended"},
        {{"--garbage"}, "the reader wrote something that is not a table stream"},
        {{"--from-sqlite", source, "--stop-after", "1000"}, "the reader's stream ended early"},
    };
    for (const auto& [args, why] : cases) {
        const JetConversionResult r = convertJetDatabase(request(args));
        EXPECT_EQ(JetConversionResult::Failed, r.outcome);
        EXPECT_TRUE(r.error.startsWith("cannot read " + jet + ": " + why)) << r.error.toStdString();
    }
    JetConversionRequest cancelled = request({"--hang"});
    cancelled.stallMs = 60000;
    QElapsedTimer timer;
    timer.start();
    cancelled.cancelRequested = [&] { return timer.elapsed() > 300; };
    EXPECT_EQ(JetConversionResult::Cancelled, convertJetDatabase(cancelled).outcome);
    EXPECT_LT(timer.elapsed(), 1500);
    EXPECT_EQ(before, fileHash(jet));
    EXPECT_EQ((QStringList{"LAB.MDB", "source.sqlite"}), folder());
}
