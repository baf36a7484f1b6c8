#include "app/mdi_form_8700.h"
#include "app/prompters.h"

#include "db/db_fixture.h"
#include "link/ui/frm_status.h"
#include "sim/frames.h"
#include "sim/pty_unit.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "views/ui/frm_alarm.h"
#include "views/ui/frm_customer.h"
#include "views/ui/frm_data.h"
#include "views/ui/frm_reference.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace qqc {
namespace {

// Valid layout texts in both forms are read through the windows below.
TEST(WindowLayout, OutOfRangeFractionsAreReplacedAndInvalidTextsRefused)
{
    const std::pair<QString, QString> clamped[] = {{"-0.2", "1E-01"}, {"1.3", "9E-01"}, {"1", "1"}, {"0", "0"}, {"0.41", "0.41"}};
    for (const auto& [in, out] : clamped)
        EXPECT_EQ(ClampLayoutFraction(in), out) << in.toStdString();
    double f[4];
    for (const char* text : {"0.1|0.2|0.3", "0.1|x|0.3|0.4", "0.1|inf|0.3|0.4", ""})
        EXPECT_FALSE(parseWindowLayout(text, f)) << text;
}

// A window enlarged to its content's minimum grows leftward (upward) where
// the area's edge would cut it, never past 0; one the layout itself puts
// past the edge is left there.
TEST(WindowLayout, ChildGeometryGrowsToTheMinimumAndAwayFromTheAreasEdge)
{
    const QSize area(1000, 500);
    EXPECT_EQ(childGeometry({0.1, 0.2, 0.3, 0.4}, area, QSize(50, 50)), QRect(100, 100, 300, 200));
    EXPECT_EQ(childGeometry({0.75, 0.38, 0.15, 0.30}, area, QSize(300, 250)), QRect(700, 190, 300, 250));
    EXPECT_EQ(childGeometry({0.1, 0, 0.2, 1}, area, QSize(1200, 600)), QRect(0, 0, 1200, 600));
    EXPECT_EQ(childGeometry({0.9, 0, 0.5, 0.1}, area, QSize(100, 10)), QRect(900, 0, 500, 50));
}

// A stop request while a box waits: the box and the dialog under it close
// with the least-changing answers, later prompts never show, all logged.
TEST(WidgetPrompterStop, OpenBoxesAndLaterPromptsGetTheStandInsAnswers)
{
    test::TempHome home;
    WidgetPrompter widgets;
    UnattendedPrompter standIn(home.file("quorvelqc.log"));
    QDialog outer;
    outer.setWindowTitle("Setup");
    int boxAnswer = 0;
    QTimer::singleShot(0, &outer, [&] {
        QTimer::singleShot(50, [&] {
            ASSERT_NE(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()), nullptr);
            widgets.answerFrom(&standIn);
        });
        boxAnswer = widgets.message("Replace the file?", MsgStyle::YesNo | MsgStyle::Question, QString());
    });
    EXPECT_EQ(widgets.runModal(outer), QDialog::Rejected);
    EXPECT_EQ(boxAnswer, Answer::No);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    EXPECT_EQ(widgets.message("Retry?", MsgStyle::AbortRetryIgnore, QString()), Answer::Ignore);
    EXPECT_TRUE(widgets.openFileName({"Open Database", home.path(), "", "*.mdb"}).isEmpty());
    const QByteArray log = home.read("quorvelqc.log");
    EXPECT_TRUE(log.contains("Message: Replace the file? [answered No]\r\n")) << log.toStdString();
    EXPECT_TRUE(log.contains("Dialog \"Setup\" cancelled")) << log.toStdString();
    EXPECT_TRUE(log.contains("Message: Retry? [answered Ignore]")) << log.toStdString();
    EXPECT_TRUE(log.contains("File dialog \"Open Database\" cancelled")) << log.toStdString();
}

class MainWindowTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::ScriptedPrompter prompts;
    std::unique_ptr<MDIForm8700> form;

    void startUp()
    {
        form = std::make_unique<MDIForm8700>();
        form->startUp();
    }
    QMdiSubWindow* sub(QWidget* w) const { return form->subWindowOf(w); }
    QSize area() const { return form->mdiArea()->viewport()->size(); }
    // Expected geometry of `fractions` in the MDI area.
    QRect expected(double l, double t, double w, double h) const
    {
        const QSize a = area();
        return QRect(int(std::lround(l * a.width())), int(std::lround(t * a.height())),
                     int(std::lround(w * a.width())), int(std::lround(h * a.height())));
    }
};

// A window manager sizes the frame after start-up laid the children out.
void resizeLikeAWindowManager(QWidget& frame, QSize size)
{
    frame.resize(size);
    QCoreApplication::processEvents();
}

// The layout is saved relative to the frame: start-up at the first size, the
// window manager's resize, exit, twice over, keeps every fraction.
TEST_F(MainWindowTest, LayoutKeepsItsFractionsOverRestartsWithAWindowManagersResize)
{
    home.write("quorvelqc.ini", "[COMM]\r\nPORT=1\r\n");
    QStringList saved[2];
    for (QStringList& layouts : saved) {
        startUp();
        resizeLikeAWindowManager(*form, QSize(1600, 1000));
        form->close();
        form.reset();
        for (int i = 0; i < 5; ++i) {  // the status window may grow to its content (below)
            layouts << WindowSettings::readLayout(IniFile(home.file("quorvelqc.ini")), i);
            double now[4], first[4];
            ASSERT_TRUE(parseWindowLayout(layouts[i], now) && parseWindowLayout(WindowSettings::kLayouts[i].fileDefault, first));
            for (int k = 0; k < 4; ++k)
                EXPECT_NEAR(now[k], first[k], 0.002) << layouts[i].toStdString();
        }
    }
    EXPECT_EQ(saved[1], saved[0]);
}

// A window the user moved stays; the others follow the frame to a 1280 x 800
// screen, where the status window's 0.15 of the width is too narrow: it takes
// its content's minimum, and every caption and the gauge show whole.
TEST_F(MainWindowTest, MovedWindowsStayAndTheStatusWindowShowsWholeOnASmallScreen)
{
    startUp();
    resizeLikeAWindowManager(*form, QSize(1600, 1000));
    sub(form->fAlarmFrm())->move(30, 40);
    const QRect moved = sub(form->fAlarmFrm())->geometry();
    resizeLikeAWindowManager(*form, QSize(1280, 770));
    EXPECT_EQ(sub(form->fAlarmFrm())->geometry(), moved);
    EXPECT_EQ(sub(form->fDataFrm())->geometry(), expected(0.004, 0, 0.98, 0.40));

    auto* status = qobject_cast<frmStatus*>(form->fStatusFrm());
    ASSERT_NE(status, nullptr);
    QMdiSubWindow* window = sub(status);
    EXPECT_TRUE(QRect(QPoint(0, 0), area()).contains(window->geometry()));
    for (int code : {UnitStatus::NotPluggedIn, UnitStatus::AvailableForTest}) {
        form->monitor().statusModel().DoGridStatus(code);
        const GridControl* panel = status->panel();
        const QWidget* parts[] = {status->txtStatus, panel, panel->Gauge8700, panel->Gauge8700Text, panel->lblDiel};
        for (const QWidget* w : parts)
            EXPECT_TRUE(window->contentsRect().contains(QRect(w->mapTo(window, QPoint(0, 0)), w->size())))
                << w->objectName().toStdString() << " at status " << code;
    }
}

