#pragma once
// MDIForm8700: the program's frame. It owns the Monitor (all shared state and
// the handlers of unit and window events) and one instance of each child
// window, shown as MDI children. Start-up runs the numbered steps below in
// order; closing the frame (the Exit command, the window's close button,
// SIGTERM/SIGINT) runs shutdown: close the port, save WIN_1..WIN_6 (only when
// start-up placed the windows), close the database. Nothing asks for
// confirmation and closing is never cancelled; a close request during start-up
// ends it after the running step, one while a box is open once the box is gone.
//
// Child-window layout: WIN_n holds left, top, width and height as fractions
// of the MDI area's client size; app/child_layout.h places the windows and
// keeps them at their fractions when the frame changes size.

#include "app/child_layout.h"
#include "app/monitor.h"

#include <QMainWindow>
#include <QString>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace qqc {

class MDIForm8700 : public QMainWindow {
    Q_OBJECT
public:
    explicit MDIForm8700(QWidget* parent = nullptr);
    ~MDIForm8700() override;

    Monitor& monitor() { return *monitor_; }
    QMdiArea* mdiArea() const { return mdiArea_; }

    // Start-up steps 1 to 14, once, after the frame is shown.
    void startUp();

    // Lays out and shows one child window, `layoutIndex` 0..5 for WIN_1..WIN_6.
    // With `useDefault` false the layout comes from the settings file (a
    // minimised window is then only restored); with `useDefault` true the
    // Defaults command's layout is applied.
    void ShowChildWindow(QWidget* window, int layoutIndex, bool useDefault);
    // The layout text of a window's current position (fractions joined by "|").
    QString GetWindowLayout(QWidget* window) const;

    // The child windows (the widget inside each MDI sub-window).
    QWidget* fAlarmFrm() const { return fAlarmFrm_; }
    QWidget* fChartFrm() const { return fChartFrm_; }
    QWidget* fDataFrm() const { return fDataFrm_; }
    QWidget* fReferenceFrm() const { return fReferenceFrm_; }
    QWidget* fReportFrm() const { return fReportFrm_; }
    QWidget* fCustomerFrm() const { return fCustomerFrm_; }
    QWidget* fStatusFrm() const { return fStatusFrm_; }
    QWidget* fCalFrm() const { return fCalFrm_; }
    QMdiSubWindow* subWindowOf(QWidget* window) const;

    // Menu commands (also used by tests).
    void mnuDefault_Click();
    void mnuAlarms_Click();
    void mnuData_Click();
    void mnuReference_Click();
    void mnuReport_Click();
    void mnuCustomers_Click();
    void mnuStatus_Click();
    // Shows the calibration history window (after the "Cal History" command).
    void showCalHistory();
    void mnuAbout_Click();
    void mnuExit_Click();

    QAction* menuAction(const QString& name) const;

signals:
    // Start-up step 14 has run.
    void startUpFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    // Start-up step 7: every child window is created here, in one place.
    void createChildWindows();
    QWidget* addChild(QWidget* window, const QString& caption, Monitor::ChildWindow flag);
    QWidget* layoutWindow(int index) const;  // WIN_1..WIN_6 order
    // Shows a layout's window at its saved place and marks it open.
    void showLayoutChild(int layoutIndex);
    void showLayoutWindows(bool useDefaults);
    // Start-up steps 9 to 14 (windows placed at their layouts, database opened).
    void placeWindowsAndOpenDatabase();
    void shutDown();
    QSize layoutArea() const { return childLayout_->areaSize(); }

    Monitor* monitor_ = nullptr;
    QMdiArea* mdiArea_ = nullptr;
    ChildLayout* childLayout_ = nullptr;
    QAction* mnuTestTime_ = nullptr;
    QAction* mnuDiag_ = nullptr;

    QWidget* fAlarmFrm_ = nullptr;
    QWidget* fChartFrm_ = nullptr;
    QWidget* fDataFrm_ = nullptr;
    QWidget* fReferenceFrm_ = nullptr;
    QWidget* fReportFrm_ = nullptr;
    QWidget* fCustomerFrm_ = nullptr;
    QWidget* fStatusFrm_ = nullptr;
    QWidget* fCalFrm_ = nullptr;

    bool startedUp_ = false;
    bool startingUp_ = false;
    bool layoutPlaced_ = false;  // step 10 ran: the layouts may be saved
    bool closeAfterStartUp_ = false;
    bool shutDownDone_ = false;
};

} // namespace qqc
