// The road of one test on a server: the simulator program on a pty, the
// Monitor, a PostgreSQL database, and the data window's grid showing the
// stored sample with the unit's results.
#include "app/data_window.h"
#include "app/monitor.h"
#include "app/spool_support.h"
#include "app/station.h"
#include "core/record.h"
#include "link/sim_process.h"
#include "support/scripted_prompter.h"
#include "views/ui/frm_data.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;

TEST(ServerRoad, ATestFromTheSimulatorIsStoredOnTheServerAndShownInTheGrid)
{
    if (test::serverAdminUri().isEmpty())
        GTEST_SKIP() << "no test server (QQC_TEST_PG_URI unset; scripts/pg_cluster.sh starts one)";
    test::ServerDatabase server;
    ASSERT_NO_THROW(db::createServerDatabase(server.uri(), test::builtTemplate()));
    test::TempHome home;
    test::ScriptedPrompter prompts;
    test::SimProcess unit(home.file("unit.record"));
    const QString device = unit.start({"--scenario", "test", "--diel", "2.62", "--iron", "55"});
    ASSERT_FALSE(device.isEmpty());
    home.write("quorvelqc.ini", test::stationSettings(device, server.uri()));

    Monitor monitor;
    std::unique_ptr<frmData> grid;
    ASSERT_NO_FATAL_FAILURE(test::startStation(monitor, grid));
    ASSERT_NE(nullptr, monitor.sampleDatabase()) << prompts.texts().join("\n").toStdString();
    ASSERT_TRUE(monitor.sampleDatabase()->database().onServer());
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->model().rowCount() == 1; }, 30000))
        << prompts.texts().join("\n").toStdString();

    // What the unit sent, as its record file says.
    TestRecord sent;
    for (const QString& e : unit.events().filter(QRegularExpression("^TXD ")))
        ASSERT_TRUE(setTestRecordFieldText(sent, e.mid(4).section('=', 0, 0), e.section('=', 1)));
    const auto stored = test::storedSamples(server.uri());
    ASSERT_EQ(1u, stored.size());
    EXPECT_EQ(testRecordFieldText(sent, "raw8700"), stored[0].raw);

    const SampleGridModel& m = grid->model();
    EXPECT_EQ(stored[0].id, m.sampleIdAt(0));
    EXPECT_EQ(QString::number(stored[0].id), m.cellText(0, SampleGridModel::ColSampleNum));
    EXPECT_FALSE(m.cellText(0, SampleGridModel::ColDate).isEmpty());
    EXPECT_FLOAT_EQ(float(sent.Rslt8700[Rslt::diel] / 100.0), m.parameterValue(0, 58).value_or(-1));
    EXPECT_FLOAT_EQ(float(sent.Rslt8700[Rslt::iron]), m.parameterValue(0, 59).value_or(-1));
    // Ferrous 55 is past the template's alarm limit: judged, not blank.
    EXPECT_GT(m.cellLevel(0, SampleGridModel::ColWear), 0);
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().join("\n").toStdString();
    monitor.closeSerialLink();
}
