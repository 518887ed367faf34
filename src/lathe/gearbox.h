// A quick-change gearbox between the change gears and the lead screw: each
// lever position gives the change gears another effective lead screw. The
// search tries every train on every position together, so the machinist gets
// the best lever-and-gears pair rather than picking the two by hand.
#pragma once

#include "core/gearcalc.h"
#include "lathe/chart.h"
#include "lathe/thread_lists.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Labels name a lever position as it is marked on the gearbox ("A1", "C/3").
constexpr std::size_t kMaxGearboxLabel = 16;

struct GearboxPosition {
    std::string label;
    double leadScrew = 0.0; // in the unit the lead screw is given in
};

// A gearbox that cannot be used; what() says why, for the user.
struct GearboxError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// 1 to kMaxGearboxLabel characters, each a letter, a digit or one of - _ . /
bool IsGearboxLabel(const std::string& label);
// What is wrong with a label that is not one, for the user.
std::string LabelFault(const std::string& label);

// Reads "LABEL=VALUE,LABEL=VALUE,..." with the checks of CheckGearbox; each
// VALUE is a plain decimal, as every number typed.
std::vector<GearboxPosition> ParseGearbox(const std::string& text);

// Throws GearboxError at the first label that breaks the rules, the first
// lead screw that is not a finite number above 0, or the first label given twice.
void CheckGearbox(const std::vector<GearboxPosition>& positions);

// The best `show` trains for a thread over every position (`leadTpi` holds
// each position's lead screw in threads per inch), best first, each named
// by its position's label. Trains of equal error keep the order of their
// positions, and on one position the order the search gives. With `pairs` 3,
// trains of three pairs. A lathe without a gearbox is one position with an
// empty label.
std::vector<ReportedTrain> SearchGearbox(double desiredTpi,
                                         const std::vector<GearboxPosition>& leadTpi,
                                         const std::vector<std::int64_t>& gears, int show,
                                         const FitRules& rules, int pairs);

// BuildChart over every position, merged thread by thread as SearchGearbox
// merges, but for the trains of equal error: those with fewer gears first.
std::vector<ChartEntry> BuildGearboxChart(const std::vector<const ThreadList*>& lists,
                                          const std::vector<GearboxPosition>& leadTpi,
                                          const std::vector<std::int64_t>& gears, int show,
                                          const FitRules& rules, int pairs);
