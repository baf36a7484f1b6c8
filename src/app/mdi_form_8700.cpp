#include "app/mdi_form_8700.h"

#include "app/chart_windows.h"
#include "app/data_window.h"
#include "app/editor_windows.h"
#include "app/frm_upgrade_mdb.h"
#include "app/jet_conversion_window.h"
#include "app/report_window.h"
#include "link/ui/frm_status.h"

#include "util/common.h"
#include "util/prompter.h"
#include "util/ui/dialog_prompter.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace qqc {

namespace {
const char* const kFlagProperty = "qqcOpenFlag";
// The open flag of each layout's window, WIN_1..WIN_6 (see layoutWindow()).
const Monitor::ChildWindow kLayoutFlags[WindowSettings::kCount] = {
    Monitor::AlarmWindow,  Monitor::DataWindow,     Monitor::ReferenceWindow,
    Monitor::ReportWindow, Monitor::CustomerWindow, Monitor::StatusWindow};
} // namespace

MDIForm8700::MDIForm8700(QWidget* parent) : QMainWindow(parent), monitor_(new Monitor(this))
{
    setObjectName(QStringLiteral("MDIForm8700"));
    setWindowTitle(QStringLiteral("Quorvel QC"));
    mdiArea_ = new QMdiArea(this);
    setCentralWidget(mdiArea_);
    childLayout_ = new ChildLayout(mdiArea_);
    createMenus();
    resize(1024, 768);

    // "QuorvelQC Monitor - " + the path, or "... - No Current Database" after a failed open;
    // followed by why tests wait to be stored, while they do.
    connect(monitor_, &Monitor::databasePathChanged, this, [this](const QString&) {
        setWindowTitle(monitor_->frameTitle());
    });
    connect(monitor_, &Monitor::storeOutageChanged, this, [this](const QString&) {
        setWindowTitle(monitor_->frameTitle());
    });
    connect(monitor_, &Monitor::testTimeAvailable, this, [this](bool on) { mnuTestTime_->setVisible(on); });
    connect(monitor_, &Monitor::shutdownRequested, this, &QWidget::close, Qt::QueuedConnection);
    connect(monitor_, &Monitor::calHistoryRequested, this, &MDIForm8700::showCalHistory);
    monitor_->setDatabaseUpgrader(
        upgradeThroughWindow(this, [this](const QString& line) { monitor_->stdError().TPrint(line); }));
    monitor_->setJetConverter(
        convertThroughWindow(this, [this](const QString& line) { monitor_->stdError().TPrint(line); }));
}

MDIForm8700::~MDIForm8700() = default;

namespace {

// The frame's menus, in menu-bar order. An entry with a `menu` sits in that
// drop-down menu (created with the first of its entries), one without sits on
// the menu bar itself; `handler` is null for an entry that does nothing here.
struct MenuEntry {
    const char* menu;      // caption of the drop-down menu, or nullptr
    const char* menuName;  // its object name
    const char* caption;
    const char* name;  // the action's object name
    void (*handler)(MDIForm8700&);
    bool visible;
};

const MenuEntry kMenuEntries[] = {
    {"File", "mnuFile", "Open Database", "mnuDBOpen", [](MDIForm8700& f) { f.monitor().mnuDBOpen_Click(); }, true},
    {"File", "mnuFile", "Create New Database", "mnuCreateDB",
     [](MDIForm8700& f) { f.monitor().mnuCreateDB_Click(); }, true},
    // Export is offered in the sample data window; these entries stay hidden.
    {"File", "mnuFile", "Export .CSV File", "mnuExportCSV", nullptr, false},
    {"File", "mnuFile", "Export VQM GENERIC File", "mnuExportGeneric", nullptr, false},
    {"File", "mnuFile", "Exit", "mnuExit", [](MDIForm8700& f) { f.mnuExit_Click(); }, true},
    {nullptr, nullptr, "Edit", "mnuEdit", nullptr, true},
    {"Windows", "mnuWindows", "Defaults", "mnuDefault", [](MDIForm8700& f) { f.mnuDefault_Click(); }, true},
    {"Windows", "mnuWindows", "Alarms", "mnuAlarms", [](MDIForm8700& f) { f.mnuAlarms_Click(); }, true},
    {"Windows", "mnuWindows", "Data", "mnuData", [](MDIForm8700& f) { f.mnuData_Click(); }, true},
    {"Windows", "mnuWindows", "Reference Oil", "mnuReference", [](MDIForm8700& f) { f.mnuReference_Click(); }, true},
    {"Windows", "mnuWindows", "Report", "mnuReport", [](MDIForm8700& f) { f.mnuReport_Click(); }, true},
    {"Windows", "mnuWindows", "Customers", "mnuCustomers", [](MDIForm8700& f) { f.mnuCustomers_Click(); }, true},
    {"Windows", "mnuWindows", "Status", "mnuStatus", [](MDIForm8700& f) { f.mnuStatus_Click(); }, true},
    {nullptr, nullptr, "Setup", "mnuSetup", [](MDIForm8700& f) { f.monitor().runSetupCommand(); }, true},
    // Shown once the unit's firmware supports it.
    {nullptr, nullptr, "Test Time", "mnuTestTime", [](MDIForm8700& f) { f.monitor().runTestTimeCommand(); }, false},
    {nullptr, nullptr, "Cal History", "mnuCal", [](MDIForm8700& f) { f.monitor().mnuCal_Click(); }, true},
    // Shown by start-up.
    {nullptr, nullptr, "Diag", "mnuDiag", [](MDIForm8700& f) { f.monitor().runDiagCommand(); }, false},
    {"Help", "mnuHelp", "About", "mnuAbout", [](MDIForm8700& f) { f.mnuAbout_Click(); }, true},
};

} // namespace

