#include "lathe_window/profile_fields.h"

#include "core/gearcalc.h"
#include "core/parsing.h"
#include "lathe/banjo.h"
#include "lathe/dial.h"
#include "lathe/gearbox.h"
#include "lathe_window/lathe_chart.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>

namespace {

// Blanks around a typed value are no part of it.
std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::int64_t WholeNumber(const std::string& option, const std::string& typed, std::int64_t lowest) {
    const std::string text = Trimmed(typed);
    double unused = 0.0;
    if (!ParseMeasure(text, &unused)) {
        throw ProfileFieldError(option, "'" + text + "' is not a number");
    }
    const bool digitsOnly = text.find_first_not_of("-+0123456789") == std::string::npos;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (!digitsOnly || errno == ERANGE || value < lowest) {
        throw ProfileFieldError(option, "'" + text + "' is not a whole number of at least " +
                                            std::to_string(lowest));
    }
    return value;
}

std::optional<std::int64_t> Rule(const std::string& option, const std::string& typed,
                                 std::int64_t lowest) {
    if (Trimmed(typed).empty()) {
        return std::nullopt;
    }
    return WholeNumber(option, typed, lowest);
}

double LeadScrew(const std::string& typed) {
    const std::string text = Trimmed(typed);
    double value = 0.0;
    if (!ParseMeasure(text, &value)) {
        throw ProfileFieldError("--lead-screw", "'" + text + "' is not a number");
    }
    if (!IsUsableMeasure(value)) {
        throw ProfileFieldError("--lead-screw", "'" + text + "' is not a number above 0");
    }
    return value;
}

// The command line's own reader of --gearbox, so both refuse alike.
std::vector<GearboxPosition> Gearbox(const ProfileFields& fields) {
    std::string text;
    for (const auto& [label, lead] : fields.gearbox) {
        text += (text.empty() ? "" : ",") + Trimmed(label) + "=" + Trimmed(lead);
    }
    if (text.empty()) {
        throw ProfileFieldError("--gearbox", "no positions");
    }
    try {
        return ParseGearbox(text);
    } catch (const GearboxError& error) {
        throw ProfileFieldError("--gearbox", error.what());
    }
}

std::vector<std::int64_t> Gears(const ProfileFields& fields) {
    std::vector<std::int64_t> gears;
    for (const std::string& gear : fields.gears) {
        gears.push_back(WholeNumber("--gears", gear, 1));
    }
    if (gears.size() < (fields.pairs == 3 ? 6u : 2u)) {
        throw ProfileFieldError("--gears", "Not enough change gears!");
    }
    return gears;
}

// The dial as --dial reads it; on a gearbox, turned by the real lead
// screw, kept as the profile's lead screw.
void SetDial(const ProfileFields& fields, LatheProfile& profile) {
    const std::string dial = Trimmed(fields.dial);
    if (dial.empty()) {
        return;
    }
    try {
        profile.dial = ParseDialGears(dial);
    } catch (const DialError& error) {
        throw ProfileFieldError("--dial", error.what());
    }
    if (!fields.useGearbox) {
        return;
    }
    const std::string screw = Trimmed(fields.dialScrew);
    if (screw.empty()) {
        throw ProfileFieldError("--dial-screw", "a dial on a gearbox needs the real lead screw");
    }
    if (!ExactDecimal(screw)) {
        throw ProfileFieldError("--dial-screw", "'" + screw + "' is not a decimal above 0");
    }
    profile.leadScrew = std::strtod(screw.c_str(), nullptr);
}

// A banjo figure read as --banjo reads one; empty: not given.
std::optional<double> BanjoNumber(const std::string& key, const std::string& typed) {
    const std::string text = Trimmed(typed);
    if (text.empty()) {
        return std::nullopt;
    }
    if (!IsPlainDecimal(text)) {
        throw ProfileFieldError("--banjo", "'" + key + "': '" + text + "' is not a number");
    }
    return std::strtod(text.c_str(), nullptr);
}

// The banjo as a profile's reader makes it, its faults named as --banjo
// names the figure ("stud-hub" where a profile has "stud_hub").
void SetBanjo(const ProfileFields& fields, LatheProfile& profile) {
    const std::string* typed[] = {&fields.banjoPitch, &fields.banjoDistance, &fields.slotNear,
                                  &fields.slotFar,    &fields.studHub,       &fields.screwHub,
                                  &fields.margin,     &fields.backlash};
    if (std::all_of(std::begin(typed), std::end(typed),
                    [](const std::string* text) { return Trimmed(*text).empty(); })) {
        return;
    }
    BanjoFigures figures;
    (fields.banjoDp ? figures.dp : figures.module) =
        BanjoNumber(fields.banjoDp ? "dp" : "module", fields.banjoPitch);
    figures.distance = BanjoNumber("distance", fields.banjoDistance);
    figures.slotMin = BanjoNumber("slot", fields.slotNear);
    figures.slotMax = BanjoNumber("slot", fields.slotFar);
    if (figures.slotMin.has_value() != figures.slotMax.has_value()) {
        throw ProfileFieldError("--banjo", "'slot': expected NEAR:FAR");
    }
    figures.studHub = BanjoNumber("stud-hub", fields.studHub);
    figures.screwHub = BanjoNumber("screw-hub", fields.screwHub);
    figures.margin = BanjoNumber("margin", fields.margin);
    figures.backlash = BanjoNumber("backlash", fields.backlash);
    figures.inches = fields.banjoInches;
    try {
        profile.banjo = MakeBanjo(figures);
    } catch (const BanjoError& error) {
        std::string key = error.field;
        std::replace(key.begin(), key.end(), '_', '-');
        throw ProfileFieldError("--banjo", "'" + key + "': " + error.what());
    }
}

// A profile's banjo in the fields, lengths in mm as the profile holds them.
void SetBanjoFields(const Banjo& banjo, ProfileFields& fields) {
    const BanjoFigures figures = FiguresOf(banjo);
    const auto text = [](const std::optional<double>& figure) {
        return figure ? MeasureText(*figure) : std::string();
    };
    fields.banjoDp = figures.dp.has_value();
    fields.banjoPitch = text(figures.dp ? figures.dp : figures.module);
    fields.banjoDistance = text(figures.distance);
    fields.slotNear = text(figures.slotMin);
    fields.slotFar = text(figures.slotMax);
    fields.studHub = text(figures.studHub);
    fields.screwHub = text(figures.screwHub);
    fields.margin = text(figures.margin);
    fields.backlash = text(figures.backlash);
}

std::string DialFieldText(const std::vector<DialGear>& dial) {
    std::string text;
    for (const DialGear& gear : dial) {
        text += (text.empty() ? "" : ",") + std::to_string(gear.teeth) + ":" +
                std::to_string(gear.marks);
    }
    return text;
}

} // namespace

