#include "gearbox.h"

#include <algorithm>
#include <set>
#include <string_view>

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
    if (!ParseMeasure(value, &position.leadScrew)) {
        throw GearboxError("invalid lead screw '" + value + "' of position '" + position.label +
                           "'");
    }
    return position;
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
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        positions.push_back(ParsePosition(text.substr(start, comma - start)));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    CheckGearbox(positions);
    return positions;
}

std::vector<GearboxTrain> SearchGearbox(double desiredTpi, const std::vector<double>& leadTpi,
                                        const std::vector<std::int64_t>& gears, int show,
                                        const FitRules& rules) {
    std::vector<GearboxTrain> found;
    for (std::size_t position = 0; position < leadTpi.size(); ++position) {
        for (const GearTrain& train :
             SearchBestTrains(desiredTpi, leadTpi[position], gears, show, rules)) {
            if (!train.IsEmpty()) {
                found.push_back({position, train});
            }
        }
    }
    // Stable, so equal errors stay in position order and, within a
    // position, in the order the search ranked them.
    std::stable_sort(found.begin(), found.end(), [](const GearboxTrain& a, const GearboxTrain& b) {
        return a.train.error < b.train.error;
    });
    found.resize(std::min(found.size(), static_cast<std::size_t>(std::max(show, 0))));
    return found;
}

std::vector<ReportedTrain> SearchLathe(double desiredTpi,
                                       const std::vector<GearboxPosition>& leadTpi,
                                       const std::vector<std::int64_t>& gears, int show,
                                       const FitRules& rules) {
    std::vector<double> leads;
    for (const GearboxPosition& position : leadTpi) {
        leads.push_back(position.leadScrew);
    }
    std::vector<ReportedTrain> trains;
    for (const GearboxTrain& found : SearchGearbox(desiredTpi, leads, gears, show, rules)) {
        trains.push_back(ReportedTrainOf(found.train));
        trains.back().gearbox = leadTpi[found.position].label;
    }
    return trains;
}

std::vector<ChartEntry> BuildGearboxChart(const std::vector<const ThreadList*>& lists,
                                          const std::vector<GearboxPosition>& leadTpi,
                                          const std::vector<std::int64_t>& gears, int show,
                                          const FitRules& rules) {
    std::vector<ChartEntry> chart;
    for (const ThreadList* list : lists) {
        for (const StandardThread& thread : list->threads) {
            const double desiredTpi = ThreadToTpi(thread.type, thread.value);
            chart.push_back({list->name, thread, desiredTpi,
                             SearchLathe(desiredTpi, leadTpi, gears, show, rules)});
        }
    }
    return chart;
}
