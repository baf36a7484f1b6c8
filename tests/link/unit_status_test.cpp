#include "link/unit_state_model.h"
#include "link/unit_status.h"

#include <gtest/gtest.h>

using namespace qqc;

// The common captions and states are checked through the model below; these
// are the texts that do not follow from a table row.
TEST(UnitStatusText, CountDownAtFullTimeUnknownStatesAndCalibrationFluids)
{
    EXPECT_EQ(unitStatusFor(50, 50).caption, QStringLiteral(" sec to go"));
    EXPECT_EQ(unitStatusFor(0, 700).caption, QStringLiteral("700 sec to go"));
    const StatusReadings none;
    EXPECT_EQ(stateTextFor(27, 0, 251, none).text, QStringLiteral("Testing \r\nTesting..."));
    EXPECT_EQ(stateTextFor(40, 0, 0, none).text, QStringLiteral("Unknown State\r\n40"));
    EXPECT_EQ(stateTextFor(6, 2, 0, none).text, QStringLiteral("Calibrating\r\nTest Fluid 300"));
    for (int ask : {4, 24, 25})
        EXPECT_TRUE(stateTextFor(ask, 0, 0, none).readFrequency) << ask;
    EXPECT_FALSE(stateTextFor(5, 0, 0, none).readFrequency);
    EXPECT_EQ(lcontShortText(7), QStringLiteral("F NF D"));
    EXPECT_EQ(lcontShortText(8), QString());
}

TEST(UnitStateModel, PanelStepsDownAndBackAndKeepsTheLastState)
{
    UnitStateModel m;
    int changes = 0;
    QObject::connect(&m, &UnitStateModel::unitStatusChanged, [&] { ++changes; });
    m.DoGridStatus(252);
    EXPECT_TRUE(m.panelLowered());
    EXPECT_EQ(m.statusCaption(), QStringLiteral("Available for Test"));
    m.DoGridStatus(20);
    EXPECT_TRUE(m.panelLowered());   // only 251 raises it again
    EXPECT_EQ(m.gauge(), 20);
    EXPECT_EQ(m.statusCaption(), QStringLiteral("30 sec to go"));
    m.DoGridStatus(100);   // beyond the gauge: the gauge keeps its value
    EXPECT_EQ(m.gauge(), 20);
    m.DoGridStatus(251);
    EXPECT_FALSE(m.panelLowered());
    m.TotalTestTime(200);
    m.ShowUnitStatus(UnitStatus::CommunicationsError);
    EXPECT_TRUE(m.statusRed());
    EXPECT_EQ(m.totalTestTime(), 200);
    EXPECT_EQ(changes, 5);

    m.NewState(22, 0, 0);
    m.NewState(21, 0, 0);   // no text: the display keeps the last one
    EXPECT_EQ(m.stateText(), QStringLiteral("Testing \r\nPlug Clean Grid"));
    int asked = 0;
    QObject::connect(&m, &UnitStateModel::ReadFreq, [&] { ++asked; });
    m.NewState(24, 0, 0);
    EXPECT_EQ(asked, 1);

    m.Diel(245);
    m.Iron(12);
    m.Water(7);
    m.LCont(3);
    m.NewState(28, 2, 0);   // the stored readings show
    EXPECT_EQ(m.stateText(), QStringLiteral("IRON 0012 LF D\r\nDIEL 2.45 W 0.07"));
    m.NewState(28, 1, 0);
    EXPECT_EQ(m.stateText(), QStringLiteral("Testing \r\nDIEL 2.45"));

    m.CalInfo(QStringLiteral("Cal: 12/06/2026"), QStringLiteral("220"), QStringLiteral("300"));
    EXPECT_EQ(m.calCaption(), QStringLiteral("Cal: 12/06/2026"));
    EXPECT_EQ(m.calDielectrics(), QStringLiteral("A: 2.20 B: 3.00"));
}
