// Times `vantorel-cli chart --threads all --format pdf -o -` over 100 gears,
// the whole command run in-process, beside the search and the drawing alone,
// so that the README can say where the time goes.
#include "cli/cli.h"
#include "lathe/chart_document.h"
#include "lathe/report.h"
#include "lathe/thread_lists.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A workshop's usual 14 gears, then every size from 21 teeth up to 100 gears.
std::vector<std::int64_t> HundredGears() {
    std::vector<std::int64_t> gears = {20, 20, 25, 30, 35, 40, 40, 45, 50, 55, 60, 65, 80, 80};
    for (std::int64_t teeth = 21; gears.size() < 100; ++teeth) {
        gears.push_back(teeth);
    }
    return gears;
}

std::vector<const ThreadList*> AllLists() {
    std::vector<const ThreadList*> lists;
    for (const ThreadList& list : BuiltInThreadLists()) {
        lists.push_back(&list);
    }
    return lists;
}

void BM_PdfChartCommand(benchmark::State& state) {
    std::string gears;
    for (std::int64_t teeth : HundredGears()) {
        gears += (gears.empty() ? "" : ",") + std::to_string(teeth);
    }
    std::vector<std::string> args = {"vantorel-cli", "chart", "--threads", "all", "--format",
                                     "pdf",          "-g",    gears,       "-o",  "-"};
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
        state.counters["bytes"] = static_cast<double>(out.str().size());
    }
}

void BM_ChartSearchOnly(benchmark::State& state) {
    const auto gears = HundredGears();
    const auto lists = AllLists();
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildChart(lists, 16.0, gears, 1, FitRules{}));
    }
}

void BM_PdfDrawingOnly(benchmark::State& state) {
    const auto gears = HundredGears();
    const auto chart = BuildChart(AllLists(), 16.0, gears, 1, FitRules{});
    const ChartSetting setting{"16 tpi", gears, FitRules{}, 2, ""};
    for (auto _ : state) {
        std::string document;
        std::string error;
        if (!RenderChartDocument(chart, setting, OutputFormat::Pdf, {}, document, error)) {
            state.SkipWithError(error.c_str());
        }
        benchmark::DoNotOptimize(document.data());
    }
}

} // namespace

BENCHMARK(BM_PdfChartCommand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartSearchOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PdfDrawingOnly)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
