#include "app/report_window.h"

#include "app/monitor.h"
#include "db/sample_database.h"
#include "util/program_folder.h"

namespace qqc {

report::frmReport* createReportWindow(Monitor& monitor)
{
    Monitor* m = &monitor;
    auto* form = new report::frmReport([m] {
        report::PageInput in;
        const Settings& s = m->settings();
        for (size_t i = 0; i < in.labels.size(); ++i)
            in.labels[i] = s.labels.labels[i];
        in.colorReduction = s.labels.colorReduction;
        in.imageFlag = s.misc.img;
        in.imageFolder = programFile(QStringLiteral("Img"));
        if (db::SampleDatabase* samples = m->sampleDatabase())
            in.databaseName = samples->path();
        return in;
    });
    QObject::connect(form, &report::frmReport::RefreshData, m, &Monitor::fReportFrm_RefreshData);
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