TEST_F(MainWindowTest, NoSettingsFileAsksForThePortAndOpensTheSixWindowsAtTheDefaults)
{
    startUp();
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages[0].text, "Please specify serial port for Quorvel unit.");
    EXPECT_EQ(prompts.messages[0].style, MsgStyle::Ok);

    EXPECT_EQ(sub(form->fAlarmFrm())->geometry(), expected(0.004, 0.41, 0.38, 0.22));
    EXPECT_EQ(sub(form->fDataFrm())->geometry(), expected(0.004, 0, 0.98, 0.40));
    EXPECT_EQ(sub(form->fReferenceFrm())->geometry(), expected(0.004, 0.64, 0.36, 0.27));
    EXPECT_EQ(sub(form->fReportFrm())->geometry(), expected(0.12, 0.02, 0.59, 0.65));
    EXPECT_EQ(sub(form->fCustomerFrm())->geometry(), expected(0.42, 0.62, 0.52, 0.30));
    // The status window is wider than 0.15 of this frame: its content needs more.
    EXPECT_EQ(sub(form->fStatusFrm())->geometry(),
              QRect(expected(0.75, 0.38, 0, 0).topLeft(), sub(form->fStatusFrm())->minimumSizeHint()));
    for (auto w : {Monitor::AlarmWindow, Monitor::DataWindow, Monitor::ReferenceWindow, Monitor::ReportWindow,
                   Monitor::CustomerWindow, Monitor::StatusWindow})
        EXPECT_TRUE(form->monitor().windowOpen(w)) << w;
    EXPECT_FALSE(form->monitor().windowOpen(Monitor::ChartWindow));
    // The status window, shown last, is in front.
    EXPECT_EQ(form->mdiArea()->subWindowList(QMdiArea::StackingOrder).last(), sub(form->fStatusFrm()));
    EXPECT_EQ(form->windowTitle(), "Quorvel QC");
}

TEST_F(MainWindowTest, SavedLayoutWithCommasReadsLikeBarsAndDefaultsUsesItsOwnValues)
{
    home.write("quorvelqc.ini", "[COMM]\nPORT=1\n[WINDOWS]\nWIN_4=0.12,0.20,0.59,0.65\nWIN_1=0.5|0.5|0.25|0.25\n"
                                "WIN_3=garbled\n");
    startUp();
    EXPECT_EQ(prompts.texts().filter("Please specify").size(), 0);
    EXPECT_EQ(sub(form->fReportFrm())->geometry(), expected(0.12, 0.20, 0.59, 0.65));
    EXPECT_EQ(sub(form->fAlarmFrm())->geometry(), expected(0.5, 0.5, 0.25, 0.25));
    // A layout that does not parse leaves the window where it was and shown.
    EXPECT_TRUE(sub(form->fReferenceFrm())->isVisible());

    // "Defaults" uses its own values: the report at top 0.20, not the file default 0.02.
    sub(form->fReportFrm())->setGeometry(1, 1, 200, 150);
    form->mnuDefault_Click();
    EXPECT_EQ(sub(form->fReportFrm())->geometry(), expected(0.12, 0.20, 0.59, 0.65));
    EXPECT_EQ(sub(form->fDataFrm())->geometry(), expected(0.004, 0, 0.98, 0.40));
}

TEST_F(MainWindowTest, ClosingAChildClearsItsFlagAndTheMenuShowsOrRestoresIt)
{
    startUp();
    sub(form->fDataFrm())->close();
    EXPECT_FALSE(form->monitor().windowOpen(Monitor::DataWindow));
    EXPECT_FALSE(sub(form->fDataFrm())->isVisible());
    form->menuAction("mnuData")->trigger();
    EXPECT_TRUE(form->monitor().windowOpen(Monitor::DataWindow));
    EXPECT_TRUE(sub(form->fDataFrm())->isVisible());

    sub(form->fStatusFrm())->close();
    EXPECT_FALSE(form->monitor().windowOpen(Monitor::StatusWindow));
    form->menuAction("mnuStatus")->trigger();
    EXPECT_TRUE(form->monitor().windowOpen(Monitor::StatusWindow));
    EXPECT_EQ(sub(form->fStatusFrm())->pos(), QPoint(int(std::lround(0.8 * area().width())), 0));

    // On a minimised window the command only restores it.
    QMdiSubWindow* alarms = sub(form->fAlarmFrm());
    alarms->setGeometry(10, 20, 300, 200);
    alarms->showMinimized();
    form->mnuAlarms_Click();
    EXPECT_FALSE(alarms->isMinimized());
    EXPECT_EQ(alarms->geometry(), QRect(10, 20, 300, 200));
}

