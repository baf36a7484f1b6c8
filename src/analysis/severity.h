#pragma once
// The judging rules, the only copy of them: the change parameters' values
// against the reference oil, which value a parameter stores, the level of a
// value against an alarm set's four limits, the level of a flag, which
// levels count on a Trifold axis and the axis values of the worst levels,
// with the mappings between levels and axis values and the level colours of
// the grids. The database side (reading which limits apply to a stored
// value, and storing the results) lives in db/sample_store.cpp and
// db/alarm_evaluation.cpp; both the live store of a test and the single
// routines judge with what is here.
//
// Levels: 0 not evaluated, 1 normal, 2 above HighNormal, 3 Alert, 4 Alarm,
// 5 Extreme. Axis values: -1 (nothing evaluated), 0, 10, 30, 55, 85.

#include "core/parameters.h"

#include <QRgb>

#include <array>
#include <optional>

namespace qqc {

// Level of |value| against ascending limits; all four exactly 0 gives 0.
// Limits that are not ascending resolve toward the higher level.
short CalculateSeverity(float value, float highNormal, float alert, float alarm, float extreme);

// A change parameter (56, 73) at NoValue has no value: its row is removed.
inline bool isChangeParameter(int parmId)
{
    return parmId == Parm::DielectricChange || parmId == Parm::ViscosityChange;
}

// The change parameters' values against the sample's reference oil, or
// NoValue: the dielectric's change (dielectric - reference) * 100 when the
// reference dielectric is above 0; the viscosity's change (viscosity -
// reference) * 100 / (reference + viscosity) when both are above 0.
float dielectricChange(float dielectric, float refDielectric);
float viscosityChange(float viscosity, float refViscosity);

// The value a parameter is stored with: none for a change parameter at
// NoValue (any other value of it, negative ones included, is kept), 0 for a
// negative value of every other parameter, else the value itself.
std::optional<float> valueToStore(int parmId, float value);

// Level of a large-contamination flag value (parameters 65..67): 4 when set.
inline short flagSeverity(float value) { return value > 0 ? 4 : 1; }
inline bool isFlagParameter(int parmId) { return parmId >= Parm::LargeWater && parmId <= Parm::LargeNonFerrous; }

// An alarm set's HighNormal, Alert, Alarm and Extreme for one parameter.
using AlarmLimits = std::array<float, 4>;

// What judging one parameter needs to know from the database.
struct ParameterJudging {
    bool known = false;                 // listed among the parameters
    bool alarmed = false;               // its ParmAlarm is set
    int axis = 0;                       // its ParmType (see Axis)
    std::optional<AlarmLimits> limits;  // the alarm set's row, when alarmed and there is one
};

// The level GetSeverity gives: CalculateSeverity with the alarm set's limits
// of an alarmed parameter, 0 without them.
short alarmLevel(float value, const ParameterJudging& judging);

// The level a parameter's value is stored with: a flag by its value, every
// other parameter by its alarm level (asked for only then).
template <class AlarmLevel>
short storedLevel(int parmId, float value, AlarmLevel&& alarmLevelOfValue)
{
    return isFlagParameter(parmId) ? flagSeverity(value) : short(alarmLevelOfValue());
}

// Whether a parameter's level counts on its Trifold axis: a known parameter
// that is alarmed or a flag.
inline bool countsOnTriFold(int parmId, const ParameterJudging& judging)
{
    return judging.known && (judging.alarmed || isFlagParameter(parmId));
}

// -1 or 0 -> -1, 1 -> 0, 2 -> 10, 3 -> 30, 4 -> 55, 5 -> 85, others 0.
float LevelToAxisValue(int level);
// -1 -> 0, 0 -> 1, [1,20] -> 2, [21,40] -> 3, [41,70] -> 4, [71,100] -> 5,
// anything else (gaps between the bands, above 100) -> 0.
short AxisValueToLevel(float axisValue);

// 0 white, 1 green, 2 cyan, 3 yellow, 4 magenta, 5 red, others black.
QRgb GetSeverityColors(int level);

// Trifold axes by Parameters.ParmType.
namespace Axis {
constexpr int None = 0;
constexpr int Wear = 1;
constexpr int Contamination = 2;
constexpr int Chemistry = 3;
} // namespace Axis

// The worst level on each Trifold axis, and the axis values stored from it.
class TriFoldLevels {
public:
    // Counts `level` on axis `parmType`; false, counting nothing, when the
    // type is outside 0..3 (0 collects parameters of no axis).
    bool add(int parmType, short level);
    short worst(int axis) const { return worst_[size_t(axis)]; }
    // LevelToAxisValue of the axis' worst level: -1 when nothing counted.
    float axisValue(int axis) const { return LevelToAxisValue(worst(axis)); }

private:
    std::array<short, 4> worst_{};
};

} // namespace qqc
