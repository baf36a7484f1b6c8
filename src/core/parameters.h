#pragma once
// Parameter numbers (ParmID) this program writes for a sample, and the value
// that stands for "no value".

namespace qqc {

constexpr float NoValue = -999.0f;   // no value for parameters 56 and 73

namespace Parm {
constexpr short DielectricChange = 56;
constexpr short Dielectric = 58;
constexpr short Ferrous = 59;
constexpr short Water = 60;
constexpr short LargeWater = 65;
constexpr short LargeFerrous = 66;
constexpr short LargeNonFerrous = 67;
constexpr short ViscosityChange = 73;
constexpr short Viscosity = 132;
} // namespace Parm

} // namespace qqc
