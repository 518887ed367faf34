// Times `vantorel-cli draw` in-process, for a train of three pairs that does
// not mount (the slowest case: the swing is searched) as PDF and SVG, and a
// thread drawn as its best train that mounts.
#include "cli/cli.h"

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kBanjo = "module=1,distance=82,slot=42:75,stud-hub=3,screw-hub=6,margin=1";

void RunDraw(benchmark::State& state, std::vector<std::string> args) {
    for (auto _ : state) {
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        std::ostringstream out;
        std::ostringstream err;
        if (RunCli(static_cast<int>(argv.size()), argv.data(), out, err) != 0) {
            state.SkipWithError(err.str().c_str());
        }
        benchmark::DoNotOptimize(out.str().data());
    }
}

void BM_DrawThreePairsPdf(benchmark::State& state) {
    RunDraw(state, {"vantorel-cli", "draw", "--banjo", kBanjo, "-o", "-", "--format", "pdf",
                    "40,60,60,30,40,45"});
}

void BM_DrawThreePairsSvg(benchmark::State& state) {
    RunDraw(state, {"vantorel-cli", "draw", "--banjo", kBanjo, "-o", "-", "--format", "svg",
                    "40,60,60,30,40,45"});
}

void BM_DrawThreadPdf(benchmark::State& state) {
    RunDraw(state, {"vantorel-cli", "draw", "--banjo", kBanjo, "-o", "-", "--format", "pdf", "-t",
                    "metric", "-l", "8", "1.5"});
}

} // namespace

BENCHMARK(BM_DrawThreePairsPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawThreePairsSvg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawThreadPdf)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
