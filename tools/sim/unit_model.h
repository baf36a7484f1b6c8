#pragma once
// A simple physical model of one test on the unit, for the simulator.
//
// The unit measures three channels 100 times during a test:
//   Base   the grid's oscillator count. It starts at BaseStart and falls
//          steadily while water in the oil polarises on the grid: the fall per
//          20 readings is D = 3 (5 w + 13) / 13 counts, where w is water x 100,
//          so that the slope index (d1/3 + d2 + d3 + d4 + d5 - 13) / 5 equals w.
//          Large particles crossing the grid show as single readings pulled
//          down by SpikeDepth counts.
//   North, South  the two magnet-side channels: they follow Base, lowered by
//          half the ferrous index each, so (Base - North) + (Base - South)
//          equals the ferrous index. Ferrous particles add spikes on them.
//   Temp   the temperature byte, constant with a small ripple.
// The dielectric count ("Short") follows the calibration line: a higher
// dielectric gives a lower count. The unit's intermediate values and results
// (Calc8700, Rslt8700) are set from the same parameters.
//
// The analysis side's recalculation reads these readings; keep the model
// behind simulateTest() so it can be refined without touching the simulator.

#include "link/test_record.h"

#include <cstdint>

namespace qqc::sim {

struct Calibration {
    int freq220 = 5000;
    int freq300 = 4600;
    int diel220 = 220;
    int diel300 = 300;
};

struct OilSample {
    int dielectric = 245;   // x 100
    int ferrous = 12;       // ferrous index
    int water = 7;          // x 100
    int lcont = 0;          // large-contamination flags to show: 1 droplets, 2 ferrous, 4 non-ferrous
    int temperature = 100;  // temperature byte
};

constexpr int BaseStart = 20000;
constexpr int SpikeDepth = 20;

// The dielectric count for a dielectric x 100 under `cal`.
int dielectricCount(int diel100, const Calibration& cal);

// One test of `oil` measured with `cal`; `seed` varies the small noise.
TestRecord simulateTest(const OilSample& oil, const Calibration& cal, std::uint32_t seed = 1);

} // namespace qqc::sim
