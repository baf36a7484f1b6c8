#pragma once
// Alarm levels and Trifold axis values: the pure mappings between them, the
// comparison of a value with an alarm set's four limits, and the level
// colours of the grids. The database side (which limits apply to a stored
// value) lives in db/alarm_evaluation.h.
//
// Levels: 0 not evaluated, 1 normal, 2 above HighNormal, 3 Alert, 4 Alarm,
// 5 Extreme. Axis values: -1 (nothing evaluated), 0, 10, 30, 55, 85.

#include <QRgb>

namespace qqc {

// Level of |value| against ascending limits; all four exactly 0 gives 0.
// Limits that are not ascending resolve toward the higher level.
short CalculateSeverity(float value, float highNormal, float alert, float alarm, float extreme);

// Level of a large-contamination flag value (parameters 65..67): 4 when set.
inline short FlagSeverity(float value) { return value > 0 ? 4 : 1; }
inline bool IsFlagParameter(int parmId) { return parmId >= 65 && parmId <= 67; }

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

} // namespace qqc
