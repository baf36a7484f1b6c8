#pragma once
// The alarm set, reference oil and customer windows as the frame creates
// them, wired both ways to the Monitor:
//   Monitor::databaseOpened -> SetDB, and UpdateForm(0) while the window is
//                              open (nullptr always: the window lets go)
//   markAlarmSet / markReference / markCustomer -> UpdateForm(ID)
//   SetAlarm / SetRef / SetCustomer -> Monitor::fAlarmFrm_SetAlarm,
//                              fReferenceFrm_SetRef, fCustomerFrm_SetCustomer
//   Unload -> the window's open flag cleared

#include "views/ui/frm_alarm.h"
#include "views/ui/frm_customer.h"
#include "views/ui/frm_reference.h"

namespace qqc {

class Monitor;

frmAlarm* createAlarmWindow(Monitor& monitor);
frmReference* createReferenceWindow(Monitor& monitor);
frmCustomer* createCustomerWindow(Monitor& monitor);

// The Windows menu's "Alarms", "Reference Oil" and "Customers", once the
// window is shown: hands it the open database, refreshes it with 0, then
// marks the current sample's AlarmID / RefID / CustomerID when a sample is
// current.
void refreshAlarmWindow(frmAlarm& form, Monitor& monitor);
void refreshReferenceWindow(frmReference& form, Monitor& monitor);
void refreshCustomerWindow(frmCustomer& form, Monitor& monitor);

} // namespace qqc
