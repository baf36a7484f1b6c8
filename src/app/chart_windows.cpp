#include "app/chart_windows.h"

#include "app/monitor.h"
#include "db/sample_database.h"
#include "util/ui/dialog_prompter.h"

namespace qqc {

frmChart* createChartWindow(Monitor& monitor)
{
    auto* form = new frmChart(monitor.currentTestRecord());
    QObject::connect(&monitor, &Monitor::reloadChart, form, [form, &monitor] {
        if (monitor.chartSampleWithoutRecord().isEmpty())
            form->UpdateForm();
        else
            form->showNoTestRecord(monitor.chartSampleWithoutRecord());
    });
    return form;
}

int showCalHistory(frmCal& form, Monitor& monitor)
{
    db::SampleDatabase* samples = monitor.sampleDatabase();
    form.SetDB(samples != nullptr ? &samples->database() : nullptr);
    form.UpdateForm();
    if (form.NumCal() >= 4)
        runModal(form);
    return form.NumCal();
}

} // namespace qqc
