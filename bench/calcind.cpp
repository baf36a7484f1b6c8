// bench_calcind: time of one index recalculation (calcind) per test record,
// over records from the simulator's unit model (clean, particles, wet, weak
// signal), each recalculated many times.
//
// Usage: bench_calcind [rounds]   (default 2000 rounds over 64 records)

#include "analysis/calcind.h"
#include "core/record.h"
#include "sim/unit_model.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    using namespace qqc;
    if (argc > 2 || (argc == 2 && std::atoi(argv[1]) < 1)) {
        std::fprintf(stderr, "usage: bench_calcind [rounds]   (default 2000 rounds over 64 records)\n");
        return 2;
    }
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;

    std::vector<TestRecord> records;
    for (int n = 0; n < 64; ++n) {
        sim::OilSample oil;
        oil.dielectric = 200 + 3 * n;
        oil.ferrous = 5 * n;
        oil.water = n % 30;
        oil.lcont = n % 8;
        oil.signal = n % 16 == 15 ? 450 : sim::baseStart - 100 * n;
        records.push_back(sim::simulateTest(oil, {}, std::uint32_t(n + 1)));
    }

    // Warm-up, and a check that every record computes.
    int failures = 0;
    for (TestRecord& r : records)
        failures += calcind(r, nullptr) ? 0 : 1;

    using Clock = std::chrono::steady_clock;
    std::vector<double> perRound;
    perRound.reserve(std::size_t(rounds));
    long long checksum = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto t0 = Clock::now();
        for (TestRecord& r : records) {
            calcind(r, nullptr);
            checksum += r.PCRslt[Rslt::lcont];
        }
        const auto t1 = Clock::now();
        perRound.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count() / double(records.size()));
    }
    std::sort(perRound.begin(), perRound.end());
    const double median = perRound[perRound.size() / 2];
    const double p99 = perRound[std::min(perRound.size() - 1, perRound.size() * 99 / 100)];
    std::printf("calcind: %zu records x %d rounds\n", records.size(), rounds);
    std::printf("calcind: median %.0f ns per record, p99 %.0f ns, best %.0f ns (checksum %lld, failures %d)\n", median,
                p99, perRound.front(), checksum, failures);
    return failures == 0 ? 0 : 1;
}
