// The import's numbers and duplicates on both engines: a server hands out
// sample numbers from the key's sequence, and gives dates back as dates.
#include "db/db_fixture.h"
#include "views/exchange.h"

#include <QFile>

using namespace qqc;

namespace {

class ImportNumbers : public test::EngineCopy {};
QQC_BOTH_ENGINES(ImportNumbers);

} // namespace

TEST_P(ImportNumbers, ImportedSamplesTakeNumbersNobodyGetsAgainAndAreKnownOnTheNextRun)
{
    QFile file(home.file("in.dat"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("FILEREV   :1.04\r\nVQMNRID   :10\r\nLEVEL00   :0\r\n"
               "UNITID#   :PUMP 1\r\nTAKEDATE  :03/05/2004\r\nOVFERR    :1,234.5   ,3\r\n"
               "UNITID#   :PUMP 2\r\nTAKEDATE  :03/06/2004\r\nOVWATER   :0.25      ,0\r\n"
               "UNITID#   :PUMP 3\r\nTAKEDATE  :03/07/2004\r\n");
    file.close();
    auto store = openStoreAt(path);
    const auto storeTest = [&] {
        db::Transaction t(store->database());
        const qint32 id = store->storeTestResult(test::sampleRecord(231, 12, 150, 0), QDateTime::currentDateTime());
        t.commit();
        return id;
    };
    EXPECT_EQ(1, storeTest());
    const ImportResult first = importGenericFile(store->database(), file.fileName());
    ASSERT_EQ(ExchangeOutcome::Done, first.status) << first.error.toStdString();
    EXPECT_EQ(3, first.added);
    EXPECT_EQ(5, storeTest()) << "a station storing after the import gets the next number";

    const ImportResult second = importGenericFile(store->database(), file.fileName());
    ASSERT_EQ(ExchangeOutcome::Done, second.status) << second.error.toStdString();
    EXPECT_EQ(0, second.added);
    EXPECT_EQ(3, second.duplicates);
    EXPECT_EQ(5, store->database().queryValue("SELECT COUNT(*) FROM Samples").toInt());
}
