// The live grid on a shared server database: what another station stores
// comes in as first rows within a second, through a reconnect too; the
// station's own notices, a rolled-back insert and a large batch do not make
// rows of their own. Skipped without the test server.
#include "db/db_fixture.h"
#include "db/server_notices.h"
#include "views/sample_grid_model.h"

#include <QSignalSpy>
#include <QTest>

using namespace qqc;

namespace {

class LiveGrid : public test::TemplateCopy {
protected:
    std::unique_ptr<test::ServerDatabase> server;
    std::unique_ptr<db::SampleDatabase> here, there;  // this station and another one
    SampleGridModel model;
    const QDateTime now{QDate(2026, 3, 2), QTime(9, 30)};

    void SetUp() override
    {
        TemplateCopy::SetUp();
        if (test::serverAdminUri().isEmpty())
            GTEST_SKIP() << "no test server (QQC_TEST_PG_URI unset; scripts/pg_cluster.sh starts one)";
        server = std::make_unique<test::ServerDatabase>();
        ASSERT_NO_THROW(db::createServerDatabase(server->uri(), test::builtTemplate()));
        ASSERT_EQ(1, triggers());
        // A server database made before the live view: the first station to
        // open it adds the trigger.
        test::runSql(server->uri(), {"DROP TRIGGER qqc_samples_notice ON samples",
                                     "DROP FUNCTION qqc_samples_notice_fn()"});
        ASSERT_EQ(0, triggers());
        here = openStoreAt(server->uri());
        there = openStoreAt(server->uri());
        ASSERT_EQ(1, triggers());
        model.setStore(SampleGridStore(&here->database()));
        model.reload(true);
        ASSERT_TRUE(model.isLive());
    }
    void TearDown() override { model.setStore({}); }

    int triggers() const
    {
        return db::Database::open(server->uri())
            ->queryValue("SELECT COUNT(*) FROM pg_trigger WHERE tgname = 'qqc_samples_notice'").toInt();
    }
    bool onTop(qint32 sampleId, int ms = 1000)
    {
        return QTest::qWaitFor([&] { return model.sampleIdAt(0) == sampleId; }, ms);
    }
    std::vector<qint32> topRows(int n) const
    {
        return {model.sampleIds().begin(), model.sampleIds().begin() + std::min<int>(n, model.rowCount())};
    }
};

} // namespace

TEST_F(LiveGrid, AnotherStationsSampleComesInOnTopAndOwnNoticesAddNothing)
{
    const int before = model.rowCount();
    const qint32 foreign = there->AddNewSample(now);
    ASSERT_TRUE(onTop(foreign)) << "another station's sample within a second";
    // The window adds the station's own samples itself; the notice of an own
    // store adds nothing, even of one the window was not told of.
    const qint32 own = here->AddNewSample(now);
    model.insertSampleAtTop(own);
    const qint32 untold = here->AddNewSample(now);
    const qint32 next = there->AddNewSample(now);
    ASSERT_TRUE(onTop(next));
    EXPECT_EQ((std::vector<qint32>{next, own, foreign}), topRows(3));
    EXPECT_EQ(before + 3, model.rowCount());
    EXPECT_EQ(-1, model.rowOfSample(untold));
}

TEST_F(LiveGrid, ARolledBackInsertNeverShowsAndABatchIsOneInsert)
{
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    qint32 rolledBack = 0;
    {
        db::Transaction tx(there->database());
        rolledBack = there->AddNewSample(now);
    }
    std::vector<qint32> five;
    {
        db::Transaction tx(there->database());
        for (int i = 0; i < 5; ++i)
            five.insert(five.begin(), there->AddNewSample(now));
        tx.commit();
    }
    ASSERT_TRUE(onTop(five.front()));
    EXPECT_EQ(five, topRows(5)) << "newest on top";
    EXPECT_EQ(-1, model.rowOfSample(rolledBack));
    ASSERT_EQ(1, inserts.count());

    // Too many to name (a copy, an import): one notice, one insert.
    const int rows = model.rowCount();
    there->database().execute("INSERT INTO Samples (SampleDate) SELECT LOCALTIMESTAMP(0) FROM generate_series(1, 2000)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == rows + 2000; }, 1000));
    EXPECT_EQ(2, inserts.count());
}

TEST_F(LiveGrid, AfterItsConnectionIsKilledTheGridListensAgainAndCatchesUp)
{
    QSignalSpy resumed(here->database().listen("qqc_samples"), &db::ServerNotices::resumed);
    const qint64 pid = here->database().queryValue("SELECT pg_backend_pid()").toLongLong();
    test::runSql(test::serverAdminUri(), {QString("SELECT pg_terminate_backend(%1)").arg(pid)});
    const qint32 meanwhile = there->AddNewSample(now);
    // This station runs no statement: its watch notices the loss by itself.
    ASSERT_TRUE(QTest::qWaitFor([&] { return resumed.count() == 1; }, 3000));
    ASSERT_TRUE(onTop(meanwhile)) << "stored while the connection was away";
    const qint32 next = there->AddNewSample(now);
    ASSERT_TRUE(onTop(next)) << "heard on the new connection";
    EXPECT_NE(pid, here->database().queryValue("SELECT pg_backend_pid()").toLongLong());
}

TEST_F(LiveGrid, ASortedGridTakesAnArrivalOnTopAndTheNextSortPlacesIt)
{
    const SampleGridStore other(&there->database());
    const auto storeNumbered = [&](const char* number) {
        db::Transaction tx(there->database());
        const qint32 id = there->AddNewSample(now);
        other.setSampleField(id, "SampleNum", QString(number));
        tx.commit();
        return id;
    };
    const qint32 high = storeNumbered("900"), low = storeNumbered("100");
    ASSERT_TRUE(onTop(low));
    model.sortByColumn(SampleGridModel::ColSampleNum, true);
    ASSERT_EQ(high, model.sampleIdAt(0));
    const qint32 middle = storeNumbered("500");
    ASSERT_TRUE(onTop(middle)) << "a new sample is where new samples always appear";
    model.sortByColumn(SampleGridModel::ColSampleNum, true);
    EXPECT_EQ((std::vector<qint32>{high, middle, low}), topRows(3));
}
