// Times the gear-train search over gear sets of growing size.
#include "gearcalc.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

// A plausible workshop set: the 14 usual gears, then every size from 20 up.
std::vector<std::int64_t> GearSet(int count) {
    std::vector<std::int64_t> gears = {20, 20, 25, 30, 35, 40, 40, 45, 50, 55, 60, 65, 80, 80};
    for (std::int64_t teeth = 21; static_cast<int>(gears.size()) < count; ++teeth) {
        gears.push_back(teeth);
    }
    gears.resize(static_cast<std::size_t>(count));
    return gears;
}

void BM_Search(benchmark::State& state) {
    const auto gears = GearSet(static_cast<int>(state.range(0)));
    const double desired = ThreadToTpi(ThreadType::Metric, 1.25);
    for (auto _ : state) {
        benchmark::DoNotOptimize(SearchBestTrains(desired, 8.0, gears, 99));
    }
}

} // namespace

BENCHMARK(BM_Search)->Arg(14)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
