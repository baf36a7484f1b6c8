#pragma once
// The physical model of one test on the unit, for the simulator.
//
// The unit measures three channels 100 times during a test:
//   Base   the grid's oscillator count. It starts at the oil's signal level
//          (baseStart) and falls steadily while water in the oil polarises on
//          the grid, by phi = 3 (5 w + 13) / 245 counts a reading (w is water
//          x 100), so that the slope index the unit computes from its block
//          medians, (d1/3 + d2 + d3 + d4 + d5 - 13) / 5 with d1..d4 over 20
//          readings and d5 over 15, comes out as w. Readings are whole counts.
//          Particles crossing the grid pull single readings down: droplets
//          by dropletDepth (small spikes), non-ferrous particles by spikeDepth
//          (large spikes).
//   North, South  the two magnet-side channels: they follow Base, lowered by
//          half the ferrous index each, so 2 Base - North - South equals the
//          ferrous index; they carry a ripple of one count. Ferrous particles
//          held by the magnets show as dips on both.
//   Temp   the temperature byte, constant with a small ripple.
// The dielectric count ("Short") follows the calibration line: a higher
// dielectric gives a lower count.
//
// The unit then computes its intermediate values and results (Calc8700,
// Rslt8700) from these readings, exactly as the monitor recomputes them
// (PCCalc, PCRslt): computeUnitResults() is that firmware arithmetic written
// on its own, so the monitor's recalculation can be checked against it. The
// requested particle flags come out as the class whenever the class table can
// express them: droplets mean free water, so they raise the slope index above
// 3.8 (at least water 5); non-ferrous particles alone in wet oil read as class 6
// on the unit (code 5), which the table gives no other way.

#include "core/record.h"

#include <cstdint>

namespace qqc::sim {

struct Calibration {
    int freq220 = 5000;
    int freq300 = 4600;
    int diel220 = 220;
    int diel300 = 300;
};

constexpr int baseStart = 20000;
constexpr int spikeDepth = 20;      // a non-ferrous particle: a large Base spike
constexpr int dropletDepth = 9;     // a droplet: a small Base spike
constexpr int magnetDepth = 12;     // a ferrous particle: a dip on North and South
constexpr int lowSignal = 500;      // a Base block median below this is "CRITICAL"

struct OilSample {
    int dielectric = 245;   // x 100
    int ferrous = 12;       // ferrous index
    int water = 7;          // x 100
    int lcont = 0;          // particles present: 1 droplets, 2 ferrous, 4 non-ferrous
    int temperature = 100;  // temperature byte
    int signal = baseStart; // Base level at the start (below lowSignal: a failed test)
};

// The dielectric count for a dielectric x 100 under `cal`.
int dielectricCount(int diel100, const Calibration& cal);

// One test of `oil` measured with `cal`; `seed` varies the small ripple. The
// record's payload never holds the end tag, and its Calc8700/Rslt8700 are
// the unit's own computation from its readings.
TestRecord simulateTest(const OilSample& oil, const Calibration& cal, std::uint32_t seed = 1);

// The unit's computation: Calc8700 and Rslt8700 (except Rslt8700[Short], the
// dielectric count, which it reads) from raw8700 and CalData.
void computeUnitResults(TestRecord& record);

} // namespace qqc::sim
