// Times the gear-train searches of two and three pairs over gear sets of
// growing size, each exhaustive reference beside its fast search, and prints
// how much faster the fast one is at each size.
#include "core/gearcalc.h"
#include "lathe/banjo.h"
#include "lathe/report.h"
#include "lathe/thread_lists.h"

#include <array>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
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

template <class Train>
using SearchFunction = std::vector<Train> (*)(double, double, const std::vector<std::int64_t>&, int,
                                              const FitRules&);

// The best 99 trains for an M1.25 thread from an 8 tpi lead screw.
template <class Train> void TimeSearch(benchmark::State& state, SearchFunction<Train> search) {
    const auto gears = GearSet(static_cast<int>(state.range(0)));
    const double desired = ThreadToTpi(ThreadType::Metric, 1.25);
    for (auto _ : state) {
        benchmark::DoNotOptimize(search(desired, 8.0, gears, 99, FitRules{}));
    }
}

void BM_Reference(benchmark::State& state) {
    TimeSearch<GearTrain>(state, SearchBestTrainsReference);
}
void BM_Fast(benchmark::State& state) {
    TimeSearch<GearTrain>(state, SearchBestTrains);
}
void BM_ThreePairReference(benchmark::State& state) {
    TimeSearch<ThreePairTrain>(state, SearchBestThreePairTrainsReference);
}
void BM_ThreePairs(benchmark::State& state) {
    TimeSearch<ThreePairTrain>(state, SearchBestThreePairTrains);
}

// A machinist's large set: 100 distinct gears of 20 to 119 teeth.
std::vector<std::int64_t> DistinctGears() {
    std::vector<std::int64_t> gears;
    for (std::int64_t teeth = 20; teeth < 120; ++teeth) {
        gears.push_back(teeth);
    }
    return gears;
}

// Arguments: the pairs, then the clearance, the minimum sum and the spindle
// gear, each -1 for none.
FitRules RulesOf(const benchmark::State& state) {
    const auto rule = [&](int argument) {
        const std::int64_t value = state.range(argument);
        return value < 0 ? std::nullopt : std::optional<std::int64_t>(value);
    };
    return FitRules{rule(1), rule(2), rule(3)};
}

// The best 99 trains for M1.25 from an 8 tpi lead screw over DistinctGears,
// under fit rules that let many, a handful or no trains through.
void BM_Rules(benchmark::State& state) {
    const auto gears = DistinctGears();
    const double desired = ThreadToTpi(ThreadType::Metric, 1.25);
    const FitRules rules = RulesOf(state);
    for (auto _ : state) {
        if (state.range(0) == 3) {
            benchmark::DoNotOptimize(SearchBestThreePairTrains(desired, 8.0, gears, 99, rules));
        } else {
            benchmark::DoNotOptimize(SearchBestTrains(desired, 8.0, gears, 99, rules));
        }
    }
}

void RuleCases(benchmark::internal::Benchmark* benchmark) {
    for (const int pairs : {2, 3}) {
        benchmark->Args({pairs, -1, -1, -1});   // no rule
        benchmark->Args({pairs, 90, 500, -1});  // no compound train fits
        benchmark->Args({pairs, -1, 600, -1});  // beyond the largest sum
        benchmark->Args({pairs, 100, -1, -1});  // few trains fit
        benchmark->Args({pairs, -1, -1, 127});  // spindle gear not in the list
        benchmark->Args({pairs, 60, 300, 100}); // all three
        benchmark->Args({pairs, 95, -1, -1});   // the slowest found for three pairs
        for (int clearance = 0; clearance <= 120; clearance += 10) {
            benchmark->Args({pairs, clearance, -1, -1});
        }
    }
}

// Threads for which the trains that fit lie far from the one wanted, the
// slowest found by a random sweep of threads, lead screws, clearances and
// minimum sums over DistinctGears; each with no rule beside, to compare.
// Arguments: the pairs, the thread, then the clearance and the minimum sum,
// each -1 for none.
void BM_FarFromTheThread(benchmark::State& state) {
    struct Thread {
        double desiredTpi;
        double leadTpi;
    };
    const Thread threads[] = {{ThreadToTpi(ThreadType::Modulus, 4.0), 8.0},
                              {40.0, 8.0},
                              {3.16005, 9.0},
                              {1.72851, 8.0},
                              {1.86728, 12.0},
                              {1.61308, 8.0}};
    const Thread thread = threads[state.range(1)];
    const auto gears = DistinctGears();
    const auto rule = [&](int argument) {
        const std::int64_t value = state.range(argument);
        return value < 0 ? std::nullopt : std::optional<std::int64_t>(value);
    };
    const FitRules rules{rule(2), rule(3), std::nullopt};
    for (auto _ : state) {
        if (state.range(0) == 3) {
            benchmark::DoNotOptimize(
                SearchBestThreePairTrains(thread.desiredTpi, thread.leadTpi, gears, 99, rules));
        } else {
            benchmark::DoNotOptimize(
                SearchBestTrains(thread.desiredTpi, thread.leadTpi, gears, 99, rules));
        }
    }
}

