#include "sim/unit_model.h"

#include "sim/frames.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace qqc::sim {

int dielectricCount(int diel100, const Calibration& cal)
{
    const double span = cal.diel300 - cal.diel220;
    if (span == 0)
        return cal.freq220;
    const double f = cal.freq220 - (diel100 - cal.diel220) * double(cal.freq220 - cal.freq300) / span;
    return int(std::lround(f));
}

namespace {

// Median of five readings: sort a copy, take the middle one.
std::int32_t median5(const std::int32_t* v)
{
    std::array<std::int32_t, 5> w{v[0], v[1], v[2], v[3], v[4]};
    std::sort(w.begin(), w.end());
    return w[2];
}

// Nearest whole number, halves to the even neighbour (the unit's rounding).
std::int32_t roundEven(double v) { return std::int32_t(std::nearbyint(v)); }

// Contamination class of a code (bit 16 curvature, 8 small spikes, 4 large
// spikes, 2 North/South spikes, 1 slope above 3.8).
int classOf(int code)
{
    static const int table[32] = {0, 0, 2, 2, 4, 6, 0, 6, 4, 1, 6, 3, 4, 5, 6, 7,
                                  4, 1, 6, 3, 4, 5, 6, 7, 4, 1, 6, 3, 4, 5, 6, 7};
    return table[code & 31];
}

} // namespace

void computeUnitResults(TestRecord& r)
{
    const std::int32_t* raw = r.raw8700.data();
    auto& calc = r.Calc8700;
    auto& rslt = r.Rslt8700;
    calc.fill(0);

    // Block medians of Base and the ends of each channel.
    std::int32_t medians[6];
    for (int b = 0; b < 5; ++b)
        medians[b] = median5(raw + 20 * b);
    medians[5] = median5(raw + 95);
    calc[Calc::en] = median5(raw + 195);
    calc[Calc::es] = median5(raw + 295);
    calc[Calc::sn] = median5(raw + 100);
    calc[Calc::ss] = median5(raw + 200);
    calc[Calc::sb] = median5(raw);
    bool critical = false;
    for (std::int32_t m : medians)
        critical = critical || m < lowSignal;
    calc[Calc::CRITICAL] = critical ? 1 : 0;

    std::int32_t drop[5];
    for (int k = 0; k < 5; ++k) {
        drop[k] = std::max(0, medians[k] - medians[k + 1]);
        calc[Calc::bgp1 + k] = drop[k];
    }
    float slope = float((drop[0] / 3.0 + drop[1] + drop[2] + drop[3] + drop[4] - 13) / 5.0);
    slope = std::max(slope, 0.0f);

    std::int32_t z[12];
    for (int i = 0; i < 12; ++i)
        z[i] = 2 * raw[88 + i] - raw[188 + i] - raw[288 + i];
    calc[Calc::bns1] = median5(z);
    calc[Calc::bns2] = median5(z + 2);
    calc[Calc::bns3] = median5(z + 4);
    const std::int32_t iron = std::max({calc[Calc::bns1], calc[Calc::bns2], calc[Calc::bns3], 0});

    int small = 0, large = 0, north = 0, south = 0, curvature = 0, biggest = 0;
    for (int i = 7; i <= 91; ++i) {
        const std::int32_t centre = median5(raw + i - 2);
        const std::int32_t e = centre - raw[i] - 4;
        if (e >= 9) {
            ++large;
            biggest = std::max(biggest, e);
        } else if (e >= 1) {
            ++small;
        }
        north += median5(raw + i + 98) - raw[i + 100] - 4 > 0;
        south += median5(raw + i + 198) - raw[i + 200] - 4 > 0;
        curvature = std::max(curvature, std::abs(median5(raw + i - 7) - 2 * centre + median5(raw + i + 3)));
    }
    calc[Calc::bigbspike] = large;
    calc[Calc::smallbspike] = small;
    calc[Calc::numnspike] = north;
    calc[Calc::numsspike] = south;
    calc[Calc::bspikemag] = biggest;
    calc[Calc::slope] = curvature;

    const double limit = 1.09 * (small + large);
    const int code = (curvature > 4 ? 16 : 0) + (small > 0 ? 8 : 0) + (large > 0 ? 4 : 0)
        + (north <= limit && south <= limit ? 0 : 2) + (slope > 3.8 ? 1 : 0);

    const auto& c = r.CalData;
    const double span = double(c[Cal::FreqA]) - c[Cal::FreqB];
    rslt[Rslt::diel] = span == 0 ? 0
                                 : roundEven(c[Cal::DlecA]
                                             + (c[Cal::FreqA] - double(rslt[Rslt::Short])) * (c[Cal::DlecB] - c[Cal::DlecA])
                                                 / span);
    rslt[Rslt::iron] = critical ? 999 : iron;
    rslt[Rslt::water] = critical ? 999 : roundEven(slope);
    rslt[Rslt::lcont] = critical ? 7 : classOf(code);
    rslt[Rslt::spare4] = 0;
    rslt[Rslt::spare5] = 0;
    rslt[Rslt::cont10] = roundEven(slope * 10.0f);
}

