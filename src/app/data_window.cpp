#include "app/data_window.h"

#include "app/monitor.h"
#include "db/sample_database.h"
#include "views/ui/frm_data.h"

namespace qqc {

frmData* createDataWindow(Monitor& monitor)
{
    auto* form = new frmData;
    Monitor* m = &monitor;
    QObject::connect(form, &frmData::InitCtl, form, [m, form] {
        form->SetImport(MiscSettings::readVqmImport(m->iniFile()));
    });
    QObject::connect(form, &frmData::Unload, m, [m] { m->setWindowOpen(Monitor::DataWindow, false); });
    QObject::connect(form, &frmData::SelFromGrid, m, &Monitor::fDataFrm_SelFromGrid);
    QObject::connect(form, &frmData::RecalculateAlarms, m, &Monitor::fDataFrm_RecalculateAlarms);
    QObject::connect(form, &frmData::ViscChg, m, &Monitor::fDataFrm_ViscChg);
    QObject::connect(form, &frmData::sampleEdited, m, &Monitor::gridSampleEdited);
    QObject::connect(form, &frmData::samplesDeleted, m, &Monitor::gridSamplesDeleted);
    QObject::connect(m, &Monitor::databaseOpened, form, [form](db::Database* database) {
        form->SetDB(database);
        form->UpdateForm();
    });
    QObject::connect(m, &Monitor::sampleAdded, form, &frmData::AddDataToGrid);
    QObject::connect(m, &Monitor::sampleChanged, form, &frmData::RefreshSampleDisplay);
    return form;
}

void refreshDataWindow(frmData& form, Monitor& monitor)
{
    db::SampleDatabase* samples = monitor.sampleDatabase();
    form.SetDB(samples ? &samples->database() : nullptr);
    if (form.isOpen())
        form.UpdateForm();
}

} // namespace qqc
