#pragma once
// The texts the status window shows for the unit's status codes ("K") and
// procedure states ("S"). Pure functions, so every caption is testable
// without a window.

#include <QString>

namespace qqc {

// Gauge range of the status panel: the count-down runs from 0 to 50.
constexpr int GaugeMaximum = 50;

// Status codes the panel shows besides the count-down.
namespace UnitStatus {
constexpr int PortNotDefined = -4;
constexpr int NotPluggedIn = 251;
constexpr int AvailableForTest = 252;
constexpr int Blank = 253;
constexpr int Reset = 254;
constexpr int TestDataReady = 250;
constexpr int ReadingTestData = 260;
constexpr int CommunicationsError = 261;
constexpr int PollBlockedFirst = 270;
constexpr int PollBlockedLast = 280;
} // namespace UnitStatus

struct UnitStatusView {
    QString caption;
    bool red = false;
    int gauge = 0;
    bool setGauge = true;   // false when the value exceeds the gauge's maximum
};

// The caption, its colour and the gauge value for a status code; the
// count-down "$ sec to go" uses the total test time in seconds.
UnitStatusView unitStatusFor(int code, int totalTestTime);

// Large-contamination flags as the short text of the procedure display.
QString lcontShortText(int flags);

// The last readings the status window holds.
struct StatusReadings {
    int dielectric = 0;   // x 100
    int ferrous = 0;
    int lcont = 0;
    int water = 0;        // x 100
};

struct StateView {
    QString text;               // "first line\r\nsecond line"; empty: leave the display
    bool readFrequency = false; // the state asks the PC to read the frequency
};

StateView stateTextFor(int state, int variant, int count, const StatusReadings& readings);

} // namespace qqc