void MDIForm8700::createMenus()
{
    QMenu* menu = nullptr;
    for (const MenuEntry& entry : kMenuEntries) {
        const QString caption = QString::fromLatin1(entry.caption);
        if (entry.menu == nullptr) {
            menu = nullptr;
        } else if (menu == nullptr || menu->objectName() != QLatin1String(entry.menuName)) {
            menu = menuBar()->addMenu(QString::fromLatin1(entry.menu));
            menu->setObjectName(QString::fromLatin1(entry.menuName));
        }
        QAction* action = menu ? menu->addAction(caption) : menuBar()->addAction(caption);
        action->setObjectName(QString::fromLatin1(entry.name));
        action->setVisible(entry.visible);
        if (entry.handler)
            connect(action, &QAction::triggered, this, [this, handler = entry.handler] { handler(*this); });
    }
    mnuTestTime_ = menuAction(QStringLiteral("mnuTestTime"));
    mnuDiag_ = menuAction(QStringLiteral("mnuDiag"));
}

QAction* MDIForm8700::menuAction(const QString& name) const
{
    const QList<QAction*> actions = menuBar()->findChildren<QAction*>(name);
    if (!actions.isEmpty())
        return actions.first();
    for (QAction* a : menuBar()->actions())
        if (a->objectName() == name)
            return a;
    for (QMenu* m : menuBar()->findChildren<QMenu*>())
        for (QAction* a : m->actions())
            if (a->objectName() == name)
                return a;
    return nullptr;
}

QWidget* MDIForm8700::addChild(QWidget* window, const QString& caption, Monitor::ChildWindow flag)
{
    if (window->windowTitle().isEmpty())
        window->setWindowTitle(caption);
    auto* sub = new QMdiSubWindow;
    sub->setWidget(window);
    // Closing a child window hides it; the one instance lives until shutdown.
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->setProperty(kFlagProperty, int(flag));
    sub->installEventFilter(this);
    mdiArea_->addSubWindow(sub);
    sub->hide();
    return window;
}

void MDIForm8700::createChildWindows()
{
    // One instance of each child window. A window's owner replaces its plain
    // widget with the window class here and binds its notifications to the
    // Monitor's handlers.
    fAlarmFrm_ = addChild(createAlarmWindow(*monitor_), QStringLiteral("Alarms"), Monitor::AlarmWindow);
    fChartFrm_ = addChild(createChartWindow(*monitor_), QStringLiteral("Chart"), Monitor::ChartWindow);
    fDataFrm_ = addChild(createDataWindow(*monitor_), QStringLiteral("Sample Data"), Monitor::DataWindow);
    fReferenceFrm_ = addChild(createReferenceWindow(*monitor_), QStringLiteral("Reference"), Monitor::ReferenceWindow);
    fReportFrm_ = addChild(createReportWindow(*monitor_), QStringLiteral("Report"), Monitor::ReportWindow);
    fCustomerFrm_ = addChild(createCustomerWindow(*monitor_), QStringLiteral("Customer"), Monitor::CustomerWindow);
    fStatusFrm_ = addChild(new frmStatus(monitor_->statusModel()), QStringLiteral("Status"), Monitor::StatusWindow);
    // The calibration history is a modal window of its own, shown by its command.
    fCalFrm_ = new frmCal(this);
    // The setup and test time dialogs are modal and created by their commands.
}