ProfileFields FieldsOf(const LatheProfile& profile) {
    ProfileFields fields;
    fields.name = profile.name;
    fields.useGearbox = !profile.gearbox.empty();
    fields.leadScrew = MeasureText(profile.leadScrew.value_or(16.0));
    fields.unit = profile.leadUnit.value_or(LeadScrewUnit::TPI);
    for (const GearboxPosition& position : profile.gearbox) {
        fields.gearbox.emplace_back(position.label, MeasureText(position.leadScrew));
    }
    for (std::int64_t teeth : profile.gears.value_or(DefaultGears())) {
        fields.gears.push_back(std::to_string(teeth));
    }
    fields.pairs = profile.pairs.value_or(2);
    const auto text = [](const std::optional<std::int64_t>& rule) {
        return rule ? std::to_string(*rule) : std::string();
    };
    fields.clearance = text(profile.rules.clearance);
    fields.minSum = text(profile.rules.minimumSum);
    fields.spindleGear = text(profile.rules.spindleGear);
    fields.dial = DialFieldText(profile.dial);
    if (!profile.gearbox.empty() && profile.leadScrew) {
        fields.dialScrew = MeasureText(*profile.leadScrew);
    }
    if (profile.banjo) {
        SetBanjoFields(*profile.banjo, fields);
    }
    return fields;
}

LatheProfile ProfileOf(const ProfileFields& fields) {
    LatheProfile profile;
    profile.name = Trimmed(fields.name);
    if (!IsLatheName(profile.name)) {
        throw ProfileFieldError("--save", "invalid name '" + profile.name + "'");
    }
    if (fields.useGearbox) {
        profile.gearbox = Gearbox(fields);
    } else {
        profile.leadScrew = LeadScrew(fields.leadScrew);
    }
    profile.leadUnit = fields.unit;
    profile.gears = Gears(fields);
    profile.pairs = fields.pairs;
    profile.rules.clearance = Rule("--clearance", fields.clearance, 0);
    profile.rules.minimumSum = Rule("--min-sum", fields.minSum, 0);
    profile.rules.spindleGear = Rule("--spindle-gear", fields.spindleGear, 1);
    SetDial(fields, profile);
    SetBanjo(fields, profile);
    return profile;
}
