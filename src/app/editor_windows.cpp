#include "app/editor_windows.h"

#include "app/monitor.h"
#include "db/sample_database.h"

namespace qqc {

namespace {

template <class Form>
void wireCommon(Form* form, Monitor& monitor, Monitor::ChildWindow flag)
{
    Monitor* m = &monitor;
    QObject::connect(form, &Form::Unload, m, [m, flag] { m->setWindowOpen(flag, false); });
    QObject::connect(m, &Monitor::databaseOpened, form, [m, form, flag](db::Database* database) {
        form->SetDB(database);
        if (!database || m->windowOpen(flag))
            form->UpdateForm(0);
    });
}

// SetDB + UpdateForm(0), then the current sample's assignment picked by `id`.
template <class Form, class Pick>
void refresh(Form& form, Monitor& monitor, Pick id)
{
    db::SampleDatabase* samples = monitor.sampleDatabase();
    form.SetDB(samples ? &samples->database() : nullptr);
    form.UpdateForm(0);
    if (!samples || monitor.currentSampleId() < 1)
        return;
    try {
        const auto sample = samples->findSample(monitor.currentSampleId());
        if (sample.found)
            form.UpdateForm(id(sample));
    } catch (const db::RoutineFailure&) {
        // The window stays as refreshed; the grid reports database failures.
    }
}

} // namespace

frmAlarm* createAlarmWindow(Monitor& monitor)
{
    auto* form = new frmAlarm;
    wireCommon(form, monitor, Monitor::AlarmWindow);
    QObject::connect(&monitor, &Monitor::markAlarmSet, form, &frmAlarm::UpdateForm);
    QObject::connect(form, &frmAlarm::SetAlarm, &monitor, &Monitor::fAlarmFrm_SetAlarm);
    return form;
}

frmReference* createReferenceWindow(Monitor& monitor)
{
    auto* form = new frmReference;
    wireCommon(form, monitor, Monitor::ReferenceWindow);
    QObject::connect(&monitor, &Monitor::markReference, form, &frmReference::UpdateForm);
    QObject::connect(form, &frmReference::SetRef, &monitor, &Monitor::fReferenceFrm_SetRef);
    return form;
}

frmCustomer* createCustomerWindow(Monitor& monitor)
{
    auto* form = new frmCustomer;
    wireCommon(form, monitor, Monitor::CustomerWindow);
    QObject::connect(&monitor, &Monitor::markCustomer, form, &frmCustomer::UpdateForm);
    QObject::connect(form, &frmCustomer::SetCustomer, &monitor, &Monitor::fCustomerFrm_SetCustomer);
    return form;
}

void refreshAlarmWindow(frmAlarm& form, Monitor& monitor)
{
    refresh(form, monitor, [](const db::SampleDatabase::SampleRef& s) { return s.alarmId; });
}

void refreshReferenceWindow(frmReference& form, Monitor& monitor)
{
    refresh(form, monitor, [](const db::SampleDatabase::SampleRef& s) { return s.refId; });
}

void refreshCustomerWindow(frmCustomer& form, Monitor& monitor)
{
    refresh(form, monitor,
            [](const db::SampleDatabase::SampleRef& s) { return s.customerId.isNull() ? 0 : s.customerId.toInt(); });
}

} // namespace qqc