TestRecord simulateTest(const OilSample& oil, const Calibration& cal, std::uint32_t seed)
{
    TestRecord r;
    std::uint32_t state = seed ? seed : 1;
    const auto ripple = [&state]() {   // 0 or 1, a small deterministic ripple
        state = state * 1664525u + 1013904223u;
        return int((state >> 16) & 1u);
    };

    const bool droplets = oil.lcont & 1;
    const bool ferrous = oil.lcont & 2;
    const bool nonFerrous = oil.lcont & 4;
    // Free water (droplets) raises the slope index above the class limit 3.8.
    const int water = std::max(0, droplets ? std::max(oil.water, 5) : oil.water);
    const double fall = 3.0 * (5.0 * water + 13.0) / 245.0;
    const int start = std::clamp(oil.signal, 0, 30000);   // Calc8700 words carry 15 bits
    const int halfIron = oil.ferrous / 2;
    const int ironRest = oil.ferrous - 2 * halfIron;

    for (int i = 0; i < TestRecord::ReadingCount; ++i) {
        const int base = std::max(0, int(std::lround(start - fall * i)));
        r.raw8700[size_t(i)] = base;
        r.raw8700[size_t(100 + i)] = std::clamp(base - halfIron + ripple(), 0, 65535);
        r.raw8700[size_t(200 + i)] = std::clamp(base - halfIron - ironRest + ripple(), 0, 65535);
        r.Temp[size_t(i)] = std::int16_t(oil.temperature + ripple());
    }

    // Particles, at readings at least five apart so that no median window
    // holds two of them, and away from the channel comparison at 88..99.
    const auto dip = [&r](int index, int depth) { r.raw8700[size_t(index)] = std::max(0, r.raw8700[size_t(index)] - depth); };
    if (droplets)
        for (int i : {30, 55})
            dip(i, dropletDepth);
    if (nonFerrous)
        for (int i : {40, 70})
            dip(i, spikeDepth);
    // Ferrous and non-ferrous particles without droplets in dry oil: code 6
    // has no class, so the non-ferrous particles' fines also show (a small
    // spike) and the code becomes 14, class 6.
    if (ferrous && nonFerrous && !droplets && water <= 3)
        dip(45, dropletDepth);
    if (ferrous) {
        // More dips than 1.09 x the Base spikes (at most five): the magnets
        // hold the particles, so they outnumber what crosses the grid.
        for (int i : {15, 25, 35, 50, 65, 80}) {
            dip(100 + i, magnetDepth);
            dip(200 + i, magnetDepth);
        }
    }

    r.CalData = {cal.freq220, cal.freq300, cal.diel220, cal.diel300};
    r.Rslt8700[Rslt::Short] = dielectricCount(oil.dielectric, cal);

    // A unit never sends the end tag inside a payload: a reading that would
    // form it is one count off, and the results follow the readings sent.
    for (int guard = 0; guard < 100; ++guard) {
        computeUnitResults(r);
        if (!nudgeOffEndTag(r))
            break;
    }
    return r;
}

} // namespace qqc::sim
