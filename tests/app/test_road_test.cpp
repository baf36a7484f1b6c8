// "D" frames from the simulated unit arrive over a pty and become samples in
// the SQLite file. The levels and Trifold values a stored test gets are pinned
// in the store's tests; here the whole road runs and its oils are told apart.
#include "app/monitor.h"
#include "core/record.h"
#include "db/sample_database.h"
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

    auto& database = monitor.sampleDatabase()->database();
    auto details = database.openTable("SampleDetails");
    auto samples = database.openTable("Samples");
    for (int n = 1; n <= int(sent.size()); ++n) {
        const TestRecord& r = sent[size_t(n - 1)];
        SCOPED_TRACE(n);
        ASSERT_TRUE(samples->seek({n}));
        EXPECT_EQ(testRecordFieldText(r, "raw8700"), samples->value("raw8700").toString());
        EXPECT_EQ(testRecordFieldText(r, "Rslt8700"), samples->value("Rslt8700").toString());
        EXPECT_FALSE(samples->value("PCRslt").toString().isEmpty());
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

    const QString listing = db::listSamples(database);
    EXPECT_EQ(4, listing.count('\n')) << listing.toStdString();
    monitor.closeSerialLink();
}