QMdiSubWindow* MDIForm8700::subWindowOf(QWidget* window) const
{
    for (QWidget* w = window; w != nullptr; w = w->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w))
            return sub;
    return nullptr;
}

bool MDIForm8700::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close) {
        const QVariant flag = watched->property(kFlagProperty);
        if (flag.isValid() && flag.toInt() < Monitor::ChildWindowCount)
            monitor_->setWindowOpen(Monitor::ChildWindow(flag.toInt()), false);
    }
    return QMainWindow::eventFilter(watched, event);
}

void MDIForm8700::ShowChildWindow(QWidget* window, int layoutIndex, bool useDefault)
{
    QMdiSubWindow* sub = subWindowOf(window);
    if (sub == nullptr)
        return;
    if (sub->isMinimized()) {
        sub->showNormal();
        if (!useDefault)
            return;
    }
    const QString text = useDefault ? QString::fromLatin1(WindowSettings::kLayouts[layoutIndex].defaultsCommand)
                                    : WindowSettings::readLayout(monitor_->iniFile(), layoutIndex);
    LayoutFractions f;
    // A layout that does not parse leaves the window where it is.
    if (!text.isEmpty() && parseWindowLayout(text, f.data()))
        childLayout_->place(sub, f);
    window->show();
    sub->show();
    sub->raise();
}

QString MDIForm8700::GetWindowLayout(QWidget* window) const
{
    const QMdiSubWindow* sub = subWindowOf(window);
    if (sub == nullptr)
        return QString();
    return childLayout_->layoutText(sub);
}

QWidget* MDIForm8700::layoutWindow(int index) const
{
    QWidget* const windows[WindowSettings::kCount] = {fAlarmFrm_, fDataFrm_, fReferenceFrm_, fReportFrm_, fCustomerFrm_, fStatusFrm_};
    return windows[index];
}

void MDIForm8700::showLayoutWindows(bool useDefaults)
{
    // Report, reference oils, alarm sets, customers, sample data, status: the
    // status window, shown last, ends up in front.
    static const int order[WindowSettings::kCount] = {3, 2, 0, 4, 1, 5};
    for (int index : order) {
        ShowChildWindow(layoutWindow(index), index, useDefaults);
        monitor_->setWindowOpen(kLayoutFlags[index], true);
    }
}

void MDIForm8700::startUp()
{
    if (startedUp_ || shutDownDone_)
        return;  // once only, and never after a stop request closed the frame
    startedUp_ = true;
    startingUp_ = true;
    show();
    if (layout() != nullptr)
        layout()->activate();

    // Steps 1 and 3 ran when the Monitor was created (error reporter, paths);
    // the link creates its receive buffer and message codes (step 2).
    monitor_->readStartupSettings();  // steps 4, 5
    monitor_->ReadSettings();         // step 6 (may run the Setup command)
    createChildWindows();             // step 7
    // A close request during start-up (a stop signal; its prompt was answered)
    // skips the steps still to come: the frame closes at once, and windows
    // that were never placed are not saved as the layout.
    if (!closeAfterStartUp_)
        monitor_->openSerialLink();  // step 8: reports its own failure
    if (!closeAfterStartUp_)
        placeWindowsAndOpenDatabase();  // steps 9 to 14

    startingUp_ = false;
    emit startUpFinished();
    if (closeAfterStartUp_)
        QTimer::singleShot(0, this, &QWidget::close);
}

void MDIForm8700::placeWindowsAndOpenDatabase()
{
    monitor_->settings().misc.readImageFlag(monitor_->iniFile());  // step 9
    showLayoutWindows(false);         // step 10
    layoutPlaced_ = true;
    // (step 10) the status window's count-down runs over the configured test time.
    if (monitor_->settings().misc.downloadTestTime != 0)
        monitor_->statusModel().TotalTestTime(monitor_->settings().misc.totalTestTime);
    if (monitor_->settings().misc.iAmQux || monitor_->settings().misc.chart) {  // step 11
        if (auto* chart = qobject_cast<frmChart*>(fChartFrm_))
            chart->SetChart(monitor_->settings().misc.chart);
        if (QMdiSubWindow* sub = subWindowOf(fChartFrm_)) {
            fChartFrm_->show();
            sub->show();
        }
        monitor_->setWindowOpen(Monitor::ChartWindow, true);
    }
    mnuDiag_->setVisible(true);                               // step 12
    monitor_->readDebugFlag();                                // step 13
    monitor_->openDatabaseAtStartup();                        // step 14
}

