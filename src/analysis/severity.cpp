#include "analysis/severity.h"

#include <algorithm>
#include <cmath>

namespace qqc {

short CalculateSeverity(float value, float highNormal, float alert, float alarm, float extreme)
{
    const float x = std::fabs(value);
    if (highNormal == 0 && alert == 0 && alarm == 0 && extreme == 0)
        return 0;
    if (x >= extreme)
        return 5;
    if (x >= alarm)
        return 4;
    if (x >= alert)
        return 3;
    if (x >= highNormal)
        return 2;
    return 1;
}

float dielectricChange(float dielectric, float refDielectric)
{
    return refDielectric > 0 ? (dielectric - refDielectric) * 100.0f : NoValue;
}

float viscosityChange(float viscosity, float refViscosity)
{
    return refViscosity > 0 && viscosity > 0 ? (viscosity - refViscosity) * 100.0f / (refViscosity + viscosity) : NoValue;
}

std::optional<float> valueToStore(int parmId, float value)
{
    if (isChangeParameter(parmId))
        return value == NoValue ? std::nullopt : std::optional<float>(value);
    return value < 0 ? 0.0f : value;
}

short alarmLevel(float value, const ParameterJudging& judging)
{
    if (!judging.alarmed || !judging.limits)
        return 0;
    const AlarmLimits& l = *judging.limits;
    return CalculateSeverity(value, l[0], l[1], l[2], l[3]);
}

bool TriFoldLevels::add(int parmType, short level)
{
    if (parmType < 0 || parmType > 3)
        return false;
    worst_[size_t(parmType)] = std::max(worst_[size_t(parmType)], level);
    return true;
}

float LevelToAxisValue(int level)
{
    switch (level) {
    case -1:
    case 0: return -1.0f;
    case 1: return 0.0f;
    case 2: return 10.0f;
    case 3: return 30.0f;
    case 4: return 55.0f;
    case 5: return 85.0f;
    default: return 0.0f;
    }
}

short AxisValueToLevel(float v)
{
    if (v == -1.0f)
        return 0;
    if (v == 0.0f)
        return 1;
    if (v >= 1 && v <= 20)
        return 2;
    if (v >= 21 && v <= 40)
        return 3;
    if (v >= 41 && v <= 70)
        return 4;
    if (v >= 71 && v <= 100)
        return 5;
    return 0;
}

QRgb GetSeverityColors(int level)
{
    switch (level) {
    case 0: return qRgb(0xFF, 0xFF, 0xFF);
    case 1: return qRgb(0x00, 0xFF, 0x00);
    case 2: return qRgb(0x00, 0xFF, 0xFF);
    case 3: return qRgb(0xFF, 0xFF, 0x00);
    case 4: return qRgb(0xFF, 0x00, 0xFF);
    case 5: return qRgb(0xFF, 0x00, 0x00);
    default: return qRgb(0, 0, 0);
    }
}

} // namespace qqc
