#include "link/frm_status.h"
#include "link/unit_status.h"

#include <QLabel>
#include <QProgressBar>

#include <gtest/gtest.h>

using namespace qqc;

TEST(UnitStatusText, CountDownShowsTheRemainingSeconds)
{
    UnitStatusView v = UnitStatusFor(25, 50);
    EXPECT_EQ(v.caption, QStringLiteral("25 sec to go"));
    EXPECT_EQ(v.gauge, 25);
    EXPECT_TRUE(v.setGauge);
    EXPECT_EQ(UnitStatusFor(50, 50).caption, QStringLiteral(" sec to go"));
    EXPECT_EQ(UnitStatusFor(0, 700).caption, QStringLiteral("700 sec to go"));
    EXPECT_FALSE(UnitStatusFor(100, 50).setGauge);   // beyond the gauge's maximum
}

TEST(UnitStatusText, FixedCaptionsAndColours)
{
    EXPECT_EQ(UnitStatusFor(253, 50).caption, QString());
    for (int red : {254, 261, 275})
        EXPECT_TRUE(UnitStatusFor(red, 50).red) << red;
    EXPECT_FALSE(UnitStatusFor(252, 50).red);
}

TEST(UnitStatusText, ProcedureStates)
{
    const StatusReadings none;
    EXPECT_EQ(StateTextFor(27, 0, 251, none).text, QStringLiteral("Testing \r\nTesting..."));
    EXPECT_EQ(StateTextFor(40, 0, 0, none).text, QStringLiteral("Unknown State\r\n40"));
    EXPECT_EQ(StateTextFor(6, 2, 0, none).text, QStringLiteral("Calibrating\r\nTest Fluid 300"));
    for (int quiet : {1, 21, 29})
        EXPECT_TRUE(StateTextFor(quiet, 0, 0, none).text.isEmpty());
    for (int ask : {4, 24, 25})
        EXPECT_TRUE(StateTextFor(ask, 0, 0, none).readFrequency) << ask;
    EXPECT_FALSE(StateTextFor(5, 0, 0, none).readFrequency);

    StatusReadings r;
    r.ferrous = 12;
    r.lcont = 3;
    r.dielectric = 245;
    r.water = 7;
    EXPECT_EQ(StateTextFor(28, 2, 0, r).text, QStringLiteral("IRON 0012 LF D\r\nDIEL 2.45 W 0.07"));
    EXPECT_EQ(StateTextFor(28, 1, 0, r).text, QStringLiteral("Testing \r\nDIEL 2.45"));
    EXPECT_EQ(LcontShortText(7), QStringLiteral("F NF D"));
    EXPECT_EQ(LcontShortText(8), QString());
}

TEST(StatusWindow, PanelStepsDownAndBackAndKeepsTheLastState)
{
    frmStatus w;
    const int base = w.panel()->y();
    w.DoGridStatus(252);
    EXPECT_EQ(w.panel()->y() - base, twipsToPixels(560));
    EXPECT_EQ(w.panel()->Gauge8700Text->text(), QStringLiteral("Available for Test"));
    w.DoGridStatus(251);
    EXPECT_EQ(w.panel()->y(), base);
    w.DoGridStatus(20);
    EXPECT_EQ(w.panel()->Gauge8700->value(), 20);
    EXPECT_EQ(w.panel()->Gauge8700Text->text(), QStringLiteral("30 sec to go"));
    w.DoGridStatus(261);
    EXPECT_EQ(w.panel()->Gauge8700Text->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    w.NewState(22, 0, 0);
    w.NewState(21, 0, 0);   // no text: the display keeps the last one
    EXPECT_EQ(w.statusText(), QStringLiteral("Testing \r\nPlug Clean Grid"));
    int asked = 0;
    QObject::connect(&w, &frmStatus::ReadFreq, [&] { ++asked; });
    w.NewState(24, 0, 0);
    EXPECT_EQ(asked, 1);

    w.CalInfo(QStringLiteral("Cal: 12/06/2026"), QStringLiteral("220"), QStringLiteral("300"));
    EXPECT_EQ(w.panel()->lblCal->text(), QStringLiteral("Cal: 12/06/2026"));
    EXPECT_EQ(w.panel()->lblDiel->text(), QStringLiteral("A: 2.20 B: 3.00"));
}
