#pragma once
// The unit's test time setting without a window: the five lengths a test can
// run, each with the setting byte the unit understands, and the download of
// a setting. The test time dialog (frmTestTime, link/ui) offers the choices;
// the Monitor stores the chosen one and sends it.

#include <array>

namespace qqc {

class SerialPort;

struct TestTimeChoice {
    int totalSeconds;   // shown first in the caption, used for the count-down
    int settingByte;    // sent to the unit after "J"
};

// The five choices in button order ("50 seconds" .. "700 seconds").
constexpr std::array<TestTimeChoice, 5> kTestTimeChoices{{{50, 1}, {100, 5}, {200, 10}, {500, 28}, {700, 40}}};

// The choice at `index`; the 50-second total and setting byte 1 when no
// choice is made (index -1).
TestTimeChoice testTimeChoice(int index);
// The first choice whose total is `seconds`; the first choice when none is.
int testTimeChoiceIndex(int seconds);

// Sends a test time setting to the unit: "J" (answered "T"), the setting
// byte (answered byte + 10), then "S" (answered "]"). Each byte goes out
// whatever became of the one before; failures are not reported, so a silent
// unit costs two seconds a byte and nothing else. Returns how many of the
// three bytes were acknowledged.
int DownloadTestTime(SerialPort& port, int settingByte);

} // namespace qqc
