// The grid's row order by each kind of column, on a copy of the built
// template: blanks, the -1 / 0 "no value" markers, numbers written as text,
// texts after numbers, case, ties and the reversed ascending order.

#include "db/db_fixture.h"
#include "views/sample_grid_model.h"
#include "views/sample_grid_store.h"

#include <gtest/gtest.h>

using namespace qqc;

namespace {

class GridSortOrder : public test::TemplateCopy {
protected:
    void SetUp() override
    {
        TemplateCopy::SetUp();
        store = openStore();
        ASSERT_TRUE(store);
    }
    // One sample per value, in the given order, with `field` set to it.
    void addSamples(const QString& field, const QVariantList& values)
    {
        for (const QVariant& v : values) {
            QVariant id;
            store->database().executeOn("Samples", QString("INSERT INTO Samples (%1) VALUES (?)").arg(field), {v}, &id);
            ids.push_back(id.toInt());
        }
    }
    // The order of the samples in `ids` as their positions there (others
    // left out); checks that ascending is the exact reverse of descending
    // and that sorting wrote nothing to the file (no index, no row).
    std::vector<int> order(GridSortKey::Kind kind, int parmId = 0)
    {
        db::Database& db = store->database();
        const int schema = db.queryValue("PRAGMA schema_version").toInt();
        const int changes = db.queryValue("SELECT total_changes()").toInt();
        const SampleGridStore grid(&db);
        const std::vector<qint32> desc = grid.loadSampleIds({kind, parmId, true});
        std::vector<qint32> asc = grid.loadSampleIds({kind, parmId, false});
        EXPECT_EQ(db.queryValue("PRAGMA schema_version").toInt(), schema);
        EXPECT_EQ(db.queryValue("SELECT total_changes()").toInt(), changes);
        std::reverse(asc.begin(), asc.end());
        EXPECT_EQ(desc, asc) << "ascending is not the reverse of descending";
        std::vector<int> positions;
        for (qint32 id : desc)
            if (const auto it = std::find(ids.begin(), ids.end(), id); it != ids.end())
                positions.push_back(int(it - ids.begin()));
        return positions;
    }

