// The link's windows show their models and drive them; what the models
// compute is tested without windows in tests/link.
#include "link/fake_port.h"
#include "link/ui/frm_diag.h"
#include "link/ui/frm_status.h"
#include "sim/command_responder.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

using namespace qqc;

TEST(FrmStatus, FollowsItsModelIncludingWhatItHeldBeforeTheWindowExisted)
{
    UnitStateModel model;
    model.CalInfo(QStringLiteral("Cal: 12/06/2026"), QStringLiteral("220"), QStringLiteral("300"));
    frmStatus w(model);
    EXPECT_EQ(w.panel()->lblCal->text(), QStringLiteral("Cal: 12/06/2026"));
    EXPECT_EQ(w.panel()->lblDiel->text(), QStringLiteral("A: 2.20 B: 3.00"));

    model.DoGridStatus(252);
    EXPECT_EQ(w.panel()->y() - w.panelBaseTop(), twipsToPixels(GridStatusStepTwips));
    model.DoGridStatus(251);
    EXPECT_EQ(w.panel()->y(), w.panelBaseTop());
    model.DoGridStatus(20);
    EXPECT_EQ(w.panel()->Gauge8700->value(), 20);
    EXPECT_EQ(w.panel()->Gauge8700Text->text(), QStringLiteral("30 sec to go"));
    model.DoGridStatus(261);
    EXPECT_EQ(w.panel()->Gauge8700Text->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    model.NewState(27, 0, 7);
    EXPECT_EQ(w.txtStatus->toPlainText(), QStringLiteral("Testing \nTesting...007"));
}

// With a large font the panel widens until every caption fits its label.
TEST(FrmStatus, EveryCaptionFitsItsLabelInALargeFont)
{
    const QFont before = QApplication::font();
    QApplication::setFont(QFont(before.family(), 18));
    UnitStateModel model;
    frmStatus w(model);
    QApplication::setFont(before);
    const QLabel* caption = w.panel()->Gauge8700Text;
    for (int code : {UnitStatus::CommunicationsError, UnitStatus::PortNotDefined, UnitStatus::PollBlockedLast, 0}) {
        model.DoGridStatus(code);
        EXPECT_LE(caption->fontMetrics().horizontalAdvance(caption->text()), caption->width()) << code;
    }
}

TEST(FrmDiag, StartAndCancelDrivePollingAndAbortClosesTheWindow)
{
    test::ScriptedPrompter prompts;
    sim::CommandResponder unit;
    auto fake = std::make_unique<test::FakePort>();
    test::FakePort* port = fake.get();
    port->answerAs(unit);
    unit.grid().frequency = 10000;
    frmDiag window(std::move(fake));
    window.setDevice(QStringLiteral("/dev/fake"));
    window.PollScroll()->setValue(2);

    QTest::mouseClick(window.CmdButton(), Qt::LeftButton);
    EXPECT_EQ(window.value(DiagPoll::RowFrequency), QStringLiteral("10000"));
    EXPECT_EQ(window.DiagOper()->text(), QStringLiteral("Waiting to Poll"));
    EXPECT_EQ(window.diagPoll().timer()->interval(), 2000);
    EXPECT_FALSE(window.CmdButton()->isEnabled());
    QTest::mouseClick(window.Cancel(), Qt::LeftButton);
    EXPECT_FALSE(window.diagPoll().timer()->isActive());
    EXPECT_TRUE(window.CmdButton()->isEnabled());

    QTest::mouseClick(window.CmdButton(), Qt::LeftButton);
    QSignalSpy abort(&window, &frmDiag::abortRequested);
    port->close();
    port->openSucceeds = false;
    prompts.answers = {Answer::Abort};
    window.diagPoll().poll();
    EXPECT_EQ(abort.count(), 1);
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_TRUE(window.CmdButton()->isEnabled());
}
