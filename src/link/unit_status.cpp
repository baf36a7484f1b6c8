#include "link/unit_status.h"

#include "util/common.h"
#include "util/vb_format.h"

namespace qqc {

UnitStatusView unitStatusFor(int code, int totalTestTime)
{
    using namespace UnitStatus;
    UnitStatusView v;
    switch (code) {
    case PortNotDefined: v.caption = QStringLiteral("Comm Port Not Defined"); return v;
    case NotPluggedIn: v.caption = QStringLiteral("Not Plugged In"); return v;
    case AvailableForTest: v.caption = QStringLiteral("Available for Test"); return v;
    case Blank: return v;
    case TestDataReady: v.caption = QStringLiteral("Test Data Ready!"); return v;
    case ReadingTestData: v.caption = QStringLiteral("Reading Test Data..."); return v;
    case CommunicationsError:
        v.caption = QStringLiteral("Communications Error");
        v.red = true;
        return v;
    case Reset:
        v.caption = QStringLiteral("8700 reset detected");
        v.red = true;
        return v;
    default: break;
    }
    if (code >= PollBlockedFirst && code <= PollBlockedLast) {
        v.caption = QStringLiteral("Poll Blocked by ") + DeviceTypeName(code - PollBlockedFirst);
        v.red = true;
        return v;
    }
    const double t = totalTestTime;
    const double remaining = t - (t / 50.0) * code;
    v.caption = Format(remaining, QStringLiteral("####")) + QStringLiteral(" sec to go");
    v.gauge = code;
    v.setGauge = code <= GaugeMaximum;
    return v;
}

QString lcontShortText(int flags)
{
    static const char* const texts[] = {"NO LRG", "DROPS", "LRG FE", "LF D", "NF", "NF D", "LF NF", "F NF D"};
    if (flags < 0 || flags > 7)
        return QString();
    return QString::fromLatin1(texts[flags]);
}

StateView stateTextFor(int state, int variant, int count, const StatusReadings& r)
{
    StateView v;
    QString first;
    QString second;
    const QString calibrating = QStringLiteral("Calibrating");
    const QString testing = QStringLiteral("Testing ");
    const auto diel = [&] { return QStringLiteral("DIEL ") + Format(r.dielectric / 100.0, QStringLiteral("0.00")); };
    switch (state) {
    case 1:
    case 21:
    case 29:
        return v;
    case 2: first = calibrating; second = QStringLiteral("Plug Clean Grid"); break;
    case 3: first = calibrating; second = QStringLiteral("Clean Check"); break;
    case 4:
        first = calibrating;
        second = QStringLiteral("Unplug Re-Clean");
        v.readFrequency = true;
        break;
    case 5: first = calibrating; second = QStringLiteral("Is Clean Unplug"); break;
    case 6:
        first = calibrating;
        second = variant == 1 ? QStringLiteral("Test Fluid 220") : QStringLiteral("Test Fluid 300");
        break;
    case 7:
        first = calibrating;
        second = variant == 1 ? QStringLiteral("Unplug Grid") : QStringLiteral("Finished! Unplug");
        break;
    case 15: first = second = QStringLiteral("Logic Error"); break;
    case 22: first = testing; second = QStringLiteral("Plug Clean Grid"); break;
    case 23: first = testing; second = QStringLiteral("Clean Check"); break;
    case 24:
        first = testing;
        second = QStringLiteral("Unplug Re-Clean");
        v.readFrequency = true;
        break;
    case 25:
        first = testing;
        second = QStringLiteral("Is Clean Unplug");
        v.readFrequency = true;
        break;
    case 26:
        first = testing;
        second = variant == 1 ? QStringLiteral("Test Neat Oil") : QStringLiteral("Test Diluted");
        break;
    case 27:
        first = testing;
        second = QStringLiteral("Testing...");
        if (count < 251)
            second += Format(double(count), QStringLiteral("000"));
        break;
    case 28:
        if (variant == 1) {
            first = testing;
            second = diel();
        } else {
            first = QStringLiteral("IRON ") + Format(double(r.ferrous), QStringLiteral("0000")) + QLatin1Char(' ')
                    + lcontShortText(r.lcont);
            second = diel() + QStringLiteral(" W ") + Format(r.water / 100.0, QStringLiteral("0.00"));
        }
        break;
    default:
        first = QStringLiteral("Unknown State");
        second = QString::number(state);
        break;
    }
    v.text = first + QStringLiteral("\r\n") + second;
    return v;
}

} // namespace qqc