    std::unique_ptr<db::SampleDatabase> store;
    std::vector<qint32> ids;
};

using V = QVariantList;

TEST_F(GridSortOrder, SampleNumbersAsNumbersTextsAfterThemBinaryAndBlankOrZeroAsTheSampleId)
{
    // Only blanks are trimmed; a number text may be cut short ("1e" is 1,
    // "5-3" is 5, "e5" is 0); a tab makes it text.
    addSamples("SampleNum", V{QVariant(), "", "   ", "0", " 0 ", "12", " 12", "9", "1e1", "1e", "e5", "5-3", "B-1",
                              "b-1", "abc", "\t3", "7", "7", "2.5", "-4", "1000000", ".5", "5.", "1e400", "+-1"});
    // Blank, zero, "e5" and "+-1" sort as their SampleIDs (1..25 here).
    EXPECT_EQ(order(GridSortKey::SampleNumber),
              (std::vector<int>{13, 14, 12, 15, 23, 20, 24, 6, 5, 10, 8, 7, 17, 16, 22, 11, 4, 3, 2, 18, 1, 9, 0, 21,
                                19}));
}

TEST_F(GridSortOrder, TextColumnsIgnoreAsciiCaseOnlyAndTiesKeepTheNewestFirst)
{
    addSamples("EquipmentID",
               V{"pump", "PUMP", "Pump2", "10", "9", " ", QVariant(), "\xc3\x84" /* Ä */, "\xc3\xa4", "", "pump"});
    EXPECT_EQ(order(GridSortKey::EquipmentId), (std::vector<int>{8, 7, 2, 10, 1, 0, 3, 4, 9, 6, 5}));
    ids.clear();
    addSamples("Comments", V{"b", "A", "a", "2", QVariant()});
    EXPECT_EQ(order(GridSortKey::Comments), (std::vector<int>{0, 2, 1, 3, 4}));
}

TEST_F(GridSortOrder, UsageMinusOneAndBelowIsBlankTextIsKeptAfterNumbers)
{
    addSamples("UnitUsage", V{"-1", "-0.5", "-5", "n/a", "", 3, 2.5, "30", QVariant(), "N/A", "3"});
    EXPECT_EQ(order(GridSortKey::UnitUsage), (std::vector<int>{3, 9, 7, 10, 5, 6, 1, 8, 4, 2, 0}));
}

TEST_F(GridSortOrder, SeveritiesBelowZeroAndReferenceZeroAreBlank)
{
    addSamples("WearSev", V{-1, 0, 85, QVariant(), 12.5, -0.01, 85});
    EXPECT_EQ(order(GridSortKey::WearSev), (std::vector<int>{6, 2, 4, 1, 5, 3, 0}));
    ids.clear();
    addSamples("RefDielectric", V{0, 2.2, QVariant(), 2.15, -1});
    EXPECT_EQ(order(GridSortKey::RefDielectric), (std::vector<int>{1, 3, 4, 2, 0}));
}

TEST_F(GridSortOrder, DatesAsStoredNewestSampleFirstOnTies)
{
    addSamples("SampleDate", V{"2004-03-05T10:22:31", QVariant(), "2004-03-05T10:22:31", "2011-01-01T00:00:00",
                               "1999-12-31T23:59:59"});
    EXPECT_EQ(order(GridSortKey::Date), (std::vector<int>{3, 2, 0, 4, 1}));
}

TEST_F(GridSortOrder, ParameterByValueThenUnsetValueThenSamplesWithoutTheParameter)
{
    addSamples("SampleNum", V{"1", "2", "3", "4", "5", "6"});
    const auto detail = [&](int at, int parmId, const QVariant& value) {
        store->database().execute("INSERT INTO SampleDetails (SampleID, ParmID, Value, Severity) VALUES (?, ?, ?, 0)",
                                  {ids[size_t(at)], parmId, value});
    };
    detail(0, 58, 2.5);
    detail(1, 58, -1.0);
    detail(2, 58, QVariant());
    detail(3, 58, 2.5);
    detail(5, 58, 300.0);
    detail(4, 59, 1000.0);  // another parameter only
    EXPECT_EQ(order(GridSortKey::Parameter, 58), (std::vector<int>{5, 3, 0, 1, 2, 4}));
    // Sample numbers far apart (an imported sample) change nothing.
    QVariant far;
    store->database().executeOn("Samples", "INSERT INTO Samples (SampleID, SampleNum) VALUES (2000000000, 'far')", {},
                                &far);
    ids.push_back(far.toInt());
    detail(6, 58, 2.5);
    EXPECT_EQ(order(GridSortKey::Parameter, 58), (std::vector<int>{5, 6, 3, 0, 1, 2, 4}));
}

TEST_F(GridSortOrder, ClickingAgainReversesTheLastOrderUnlessTheFileChangedMeanwhile)
{
    addSamples("UnitUsage", V{"30", "5", "200"});
    SampleGridModel model;
    model.setStore(SampleGridStore(&store->database()));
    model.reload(true);
    const auto sortedBy = [&](bool descending) {
        model.sortByColumn(SampleGridModel::ColUnitUsage, descending);
        return model.sampleIds();
    };
    EXPECT_EQ(sortedBy(true), (std::vector<qint32>{ids[2], ids[0], ids[1]}));
    // Another program changes a usage: the next click sees it.
    test::runSql(path, {QString("UPDATE Samples SET UnitUsage = '1' WHERE SampleID = %1").arg(ids[2])});
    EXPECT_EQ(sortedBy(false), (std::vector<qint32>{ids[2], ids[1], ids[0]}));
    // And so does a change through this connection.
    store->database().executeOn("Samples", "UPDATE Samples SET UnitUsage = '7' WHERE SampleID = ?", {ids[0]});
    EXPECT_EQ(sortedBy(true), (std::vector<qint32>{ids[0], ids[1], ids[2]}));
    EXPECT_EQ(sortedBy(false), (std::vector<qint32>{ids[2], ids[1], ids[0]}));
}

} // namespace