void FarCases(benchmark::internal::Benchmark* benchmark) {
    const std::array<std::array<std::int64_t, 4>, 8> ruled = {{{3, 0, 90, -1},
                                                               {3, 1, 80, -1},
                                                               {3, 2, -1, 652},
                                                               {3, 3, -1, 658},
                                                               {3, 4, 67, 606},
                                                               {2, 0, 80, -1},
                                                               {2, 5, 88, -1},
                                                               {2, 4, 67, 606}}};
    for (const auto& args : ruled) {
        benchmark->Args({args[0], args[1], -1, -1});
        benchmark->Args({args[0], args[1], args[2], args[3]});
    }
}

// A chart of every built-in thread list (about 170 threads) over 100 gears,
// with the clearance rule on, as a machinist would print it.
void BM_ChartOfAllLists(benchmark::State& state) {
    const auto gears = GearSet(100);
    std::vector<const ThreadList*> lists;
    for (const ThreadList& list : BuiltInThreadLists()) {
        lists.push_back(&list);
    }
    FitRules rules;
    rules.clearance = 10;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildChart(lists, 16.0, gears, 1, rules));
    }
}

// The usual console table, followed by the speed-up at every gear count that
// both searches were timed at. With --benchmark_repetitions the medians are
// compared.
class SpeedUpReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            // The searches timed per gear count take that one argument.
            const bool perGearCount =
                !run.run_name.args.empty() && run.run_name.args.find('/') == std::string::npos;
            if (perGearCount && (single || run.aggregate_name == "median")) {
                seconds_[std::stoi(run.run_name.args)][run.run_name.function_name] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const char* const searches[][2] = {{"BM_Reference", "BM_Fast"},
                                           {"BM_ThreePairReference", "BM_ThreePairs"}};
        for (const auto& [gears, times] : seconds_) {
            for (const auto& [referenceName, fastName] : searches) {
                const auto reference = times.find(referenceName);
                const auto fast = times.find(fastName);
                if (reference != times.end() && fast != times.end()) {
                    std::printf("%s speed-up at %d gears: %.0fx (%.3f ms -> %.4f ms)\n", fastName,
                                gears, reference->second / fast->second, reference->second * 1e3,
                                fast->second * 1e3);
                }
            }
        }
    }

private:
    // Seconds per search, by gear count and then by benchmark.
    std::map<int, std::map<std::string, double>> seconds_;
};

// The same searches on a small lathe's banjo (module 1.5, S-L 90 mm, slot
// 45 to 80 mm), which turns most trains of a large set away.
template <class Train>
void TimeSearchOnBanjo(benchmark::State& state, SearchFunction<Train> search) {
    const auto gears = GearSet(static_cast<int>(state.range(0)));
    Banjo banjo;
    banjo.module = 1.5;
    banjo.distance = 90;
    banjo.slotMin = 45;
    banjo.slotMax = 80;
    banjo.studHub = 4;
    banjo.screwHub = 8;
    const BanjoCheck check(banjo, gears);
    FitRules rules;
    rules.check = &check;
    const double desired = ThreadToTpi(ThreadType::Metric, 1.25);
    for (auto _ : state) {
        benchmark::DoNotOptimize(search(desired, 8.0, gears, 99, rules));
    }
}

void BM_FastOnBanjo(benchmark::State& state) {
    TimeSearchOnBanjo<GearTrain>(state, SearchBestTrains);
}
void BM_ThreePairsOnBanjo(benchmark::State& state) {
    TimeSearchOnBanjo<ThreePairTrain>(state, SearchBestThreePairTrains);
}

} // namespace

BENCHMARK(BM_FastOnBanjo)->Arg(14)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreePairsOnBanjo)->Arg(14)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartOfAllLists)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rules)
    ->ArgNames({"pairs", "clearance", "min_sum", "spindle"})
    ->Apply(RuleCases)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FarFromTheThread)->Apply(FarCases)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reference)->Arg(14)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fast)->Arg(14)->Arg(30)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);
// The exhaustive three-pair loop needs seconds beyond a dozen or two gears.
BENCHMARK(BM_ThreePairReference)->Arg(14)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreePairs)->Arg(14)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    SpeedUpReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