// The command hands the grid the database and reads it afresh, whether the
// window was open (another station stored a sample in the shared file) or
// closed.
TEST_F(MainWindowTest, DataCommandHandsTheGridTheDatabaseAndReadsItAfresh)
{
    startUp();
    const QString path = home.file("samples.mdb");
    ASSERT_TRUE(QFile::copy(test::builtTemplate(), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(form->monitor().OpenSampleDatabase(path), 0);
    auto* data = qobject_cast<frmData*>(form->fDataFrm());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->model().rowCount(), 0);

    const QString insert = "INSERT INTO Samples (SampleDate) VALUES ('2026-12-06 10:00:00')";
    test::runSql(path, {insert});
    form->menuAction("mnuData")->trigger();
    EXPECT_EQ(data->model().rowCount(), 1);

    sub(data)->close();
    test::runSql(path, {insert});
    form->menuAction("mnuData")->trigger();
    EXPECT_TRUE(sub(data)->isVisible());
    EXPECT_EQ(data->model().rowCount(), 2);
}

// The editor commands hand their window the database and mark the current
// sample's assignments; a sample clicked later marks them again.
TEST_F(MainWindowTest, EditorCommandsMarkTheCurrentSamplesAssignments)
{
    startUp();
    const QString path = home.file("samples.mdb");
    ASSERT_TRUE(QFile::copy(test::builtTemplate(), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    test::runSql(path, {"INSERT INTO Customers (CustomerID, Lastname) VALUES (5, 'Smith')",
                        "INSERT INTO Samples (SampleID, AlarmID, RefID, CustomerID) VALUES (9, 1, 1, 5)"});
    ASSERT_EQ(form->monitor().OpenSampleDatabase(path), 0);
    form->monitor().setCurrentSampleId(9);
    auto* alarms = qobject_cast<frmAlarm*>(form->fAlarmFrm());
    auto* customers = qobject_cast<frmCustomer*>(form->fCustomerFrm());
    ASSERT_TRUE(alarms && customers && qobject_cast<frmReference*>(form->fReferenceFrm()));
    sub(alarms)->close();
    EXPECT_FALSE(form->monitor().windowOpen(Monitor::AlarmWindow));
    form->menuAction("mnuAlarms")->trigger();
    EXPECT_EQ(alarms->selectedAlarmId(), 1);
    EXPECT_EQ(alarms->detailModel().alarmId(), 1);
    EXPECT_EQ(alarms->windowTitle(), "Alarms - Default: Standard Limits");
    form->menuAction("mnuCustomers")->trigger();
    EXPECT_EQ(customers->selectedId(), 5);

    form->monitor().fDataFrm_SelFromGrid(-1);
    customers->UpdateForm(0);
    form->monitor().fDataFrm_SelFromGrid(9);
    EXPECT_EQ(customers->selectedId(), 5);
}

TEST_F(MainWindowTest, ShutdownWritesTheSixLayoutsClampedAndKeepsOtherLines)
{
    home.write("quorvelqc.ini", "; lab station 3\r\n[COMM]\r\nPORT=2\r\n");
    startUp();
    sub(form->fAlarmFrm())->move(-int(0.2 * area().width()), 0);  // partly outside: left -0.2
    sub(form->fCustomerFrm())->showMinimized();
    form->close();
    form.reset();

    const QString ini = QString::fromUtf8(home.read("quorvelqc.ini"));
    EXPECT_TRUE(ini.startsWith("; lab station 3\r\n[COMM]\r\nPORT=2\r\n")) << ini.toStdString();
    IniFile file(home.file("quorvelqc.ini"));
    EXPECT_TRUE(file.readText("WINDOWS", "WIN_1", "").startsWith("1E-01|")) << ini.toStdString();
    // A minimised window is saved at its normal position.
    const QStringList win5 = file.readText("WINDOWS", "WIN_5", "").split('|');
    ASSERT_EQ(win5.size(), 4);
    EXPECT_NEAR(win5[0].toDouble(), 0.42, 0.01);
    EXPECT_NEAR(win5[2].toDouble(), 0.52, 0.01);
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(file.readText("WINDOWS", QString("WIN_%1").arg(i), "").split('|').size(), 4) << i;
}

TEST_F(MainWindowTest, TestTimeEntryShowsOnlyOnceTheFirmwareAllowsItAndAboutIsModal)
{
    startUp();
    EXPECT_TRUE(form->menuAction("mnuDiag")->isVisible());
    EXPECT_FALSE(form->menuAction("mnuExportCSV")->isVisible());
    EXPECT_FALSE(form->menuAction("mnuTestTime")->isVisible());
    emit form->monitor().testTimeAvailable(true);
    EXPECT_TRUE(form->menuAction("mnuTestTime")->isVisible());

    // The about box is modal through the prompter.
    QString label;
    prompts.onModal = [&](QDialog& d) {
        if (auto* l = d.findChild<QLabel*>())
            label = l->text();
        return int(QDialog::Accepted);
    };
    form->mnuAbout_Click();
    EXPECT_EQ(label, "Quorvel QC Monitor Version 3.1");
}

TEST_F(MainWindowTest, UnwritableSettingsAtShutdownAreReportedNotIgnored)
{
    QDir(home.path()).mkdir("quorvelqc.ini");  // neither readable nor replaceable as a file
    startUp();
    prompts.messages.clear();
    form->close();
    EXPECT_TRUE(prompts.texts().contains("The window layout could not be saved in " + home.file("quorvelqc.ini") + "."))
        << prompts.texts().join(" / ").toStdString();
}

// The debug flag is read after the port opened; a normal start with it on
// (written as a hand-edited file might have it) still traces the link.
TEST_F(MainWindowTest, DebugFlagInTheSettingsFileTracesTheLinkAfterANormalStart)
{
    sim::PtyUnit unit;
    ASSERT_TRUE(unit.ok());
    home.write("quorvelqc.ini", "[COMM]\r\nPORT=1\r\nDEVICE=" + unit.device().toUtf8() + "\r\n[Misc]\r\ndebug= 1 \r\n");
    startUp();
    ASSERT_TRUE(form->monitor().unitLink().isOpen()) << prompts.texts().join("\n").toStdString();

    // A dielectric reading, then a state whose status line reads the grid
    // frequency (the unit answers 10000 counts, temperature byte 100).
    ASSERT_TRUE(unit.send(sim::dielFrame(258) + sim::stateFrame(4, 0, 0)));
    const auto log = [&] { return QString::fromUtf8(home.read("quorvelqc.log")); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return log().contains(",Diel,1,2\r\n") && log().contains(",10000,100\r\n"); },
                                10000))
        << log().toStdString();
    form->monitor().closeSerialLink();
}

} // namespace
} // namespace qqc

namespace qqc {
namespace {

// A stop signal that closes a box opened by a running command must not shut
// down (close the port and database) underneath that command: the frame
// closes once the box's event loop has returned.
TEST_F(MainWindowTest, CloseWhileABoxRunsItsLoopWaitsUntilTheBoxHasReturned)
{
    startUp();
    QEventLoop program, box;
    bool openWhileBoxRan = false;
    QTimer::singleShot(0, &program, [&] {
        QTimer::singleShot(0, &box, [&] {
            form->close();
            openWhileBoxRan = form->isVisible();
            box.quit();
        });
        box.exec();
        QTimer::singleShot(500, &program, &QEventLoop::quit);
    });
    program.exec();
    EXPECT_TRUE(openWhileBoxRan);
    EXPECT_FALSE(form->isVisible());
}

} // namespace
} // namespace qqc
