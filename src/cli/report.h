// What vantorel-cli prints: the trains of one calculation, or a chart of
// standard threads, as text, CSV or JSON.
#pragma once

#include "gearcalc.h"
#include "thread_lists.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

enum class OutputFormat { Text, Csv, Json };

// The trains found for one thread of a chart, best first, empty slots left out.
struct ChartEntry {
    std::string list;
    StandardThread thread;
    double desiredTpi;
    std::vector<GearTrain> trains;
};

// The best `show` trains for every thread of `lists`, from `gears` (already
// in the order the search should see them) under `rules`.
std::vector<ChartEntry> BuildChart(const std::vector<const ThreadList*>& lists, double leadTpi,
                                   const std::vector<std::int64_t>& gears, int show,
                                   const FitRules& rules);

// What the chart was made for, printed above a text chart.
struct ChartSetting {
    std::string leadScrew; // as typed, with its unit
    std::vector<std::int64_t> gears;
    FitRules rules;
};

// One calculation. Text is exactly the window's result lines.
void WriteTrains(std::ostream& out, OutputFormat format, const std::vector<GearTrain>& table,
                 double desiredTpi, ThreadType type);

void WriteChart(std::ostream& out, OutputFormat format, const std::vector<ChartEntry>& chart,
                const ChartSetting& setting);
