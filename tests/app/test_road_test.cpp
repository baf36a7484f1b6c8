// "D" frames from the simulated unit arrive over a pty and become samples in
// the SQLite file with the values, levels and Trifold values the alarm set gives.
#include "analysis/severity.h"
#include "app/monitor.h"
#include "db/sample_database.h"
#include "link/test_record.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "sim/unit_model.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "util/ini_file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace qqc;

namespace {

struct Limits {
    float highNormal, alert, alarm, extreme;
};

} // namespace

TEST(TestRoad, DFramesFromTheUnitBecomeJudgedSamples)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    sim::PtyUnit unit;   // frames written here arrive at the monitor's port
    ASSERT_TRUE(unit.ok());

    const QString dbPath = home.file("lab.mdb");
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/DBquorqc.tpl", dbPath));
    QFile::setPermissions(dbPath, QFile::ReadOwner | QFile::WriteOwner);
    {
        IniFile ini(home.file("quorvelqc.ini"));
        ini.writeText("COMM", "PORT", "1");
        ini.writeText("COMM", "DEVICE", unit.device());
        ini.writeText("Database", "File", dbPath);
    }

    Monitor monitor;
    monitor.readStartupSettings();
    ASSERT_TRUE(monitor.ReadSettings());
    ASSERT_TRUE(monitor.openSerialLink()) << prompts.texts().join("\n").toStdString();
    monitor.openDatabaseAtStartup();
    ASSERT_NE(nullptr, monitor.sampleDatabase()) << prompts.texts().join("\n").toStdString();

    // Three oils: clean, worn with ferrous particles, wet with droplets.
    sim::OilSample clean;
    clean.dielectric = 226;
    clean.ferrous = 3;
    clean.water = 20;
    sim::OilSample worn = clean;
    worn.dielectric = 262;
    worn.ferrous = 55;
    worn.lcont = 2;
    sim::OilSample wet = clean;
    wet.water = 450;
    wet.lcont = 1;
    const sim::Calibration cal;
    std::vector<TestRecord> sent;
    std::uint32_t seed = 3;
    for (const auto& oil : {clean, worn, wet}) {
        sent.push_back(sim::simulateTest(oil, cal, seed++));
        ASSERT_TRUE(unit.send(sim::testFrame(sent.back())));
        // Each frame is stored before the next arrives, as on the wire.
        QElapsedTimer t;
        t.start();
        while (monitor.currentSampleId() < int(sent.size()) && t.elapsed() < 15000)
            QTest::qWait(20);
        ASSERT_EQ(int(sent.size()), monitor.currentSampleId()) << prompts.texts().join("\n").toStdString();
    }

    auto& store = *monitor.sampleDatabase();
    auto& database = store.database();
    const std::map<int, Limits> limits = {{56, {10, 20, 35, 50}}, {59, {10, 25, 50, 100}},
                                          {60, {1, 2, 4, 8}}};
    auto details = database.openTable("SampleDetails");
    auto samples = database.openTable("Samples");
    for (int n = 1; n <= int(sent.size()); ++n) {
        const TestRecord& r = sent[size_t(n - 1)];
        SCOPED_TRACE(n);
        ASSERT_TRUE(samples->seek({n}));
        EXPECT_EQ(testRecordFieldText(r, "raw8700"), samples->value("raw8700").toString());
        EXPECT_EQ(testRecordFieldText(r, "Rslt8700"), samples->value("Rslt8700").toString());
        EXPECT_FALSE(samples->value("PCRslt").toString().isEmpty());

        const float diel = float(double(r.Rslt8700[Rslt::diel]) / 100.0);
        const std::map<int, float> expected = {
            {56, (diel - 2.2f) * 100.0f},
            {58, diel},
            {59, float(r.Rslt8700[Rslt::iron])},
            {60, float(double(r.Rslt8700[Rslt::water]) / 100.0)},
            {65, (r.Rslt8700[Rslt::lcont] & 1) ? 1.0f : 0.0f},
            {66, (r.Rslt8700[Rslt::lcont] & 2) ? 1.0f : 0.0f},
            {67, (r.Rslt8700[Rslt::lcont] & 4) ? 1.0f : 0.0f}};
        std::array<int, 4> worst{};
        const std::map<int, int> axis = {{56, 3}, {59, 1}, {60, 2}, {65, 2}, {66, 1}, {67, 2}};
        for (const auto& [parm, value] : expected) {
            SCOPED_TRACE(parm);
            ASSERT_TRUE(details->seek({n, parm}));
            EXPECT_FLOAT_EQ(value, details->value("Value").toFloat());
            int level = 0;
            if (isFlagParameter(parm))
                level = flagSeverity(value);
            else if (limits.count(parm)) {
                const Limits& l = limits.at(parm);
                level = CalculateSeverity(value, l.highNormal, l.alert, l.alarm, l.extreme);
            }
            EXPECT_EQ(level, details->value("Severity").toInt());
            if (axis.count(parm))
                worst[size_t(axis.at(parm))] = std::max(worst[size_t(axis.at(parm))], level);
        }
        EXPECT_FLOAT_EQ(LevelToAxisValue(worst[1]), samples->value("WearSev").toFloat());
        EXPECT_FLOAT_EQ(LevelToAxisValue(worst[2]), samples->value("ContamSev").toFloat());
        EXPECT_FLOAT_EQ(LevelToAxisValue(worst[3]), samples->value("ChemSev").toFloat());
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

    const QString listing = db::ListSamples(database);
    EXPECT_EQ(4, listing.count('\n')) << listing.toStdString();
    monitor.closeSerialLink();
}
