#include "lathe/gearbox.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>

namespace {

bool IsLabelCharacter(char c) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    return letter || digit || std::string_view("-_./").find(c) != std::string_view::npos;
}

GearboxPosition ParsePosition(const std::string& item) {
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) {
        throw GearboxError("invalid position '" + item + "' (LABEL=VALUE)");
    }
    GearboxPosition position{item.substr(0, equals), 0.0};
    const std::string value = item.substr(equals + 1);
    if (!IsPlainDecimal(value) || !ParseMeasure(value, &position.leadScrew)) {
        throw GearboxError("invalid lead screw '" + value + "' of position '" + position.label +
                           "'");
    }
    return position;
}

// The trains found on one more position merged in after those found before,
// which win ties.
void MergeIn(std::vector<ReportedTrain>& best, std::vector<ReportedTrain> found,
             const std::string& label, int show) {
    for (ReportedTrain& train : found) {
        train.gearbox = label;
    }
    best = BestOfBoth(best, found, show);
}

// As MergeIn, but a chart's trains of equal error put the one with the
// fewest gears first, whichever position it was found on.
void MergeSimplestFirst(std::vector<ReportedTrain>& best, std::vector<ReportedTrain> found,
                        const std::string& label, int show) {
    for (ReportedTrain& train : found) {
        train.gearbox = label;
        best.push_back(std::move(train));
    }
    SimplestFirst(best);
    best.resize(std::min(best.size(), static_cast<std::size_t>(std::max(show, 0))));
}

} // namespace

bool IsGearboxLabel(const std::string& label) {
    return !label.empty() && label.size() <= kMaxGearboxLabel &&
           std::all_of(label.begin(), label.end(), IsLabelCharacter);
}

std::string LabelFault(const std::string& label) {
    return "invalid label '" + label + "' (1 to 16 letters, digits, '-', '_', '.' or '/')";
}

void CheckGearbox(const std::vector<GearboxPosition>& positions) {
    std::set<std::string> seen;
    for (const GearboxPosition& position : positions) {
        if (!IsGearboxLabel(position.label)) {
            throw GearboxError(LabelFault(position.label));
        }
        if (!IsUsableMeasure(position.leadScrew)) {
            throw GearboxError("lead screw of position '" + position.label +
                               "' is not a number above 0");
        }
        if (!seen.insert(position.label).second) {
            throw GearboxError("label '" + position.label + "' given twice");
        }
    }
}

std::vector<GearboxPosition> ParseGearbox(const std::string& text) {
    std::vector<GearboxPosition> positions;
    for (const std::string& item : SplitAtCommas(text)) {
        positions.push_back(ParsePosition(item));
    }
    CheckGearbox(positions);
    return positions;
}

std::vector<ReportedTrain> SearchGearbox(double desiredTpi,
                                         const std::vector<GearboxPosition>& leadTpi,
                                         const std::vector<std::int64_t>& gears, int show,
                                         const FitRules& rules, int pairs) {
    std::vector<ReportedTrain> best;
    for (const GearboxPosition& position : leadTpi) {
        const double lead = position.leadScrew;
        MergeIn(
            best,
            pairs == 3
                ? ReportedTrainsOf(SearchBestThreePairTrains(desiredTpi, lead, gears, show, rules))
                : ReportedTrainsOf(SearchBestTrains(desiredTpi, lead, gears, show, rules)),
            position.label, show);
    }
    PlaceOnBanjo(best, rules);
    return best;
}

std::vector<ChartEntry> BuildGearboxChart(const std::vector<const ThreadList*>& lists,
                                          const std::vector<GearboxPosition>& leadTpi,
                                          const std::vector<std::int64_t>& gears, int show,
                                          const FitRules& rules, int pairs) {
    std::vector<ChartEntry> chart;
    for (const GearboxPosition& position : leadTpi) {
        std::vector<ChartEntry> found =
            BuildChart(lists, position.leadScrew, gears, show, rules, pairs);
        if (chart.empty()) {
            chart = found;
            for (ChartEntry& entry : chart) {
                entry.trains.clear();
            }
        }
        for (std::size_t i = 0; i < found.size(); ++i) {
            MergeSimplestFirst(chart[i].trains, std::move(found[i].trains), position.label, show);
        }
    }
    for (ChartEntry& entry : chart) {
        PlaceOnBanjo(entry.trains, rules);
    }
    return chart;
}
