// "D" frames from the simulated unit arrive over a pty and become samples in
// the SQLite file: recalculated (the unit's own results are the oracle),
// stored with their lists, judged, and their calibration checked. The levels
// and Trifold values a stored test gets are pinned in the store's tests; here
// the whole road runs and its oils are told apart.
#include "app/monitor.h"
#include "core/record.h"
#include "db/db_fixture.h"
#include "db/sample_database.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "app/station.h"
#include "sim/unit_model.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;

TEST(TestRoad, DFramesFromTheUnitBecomeJudgedSamples)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    sim::PtyUnit unit;   // frames written here arrive at the monitor's port
    ASSERT_TRUE(unit.ok());

    const QString dbPath = test::copyTemplate(home, "lab.mdb");
    home.write("quorvelqc.ini", test::stationSettings(unit.device(), dbPath));

    Monitor monitor;
    monitor.readStartupSettings();
    ASSERT_TRUE(monitor.ReadSettings());
    ASSERT_TRUE(monitor.openSerialLink()) << prompts.texts().join("\n").toStdString();
    monitor.openDatabaseAtStartup();
    ASSERT_NE(nullptr, monitor.sampleDatabase()) << prompts.texts().join("\n").toStdString();

    // Three oils: clean, worn with ferrous particles, wet with droplets; the
    // wet oil's test was made with counts 299 apart: stored, then warned of.
    const std::pair<sim::OilSample, sim::Calibration> tests[] = {
        {{.dielectric = 226, .ferrous = 3, .water = 20}, {}},
        {{.dielectric = 262, .ferrous = 55, .water = 20, .lcont = 2}, {}},
        {{.dielectric = 226, .ferrous = 3, .water = 450, .lcont = 1}, {5000, 4701, 220, 300}}};
    std::vector<TestRecord> sent;
    std::uint32_t seed = 3;
    for (const auto& [oil, cal] : tests) {
        sent.push_back(sim::simulateTest(oil, cal, seed++));
        ASSERT_TRUE(unit.send(sim::testFrame(sent.back())));
        // Each frame is stored before the next arrives, as on the wire.
        ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.currentSampleId() == int(sent.size()); }, 15000))
            << "sample " << monitor.currentSampleId() << ' ' << prompts.texts().join("\n").toStdString();
    }

    auto& database = monitor.sampleDatabase()->database();
    auto details = database.openTable("SampleDetails");
    auto samples = database.openTable("Samples");
    for (int n = 1; n <= int(sent.size()); ++n) {
        const TestRecord& r = sent[size_t(n - 1)];
        SCOPED_TRACE(n);
        ASSERT_TRUE(samples->seek({n}));
        EXPECT_EQ(testRecordFieldText(r, "raw8700"), samples->value("raw8700").toString());
        EXPECT_EQ(testRecordFieldText(r, "Rslt8700"), samples->value("Rslt8700").toString());
        TestRecord stored;
        ASSERT_TRUE(monitor.sampleDatabase()->LoadTestRecord(n, stored));
        for (int k : {int(Rslt::diel), int(Rslt::iron), int(Rslt::water), int(Rslt::lcont), int(Rslt::cont10)})
            EXPECT_EQ(r.Rslt8700[k], stored.PCRslt[k]) << "recalculated PCRslt " << k;
        for (int k : {int(Calc::bgp1), int(Calc::sb), int(Calc::bns3), int(Calc::bigbspike), int(Calc::smallbspike),
                      int(Calc::slope), int(Calc::CRITICAL)})
            EXPECT_EQ(r.Calc8700[k], stored.PCCalc[k]) << "recalculated PCCalc " << k;
        ASSERT_TRUE(details->seek({n, 58}));
        EXPECT_FLOAT_EQ(float(double(r.Rslt8700[Rslt::diel]) / 100.0), details->value("Value").toFloat());
        ASSERT_TRUE(details->seek({n, 59}));
        EXPECT_FLOAT_EQ(float(r.Rslt8700[Rslt::iron]), details->value("Value").toFloat());
    }
    // The worn oil is judged worse on Wear than the clean one, the wet one
    // worse on Contamination.
    ASSERT_TRUE(samples->seek({1}));
    const float cleanWear = samples->value("WearSev").toFloat();
    const float cleanContam = samples->value("ContamSev").toFloat();
    ASSERT_TRUE(samples->seek({2}));
    EXPECT_GT(samples->value("WearSev").toFloat(), cleanWear);
    ASSERT_TRUE(samples->seek({3}));
    EXPECT_GT(samples->value("ContamSev").toFloat(), cleanContam);

    EXPECT_EQ(QStringList{"WARNING\r\n\r\n  The same calibration oil may have been used for both tests or the order "
                          "of their use has been switched"},
              prompts.texts());
    monitor.closeSerialLink();
}
