// What the lathe window computes, without the window: a profile turned into
// the chart the command line would print for it, built a thread at a time so
// that new input can stop work nobody wants any more.
#pragma once

#include "lathe/banjo.h"
#include "lathe/chart.h"
#include "lathe/gearbox.h"
#include "lathe/lathe_profile.h"
#include "lathe/thread_lists.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A profile with the command line's defaults filled in, ready to search.
struct ChartInputs {
    std::vector<GearboxPosition> leadsTpi; // one unlabelled position without a gearbox
    std::vector<std::int64_t> gears;       // ascending, as the command line sorts them
    FitRules rules;                        // without the banjo's check: each search makes its own
    int pairs = 2;
    std::optional<Banjo> banjo;
    // The check setting.rules names the banjo by, for the heading alone.
    std::shared_ptr<const BanjoCheck> headingCheck;
    ChartSetting setting; // the heading of an exported or printed chart
};

// The rules a search runs under, with a banjo check of its own in `keep`:
// a check remembers idlers, so no two searches may share one.
FitRules SearchRules(const ChartInputs& inputs, std::unique_ptr<BanjoCheck>& keep);

// The gears a profile without any gets, as the command line's --gears default.
const std::vector<std::int64_t>& DefaultGears();

// `vantorel-cli chart --lathe` for this profile, or nothing with the
// command line's refusal in `refusal`.
std::optional<ChartInputs> ChartInputsOf(const LatheProfile& profile, std::string& refusal);

// The built-in lists of those names, in the built-in order.
std::vector<const ThreadList*> ListsNamed(const std::vector<std::string>& names);

// BuildGearboxChart, thread by thread. `progress` hears how many threads
// are done out of how many; nothing is returned once `cancelled` is set.
std::optional<std::vector<ChartEntry>>
BuildChartUnlessCancelled(const std::vector<const ThreadList*>& lists, const ChartInputs& inputs,
                          int show, const std::atomic<bool>& cancelled,
                          const std::function<void(std::size_t, std::size_t)>& progress);

// A train whose error no lathe could tell from none, as the printed chart
// marks it.
bool IsExact(double percentError);
