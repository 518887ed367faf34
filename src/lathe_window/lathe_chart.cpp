#include "lathe_window/lathe_chart.h"

#include "core/gearcalc.h"

#include <algorithm>
#include <map>

namespace {

// The command line's lead screw when a profile gives none.
constexpr double kDefaultLeadScrew = 16.0;

// The same cut-off as the printed chart's tick: rounding leaves an exact
// ratio a few units in the last place off.
constexpr double kExactPercent = 1e-7;

std::optional<std::vector<GearboxPosition>> LeadsTpiOf(const LatheProfile& profile) {
    const LeadScrewUnit unit = profile.leadUnit.value_or(LeadScrewUnit::TPI);
    std::vector<GearboxPosition> leads = profile.gearbox;
    // With a gearbox, a lead screw is the real screw that turns the dial.
    if (leads.empty()) {
        leads.push_back({"", profile.leadScrew.value_or(kDefaultLeadScrew)});
    }
    for (GearboxPosition& position : leads) {
        if (!IsUsableMeasure(position.leadScrew)) {
            return std::nullopt;
        }
        position.leadScrew = LeadScrewToTpi(unit, position.leadScrew);
        if (!IsUsableMeasure(position.leadScrew)) {
            return std::nullopt;
        }
    }
    return leads;
}

// As the command line reads a profile's dial: on a gearbox, turned by the
// real lead screw the profile keeps beside the positions.
std::optional<DialSetup> DialOf(const LatheProfile& profile) {
    if (profile.dial.empty()) {
        return std::nullopt;
    }
    std::map<std::string, std::string> positions;
    for (const GearboxPosition& position : profile.gearbox) {
        positions.emplace(position.label, MeasureText(position.leadScrew));
    }
    const std::string screw = !profile.gearbox.empty() && profile.leadScrew
                                  ? MeasureText(*profile.leadScrew)
                                  : std::string();
    return MakeDialSetup(profile.dial, positions, screw,
                         profile.leadUnit.value_or(LeadScrewUnit::TPI));
}

std::string LeadText(const LatheProfile& profile) {
    if (!profile.gearbox.empty()) {
        return "on " + std::to_string(profile.gearbox.size()) + " gearbox positions";
    }
    const char* unit = profile.leadUnit == LeadScrewUnit::MM ? " mm" : " tpi";
    return MeasureText(profile.leadScrew.value_or(kDefaultLeadScrew)) + unit;
}

} // namespace

const std::vector<std::int64_t>& DefaultGears() {
    static const std::vector<std::int64_t> gears = {20, 20, 25, 30, 35, 40, 40,
                                                    45, 50, 55, 60, 65, 80, 80};
    return gears;
}

std::optional<ChartInputs> ChartInputsOf(const LatheProfile& profile, std::string& refusal) {
    ChartInputs inputs;
    inputs.gears = profile.gears.value_or(DefaultGears());
    std::sort(inputs.gears.begin(), inputs.gears.end());
    inputs.rules = profile.rules;
    inputs.pairs = profile.pairs.value_or(2);
    const auto leads = LeadsTpiOf(profile);
    if (!leads) {
        refusal = "You must enter a lead screw pitch!";
        return std::nullopt;
    }
    if (inputs.gears.size() < (inputs.pairs == 3 ? 6u : 2u)) {
        refusal = "Not enough change gears!";
        return std::nullopt;
    }
    inputs.leadsTpi = *leads;
    inputs.banjo = profile.banjo;
    inputs.setting = {LeadText(profile), inputs.gears, inputs.rules, inputs.pairs, profile.name};
    if (inputs.banjo) {
        inputs.headingCheck = std::make_shared<const BanjoCheck>(*inputs.banjo, inputs.gears);
        inputs.setting.rules.check = inputs.headingCheck.get();
    }
    try {
        inputs.setting.dial = DialOf(profile);
    } catch (const DialError& error) {
        refusal = error.what();
        return std::nullopt;
    }
    return inputs;
}

FitRules SearchRules(const ChartInputs& inputs, std::unique_ptr<BanjoCheck>& keep) {
    FitRules rules = inputs.rules;
    if (inputs.banjo) {
        keep = std::make_unique<BanjoCheck>(*inputs.banjo, inputs.gears);
        rules.check = keep.get();
    }
    return rules;
}

std::vector<const ThreadList*> ListsNamed(const std::vector<std::string>& names) {
    std::vector<const ThreadList*> lists;
    for (const ThreadList& list : BuiltInThreadLists()) {
        if (std::find(names.begin(), names.end(), list.name) != names.end()) {
            lists.push_back(&list);
        }
    }
    return lists;
}

std::optional<std::vector<ChartEntry>>
BuildChartUnlessCancelled(const std::vector<const ThreadList*>& lists, const ChartInputs& inputs,
                          int show, const std::atomic<bool>& cancelled,
                          const std::function<void(std::size_t, std::size_t)>& progress) {
    std::size_t total = 0;
    for (const ThreadList* list : lists) {
        total += list->threads.size();
    }
    std::unique_ptr<BanjoCheck> banjo;
    const FitRules rules = SearchRules(inputs, banjo);
    std::vector<ChartEntry> chart;
    for (const ThreadList* list : lists) {
        for (const StandardThread& thread : list->threads) {
            if (cancelled) {
                return std::nullopt;
            }
            // The chart is merged thread by thread, so one thread alone
            // gives the very entry the whole chart holds for it.
            const ThreadList single{list->name, list->description, {thread}};
            const auto entries = BuildGearboxChart({&single}, inputs.leadsTpi, inputs.gears, show,
                                                   rules, inputs.pairs);
            chart.insert(chart.end(), entries.begin(), entries.end());
            progress(chart.size(), total);
        }
    }
    if (cancelled) {
        return std::nullopt;
    }
    return chart;
}

bool IsExact(double percentError) {
    return percentError <= kExactPercent;
}
