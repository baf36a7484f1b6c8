#include "app/report_window.h"

#include "app/monitor.h"
#include "db/sample_database.h"
#include "report/page_settings.h"

namespace qqc {

report::frmReport* createReportWindow(Monitor& monitor)
{
    Monitor* m = &monitor;
    auto* form = new report::frmReport([m] {
        db::SampleDatabase* samples = m->sampleDatabase();
        return report::pageSettings(m->settings(), samples ? samples->path() : QString());
    });
    QObject::connect(form, &report::frmReport::RefreshData, m, &Monitor::fReportFrm_RefreshData);
    // A viscosity edited on the report takes the grid's path.
    QObject::connect(form, &report::frmReport::ViscChg, m, &Monitor::fDataFrm_ViscChg);
    QObject::connect(form, &report::frmReport::RecalculateAlarms, m, &Monitor::fDataFrm_RecalculateAlarms);
    QObject::connect(m, &Monitor::sampleEdited, form, &report::frmReport::sampleEdited);
    QObject::connect(m, &Monitor::sampleDeleted, form, &report::frmReport::sampleDeleted);
    QObject::connect(m, &Monitor::databaseOpened, form, [form, m](db::Database* database) {
        form->SetDB(database);
        if (database != nullptr)
            form->UpdateForm(m->currentSampleId());
    });
    QObject::connect(m, &Monitor::showReportSample, form, &report::frmReport::UpdateForm);
    return form;
}

void refreshReportWindow(report::frmReport& form, Monitor& monitor)
{
    db::SampleDatabase* samples = monitor.sampleDatabase();
    form.SetDB(samples ? &samples->database() : nullptr);
    form.UpdateForm(monitor.currentSampleId());
}

} // namespace qqc
