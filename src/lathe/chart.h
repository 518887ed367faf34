// A chart of standard threads and the trains every front end reports: what
// a search found, in the form the text, the files and the printed chart share.
#pragma once

#include "core/gearcalc.h"
#include "lathe/banjo.h"
#include "lathe/dial.h"
#include "lathe/thread_lists.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One train as every output reports it: two pairs, or three with E and F, and
// the gearbox position it was found on.
struct ReportedTrain {
    std::int64_t A, B, C, D;          // B == C: simple train (shown B = ANY, C = --)
    std::optional<std::int64_t> E, F; // set for a train of three pairs
    double thread;                    // tpi
    double error;                     // tpi
    std::string gearbox;              // position label, empty without a gearbox
    // With a banjo: a simple train's idler, and where the studs sit.
    std::optional<std::int64_t> idler = std::nullopt;
    std::optional<std::vector<StudPosition>> studs = std::nullopt;
};

ReportedTrain ReportedTrainOf(const GearTrain& train);
ReportedTrain ReportedTrainOf(const ThreePairTrain& train);

// What every output says the same way, the printed chart among them.
const char* UnitName(ThreadType type);
bool IsSimple(const ReportedTrain& train);
// B as a text or chart row shows it: a simple train's idler, or "ANY".
std::string BText(const ReportedTrain& train);
// The gears as mounted, A to F, a simple train by its idler: A, idler, D.
std::vector<std::int64_t> GearsOfTrain(const ReportedTrain& train);
// With a banjo among the rules, each train names its idler and its studs.
void PlaceOnBanjo(std::vector<ReportedTrain>& trains, const FitRules& rules);
double PercentError(const ReportedTrain& train, double desiredTpi);
std::string WantedText(const StandardThread& thread); // "1.5 mm"
std::string GearList(const std::vector<std::int64_t>& gears);
std::string RulesText(const FitRules& rules); // "none" without rules

// The kept trains of a search's table, best first, empty slots left out.
std::vector<ReportedTrain> ReportedTrainsOf(const std::vector<GearTrain>& table);
std::vector<ReportedTrain> ReportedTrainsOf(const std::vector<ThreePairTrain>& trains);

// The best `show` of both lists (each sorted by error); on equal errors the
// train of two pairs comes first, as it needs fewer gears.
std::vector<ReportedTrain> BestOfBoth(const std::vector<ReportedTrain>& twoPairs,
                                      const std::vector<ReportedTrain>& threePairs, int show);

// The trains found for one thread of a chart, best first, empty slots left out.
struct ChartEntry {
    std::string list;
    StandardThread thread;
    double desiredTpi;
    std::vector<ReportedTrain> trains;
};

// Trains of equal error put in order of the gears they need: simple (three,
// with the idler), two pairs, three pairs; otherwise in the order they came.
void SimplestFirst(std::vector<ReportedTrain>& trains);

// The best `show` trains for every thread of `lists`, from `gears` (already
// in the order the search should see them) under `rules`; with `pairs` 3, of
// two or three pairs. Unlike the window's list, a chart is mounted from: of
// the trains of the best error, the one with the fewest gears comes first,
// even where the search met a compound of the same ratio before it.
std::vector<ChartEntry> BuildChart(const std::vector<const ThreadList*>& lists, double leadTpi,
                                   const std::vector<std::int64_t>& gears, int show,
                                   const FitRules& rules, int pairs = 2);

// What the chart was made for, printed above a text chart.
struct ChartSetting {
    std::string leadScrew; // as typed, with its unit
    std::vector<std::int64_t> gears;
    FitRules rules;
    int pairs = 2;
    std::string lathe; // the profile's name, empty without one
    // With a dial, every train says where the half-nut may close.
    std::optional<DialSetup> dial = std::nullopt;
};
