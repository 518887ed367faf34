// What a machinist waits for: `vantorel-cli chart --pairs 3 --threads all`
// (about 170 threads, each searched for two and for three pairs) over the 14
// usual gears plus a 127, and over 100 distinct gears of 20 to 119 teeth, run
// in-process from parsing to the last text line.
#include "cli/cli.h"

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::string HundredGears() {
    std::string gears;
    for (int teeth = 20; teeth <= 119; ++teeth) {
        gears += (gears.empty() ? "" : ",") + std::to_string(teeth);
    }
    return gears;
}

void TimeChartOfThreePairs(benchmark::State& state, const std::string& gears) {
    std::vector<std::string> args = {"vantorel-cli", "chart", "--pairs", "3",  "--threads",
                                     "all",          "-l",    "8",       "-g", gears};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    for (auto _ : state) {
        std::ostringstream out;
        std::ostringstream err;
        benchmark::DoNotOptimize(RunCli(static_cast<int>(argv.size()), argv.data(), out, err));
    }
}

void BM_ChartOfThreePairs(benchmark::State& state) {
    TimeChartOfThreePairs(state, "20,20,25,30,35,40,40,45,50,55,60,65,80,80,127");
}

void BM_ChartOfThreePairsOver100Gears(benchmark::State& state) {
    TimeChartOfThreePairs(state, HundredGears());
}

} // namespace

BENCHMARK(BM_ChartOfThreePairs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartOfThreePairsOver100Gears)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
