#pragma once
// A copy of the built template with one equipment's history for the report,
// a file or a server database (test::EngineCopy's parameter).
#include "db/db_fixture.h"
#include "report/page_composer.h"
#include "report/report_data.h"

namespace qqc::test {

class ReportPage : public EngineCopy {
protected:
    // Six samples of one equipment a day apart (ids 1..6), a seventh of
    // another equipment, a later sample of the same date as sample 6 (8) and
    // one without an equipment ID (9).
    void SetUp() override
    {
        EngineCopy::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        QStringList sql;
        for (int i = 1; i <= 6; ++i) {
            sql << QString("INSERT INTO Samples (SampleID, SampleNum, SampleDate, EquipmentID, UnitUsage, AlarmID, "
                           "WearSev, ContamSev, ChemSev, Comments) VALUES (%1, '%1', '2026-03-0%1T10:00:00', "
                           "'PUMP|7;A', '%2', 1, 85, 30, 0, 'Oil looks dark')")
                       .arg(i)
                       .arg(100 * i);
            sql << QString("INSERT INTO SampleDetails VALUES (%1, 59, %2, %3)").arg(i).arg(i == 3 ? -999 : 10 * i).arg(i == 6 ? 5 : 2);
        }
        sql << "INSERT INTO Samples (SampleID, SampleDate, EquipmentID) VALUES (7, '2026-03-06T09:00:00', 'OTHER')";
        sql << "INSERT INTO Samples (SampleID, SampleDate, EquipmentID) VALUES (8, '2026-03-06T10:00:00', 'PUMP|7;A')";
        sql << "INSERT INTO Samples (SampleID, SampleDate, EquipmentID) VALUES (9, '2026-03-06T10:00:00', '  ')";
        runSql(path, sql);
        store = openStore();
    }
    std::unique_ptr<db::SampleDatabase> store;

    // The page without a sample: labels, database name, date, Img folder.
    report::PageInput settings() const
    {
        report::PageInput in;
        in.labels = {"Acme Labs", "1 Main St", "Springfield", "555-0100", "lab@example.com", "", "Header %d|x", "Trend Report"};
        in.databaseName = path;
        in.today = QDate(2026, 3, 10);
        in.imageFolder = home.file("Img");
        return in;
    }
    report::PageInput input(qint32 sampleId)
    {
        report::PageInput in = settings();
        in.data = report::readReport(store->database(), sampleId);
        return in;
    }
};

// A suite of ReportPage tests that runs on a file only.
#define QQC_FILE_ONLY(Suite) \
    INSTANTIATE_TEST_SUITE_P(File, Suite, ::testing::Values(test::Engine::File), test::engineName)

} // namespace qqc::test
