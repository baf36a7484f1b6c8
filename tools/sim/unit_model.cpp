#include "sim/unit_model.h"

#include <cmath>

namespace qqc::sim {

int dielectricCount(int diel100, const Calibration& cal)
{
    const double span = cal.diel300 - cal.diel220;
    if (span == 0)
        return cal.freq220;
    const double f = cal.freq220 - (diel100 - cal.diel220) * double(cal.freq220 - cal.freq300) / span;
    return int(std::lround(f));
}

TestRecord simulateTest(const OilSample& oil, const Calibration& cal, std::uint32_t seed)
{
    TestRecord r;
    std::uint32_t state = seed ? seed : 1;
    const auto noise = [&state]() {   // 0 or 1, a small deterministic ripple
        state = state * 1664525u + 1013904223u;
        return int((state >> 16) & 1u);
    };

    const double fallPer20 = 3.0 * (5.0 * oil.water + 13.0) / 13.0;
    const double fallPerReading = fallPer20 / 20.0;
    const int halfIron = oil.ferrous / 2;
    const int ironRest = oil.ferrous - 2 * halfIron;
    for (int i = 0; i < TestRecord::ReadingCount; ++i) {
        const int base = int(std::lround(BaseStart - fallPerReading * i));
        r.raw8700[size_t(i)] = base;
        r.raw8700[size_t(100 + i)] = base - halfIron;
        r.raw8700[size_t(200 + i)] = base - halfIron - ironRest;
        r.Temp[size_t(i)] = std::int16_t(oil.temperature + noise());
    }

    // Particles: droplets and non-ferrous particles as Base spikes, ferrous
    // particles as spikes on North and South.
    int large = 0;
    int small = 0;
    int north = 0;
    int south = 0;
    if (oil.lcont & 1) {   // droplets: a few small dips
        for (int i : {30, 55}) {
            r.raw8700[size_t(i)] -= 8;
            ++small;
        }
    }
    if (oil.lcont & 4) {   // non-ferrous particles: deep dips
        for (int i : {40, 70}) {
            r.raw8700[size_t(i)] -= SpikeDepth;
            ++large;
        }
    }
    if (oil.lcont & 2) {   // ferrous particles: dips on the magnet channels
        for (int i : {20, 35, 60, 80}) {
            r.raw8700[size_t(100 + i)] -= SpikeDepth;
            r.raw8700[size_t(200 + i)] -= SpikeDepth;
            ++north;
            ++south;
        }
    }

    const int d = int(std::lround(fallPer20));
    for (int j = 0; j < 5; ++j)
        r.Calc8700[size_t(Calc::bgp1 + j)] = d;
    r.Calc8700[Calc::en] = r.raw8700[195];
    r.Calc8700[Calc::es] = r.raw8700[295];
    r.Calc8700[Calc::sn] = r.raw8700[100];
    r.Calc8700[Calc::ss] = r.raw8700[200];
    r.Calc8700[Calc::sb] = r.raw8700[0];
    r.Calc8700[Calc::bns1] = oil.ferrous;
    r.Calc8700[Calc::bns2] = oil.ferrous;
    r.Calc8700[Calc::bns3] = oil.ferrous;
    r.Calc8700[Calc::bigbspike] = large;
    r.Calc8700[Calc::smallbspike] = small;
    r.Calc8700[Calc::numnspike] = north;
    r.Calc8700[Calc::numsspike] = south;
    r.Calc8700[Calc::bspikemag] = large ? SpikeDepth : 0;
    r.Calc8700[Calc::slope] = 0;
    r.Calc8700[Calc::CRITICAL] = 0;

    r.CalData = {cal.freq220, cal.freq300, cal.diel220, cal.diel300};

    r.Rslt8700[Rslt::Short] = dielectricCount(oil.dielectric, cal);
    r.Rslt8700[Rslt::diel] = oil.dielectric;
    r.Rslt8700[Rslt::iron] = oil.ferrous;
    r.Rslt8700[Rslt::water] = oil.water;
    r.Rslt8700[Rslt::lcont] = oil.lcont;
    r.Rslt8700[Rslt::cont10] = oil.water * 10;
    return r;
}

} // namespace qqc::sim
