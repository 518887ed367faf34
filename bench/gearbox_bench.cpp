// Times the search over a whole lathe: a 48-position quick-change gearbox
// with 20 change gears, for one thread and for a chart of every built-in list.
#include "core/gearcalc.h"
#include "lathe/gearbox.h"
#include "lathe/thread_lists.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Six levers over an eight-gear cone behind an 8 tpi lead screw, in tpi.
std::vector<GearboxPosition> FortyEightPositions() {
    std::vector<GearboxPosition> positions;
    for (double lever : {0.25, 0.5, 1.0, 2.0, 4.0, 8.0}) {
        for (double cone : {26.0, 28.0, 32.0, 36.0, 38.0, 40.0, 44.0, 46.0}) {
            positions.push_back(
                {"P" + std::to_string(positions.size() + 1), 8.0 * cone / 32.0 * lever});
        }
    }
    return positions;
}

std::vector<std::int64_t> TwentyGears() {
    std::vector<std::int64_t> gears;
    for (std::int64_t teeth = 20; teeth < 100; teeth += 4) {
        gears.push_back(teeth);
    }
    return gears;
}

void BM_GearboxBestFive(benchmark::State& state) {
    const auto positions = FortyEightPositions();
    const auto gears = TwentyGears();
    const double desired = ThreadToTpi(ThreadType::Metric, 1.25);
    for (auto _ : state) {
        benchmark::DoNotOptimize(SearchGearbox(desired, positions, gears, 5, FitRules{}, 2));
    }
}
BENCHMARK(BM_GearboxBestFive)->Unit(benchmark::kMillisecond);

// What `chart --threads all` computes over such a lathe.
void BM_GearboxChartOfAllLists(benchmark::State& state) {
    const auto positions = FortyEightPositions();
    const auto gears = TwentyGears();
    std::vector<const ThreadList*> lists;
    for (const ThreadList& list : BuiltInThreadLists()) {
        lists.push_back(&list);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildGearboxChart(lists, positions, gears, 1, FitRules{}, 2));
    }
}
BENCHMARK(BM_GearboxChartOfAllLists)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