void MDIForm8700::mnuDefault_Click()
{
    if (fStatusFrm_ != nullptr)
        showLayoutWindows(true);
}

void MDIForm8700::showLayoutChild(int layoutIndex)
{
    QWidget* window = layoutWindow(layoutIndex);
    if (window == nullptr)
        return;
    ShowChildWindow(window, layoutIndex, false);
    monitor_->setWindowOpen(kLayoutFlags[layoutIndex], true);
    // A window's owner hands it the database (and the current sample) and
    // refreshes it here.
}

void MDIForm8700::mnuAlarms_Click()
{
    showLayoutChild(0);
    if (auto* alarms = qobject_cast<frmAlarm*>(fAlarmFrm_))
        refreshAlarmWindow(*alarms, *monitor_);
}
void MDIForm8700::mnuData_Click()
{
    if (auto* data = qobject_cast<frmData*>(fDataFrm_))
        refreshDataWindow(*data, *monitor_);
    showLayoutChild(1);
}
void MDIForm8700::mnuReference_Click()
{
    showLayoutChild(2);
    if (auto* references = qobject_cast<frmReference*>(fReferenceFrm_))
        refreshReferenceWindow(*references, *monitor_);
}
void MDIForm8700::mnuReport_Click()
{
    if (auto* report = qobject_cast<report::frmReport*>(fReportFrm_))
        refreshReportWindow(*report, *monitor_);
    showLayoutChild(3);
}
void MDIForm8700::mnuCustomers_Click()
{
    showLayoutChild(4);
    if (auto* customers = qobject_cast<frmCustomer*>(fCustomerFrm_))
        refreshCustomerWindow(*customers, *monitor_);
}

void MDIForm8700::mnuStatus_Click()
{
    QMdiSubWindow* sub = subWindowOf(fStatusFrm_);
    if (sub == nullptr)
        return;
    if (sub->isMinimized())
        sub->showNormal();
    childLayout_->release(sub);
    sub->move(int(std::lround(0.8 * layoutArea().width())), 0);
    monitor_->statusModel().TotalTestTime(monitor_->settings().misc.totalTestTime);
    fStatusFrm_->show();
    sub->show();
    sub->raise();
    monitor_->setWindowOpen(Monitor::StatusWindow, true);
}

void MDIForm8700::showCalHistory()
{
    if (auto* cal = qobject_cast<frmCal*>(fCalFrm_))
        qqc::showCalHistory(*cal, *monitor_);
}

void MDIForm8700::mnuAbout_Click()
{
    QDialog about(this);
    about.setObjectName(QStringLiteral("frmAbout"));
    about.setWindowTitle(QStringLiteral("About"));
    auto* layout = new QVBoxLayout(&about);
    auto* label = new QLabel(QStringLiteral("Quorvel QC Monitor Version 3.1"), &about);
    label->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(label);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    layout->addWidget(buttons);
    runModal(about);
}

void MDIForm8700::mnuExit_Click() { close(); }

void MDIForm8700::shutDown()
{
    if (shutDownDone_)
        return;
    shutDownDone_ = true;
    monitor_->closeSerialLink();
    if (layoutPlaced_) {
        bool saved = true;
        for (int i = 0; i < WindowSettings::kCount; ++i) {
            QWidget* window = layoutWindow(i);
            // A minimised or maximised window is saved at its normal position;
            // a closed one at the position it had when it was closed.
            if (QMdiSubWindow* sub = subWindowOf(window); sub && (sub->isMinimized() || sub->isMaximized()))
                sub->showNormal();
            saved = WindowSettings::writeLayout(monitor_->iniFile(), i, GetWindowLayout(window)) && saved;
        }
        if (!saved)
            MessageBoxEx(QStringLiteral("The window layout could not be saved in $."),
                         MsgStyle::Ok | MsgStyle::Exclamation, monitor_->settingsPath());
    }
    monitor_->closeDatabase();
}

void MDIForm8700::closeEvent(QCloseEvent* event)
{
    if (startingUp_) {
        // A close request during start-up (a signal) runs once start-up ends.
        closeAfterStartUp_ = true;
        event->ignore();
        return;
    }
    if (QThread::currentThread()->loopLevel() > 1) {
        // Requested while a box or dialog runs its own event loop (a stop
        // signal closed it): shut down once the code that asked has gone on,
        // never underneath it.
        event->ignore();
        QTimer::singleShot(20, this, &QWidget::close);
        return;
    }
    shutDown();
    event->accept();
}

} // namespace qqc
