#include "lathe/lathe_profile.h"

#include "core/atomic_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#ifndef VANTOREL_LATHES_DIR
#error "VANTOREL_LATHES_DIR must be defined by the build"
#endif

namespace {

using Json = nlohmann::ordered_json;
namespace fs = std::filesystem;

// Reads one profile, throwing at the first field it cannot use.
class ProfileReader {
public:
    explicit ProfileReader(std::string file) : file_(std::move(file)) {}

    LatheProfile Read(const Json& json) {
        if (!json.is_object()) {
            throw LatheProfileError(file_ + ": expected a JSON object of lathe fields");
        }
        const std::map<std::string, std::function<void(const Json&)>> fields = {
            {"name", [&](const Json& v) { profile_.name = String(v, "name"); }},
            {"lead_screw", [&](const Json& v) { profile_.leadScrew = Lead(v, "lead_screw"); }},
            {"lead_unit", [&](const Json& v) { profile_.leadUnit = Unit(v); }},
            {"gearbox", [&](const Json& v) { profile_.gearbox = Gearbox(v); }},
            {"gears", [&](const Json& v) { profile_.gears = Gears(v); }},
            {"clearance",
             [&](const Json& v) { profile_.rules.clearance = Teeth(v, "clearance", 0); }},
            {"min_sum", [&](const Json& v) { profile_.rules.minimumSum = Teeth(v, "min_sum", 0); }},
            {"spindle_gear",
             [&](const Json& v) { profile_.rules.spindleGear = Teeth(v, "spindle_gear", 1); }},
            {"pairs", [&](const Json& v) { profile_.pairs = Pairs(v); }},
            {"banjo", [&](const Json& v) { profile_.banjo = BanjoOf(v); }},
            {"dial", [&](const Json& v) { profile_.dial = Dial(v); }},
        };
        for (const auto& [key, value] : json.items()) {
            const auto field = fields.find(key);
            if (field == fields.end()) {
                Fail(key, "unknown field");
            }
            field->second(value);
        }
        CheckScrews();
        CheckConversions();
        return profile_;
    }

private:
    [[noreturn]] void Fail(const std::string& field, const std::string& problem) const {
        throw LatheProfileError(file_ + ": field '" + field + "': " + problem);
    }

    // A pitch in mm so small that its threads per inch overflow is as
    // useless as 0; the unit may come after the value in the file.
    void CheckConversions() const {
        const LeadScrewUnit unit = profile_.leadUnit.value_or(LeadScrewUnit::TPI);
        const char* problem = "a pitch too small to give threads per inch";
        if (profile_.leadScrew && !IsUsableMeasure(LeadScrewToTpi(unit, *profile_.leadScrew))) {
            Fail("lead_screw", problem);
        }
        for (std::size_t i = 0; i < profile_.gearbox.size(); ++i) {
            if (!IsUsableMeasure(LeadScrewToTpi(unit, profile_.gearbox[i].leadScrew))) {
                Fail("gearbox[" + std::to_string(i) + "].lead_screw", problem);
            }
        }
    }

    std::string String(const Json& value, const std::string& field) const {
        if (!value.is_string()) {
            Fail(field, "expected a string");
        }
        return value.get<std::string>();
    }

    double Lead(const Json& value, const std::string& field) const {
        if (!value.is_number() || !IsUsableMeasure(value.get<double>())) {
            Fail(field, "expected a number above 0");
        }
        return value.get<double>();
    }

    LeadScrewUnit Unit(const Json& value) const {
        if (value == "tpi") {
            return LeadScrewUnit::TPI;
        }
        if (value == "mm") {
            return LeadScrewUnit::MM;
        }
        Fail("lead_unit", "expected \"tpi\" or \"mm\"");
    }

    std::int64_t Teeth(const Json& value, const std::string& field, std::int64_t lowest) const {
        const bool fits =
            value.is_number_integer() &&
            (!value.is_number_unsigned() ||
             value.get<std::uint64_t>() <=
                 static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()));
        if (!fits || value.get<std::int64_t>() < lowest) {
            Fail(field, "expected a whole number >= " + std::to_string(lowest));
        }
        return value.get<std::int64_t>();
    }

    int Pairs(const Json& value) const {
        if (value != 2 && value != 3) {
            Fail("pairs", "expected 2 or 3");
        }
        return value.get<int>();
    }

    std::vector<std::int64_t> Gears(const Json& value) const {
        if (!value.is_array()) {
            Fail("gears", "expected a list of tooth counts");
        }
        std::vector<std::int64_t> gears;
        for (std::size_t i = 0; i < value.size(); ++i) {
            gears.push_back(Teeth(value[i], "gears[" + std::to_string(i) + "]", 1));
        }
        return gears;
    }

    GearboxPosition Position(const Json& value, const std::string& field,
                             std::set<std::string>& labels) const {
        if (!value.is_object() || !value.contains("label") || !value.contains("lead_screw")) {
            Fail(field, "expected an object with a label and a lead_screw");
        }
        for (const auto& [key, unused] : value.items()) {
            if (key != "label" && key != "lead_screw") {
                Fail(field + "." + key, "unknown field");
            }
        }
        GearboxPosition position{String(value["label"], field + ".label"),
                                 Lead(value["lead_screw"], field + ".lead_screw")};
        if (!IsGearboxLabel(position.label)) {
            Fail(field + ".label", LabelFault(position.label));
        }
        if (!labels.insert(position.label).second) {
            Fail(field + ".label", "label '" + position.label + "' given twice");
        }
        return position;
    }

    std::vector<GearboxPosition> Gearbox(const Json& value) const {
        if (!value.is_array() || value.empty()) {
            Fail("gearbox", "expected a list of positions");
        }
        std::vector<GearboxPosition> positions;
        std::set<std::string> labels;
        for (std::size_t i = 0; i < value.size(); ++i) {
            positions.push_back(Position(value[i], "gearbox[" + std::to_string(i) + "]", labels));
        }
        return positions;
    }

    void BanjoFigure(const std::string& key, const Json& value, BanjoFigures& figures) const {
        const std::string field = "banjo." + key;
        if (key == "slot") {
            if (!value.is_array() || value.size() != 2 || !value[0].is_number() ||
                !value[1].is_number()) {
                Fail(field, "expected [near end, far end]");
            }
            figures.slotMin = value[0].get<double>();
            figures.slotMax = value[1].get<double>();
            return;
        }
        if (key == "length_unit") {
            if (value != "mm" && value != "in") {
                Fail(field, "expected \"mm\" or \"in\"");
            }
            figures.inches = value == "in";
            return;
        }
        const std::map<std::string, std::optional<double> BanjoFigures::*> numbers = {
            {"module", &BanjoFigures::module},      {"dp", &BanjoFigures::dp},
            {"distance", &BanjoFigures::distance},  {"stud_hub", &BanjoFigures::studHub},
            {"screw_hub", &BanjoFigures::screwHub}, {"margin", &BanjoFigures::margin},
            {"backlash", &BanjoFigures::backlash},
        };
        const auto number = numbers.find(key);
        if (number == numbers.end()) {
            Fail(field, "unknown field");
        }
        if (!value.is_number()) {
            Fail(field, "expected a number");
        }
        figures.*(number->second) = value.get<double>();
    }

    Banjo BanjoOf(const Json& value) const {
        if (!value.is_object()) {
            Fail("banjo", "expected an object of banjo figures");
        }
        BanjoFigures figures;
        for (const auto& [key, figure] : value.items()) {
            BanjoFigure(key, figure, figures);
        }
        try {
            return MakeBanjo(figures);
        } catch (const BanjoError& error) {
            Fail("banjo." + error.field, error.what());
        }
    }

    // With a gearbox the positions give effective lead screws; the dial
    // turns with the real one.
    void CheckScrews() const {
        const bool gearbox = !profile_.gearbox.empty();
        if (profile_.leadScrew && gearbox && profile_.dial.empty()) {
            Fail("gearbox", "a lathe has a lead screw or a gearbox, not both");
        }
        if (!profile_.leadScrew && gearbox && !profile_.dial.empty()) {
            Fail("dial", "a dial on a gearbox needs the real screw's pitch as lead_screw");
        }
    }

    DialGear OneDialGear(const Json& value, const std::string& field) const {
        if (!value.is_object() || !value.contains("teeth") || !value.contains("marks")) {
            Fail(field, "expected an object with teeth and marks");
        }
        for (const auto& [key, unused] : value.items()) {
            if (key != "teeth" && key != "marks") {
                Fail(field + "." + key, "unknown field");
            }
        }
        const DialGear gear{Teeth(value["teeth"], field + ".teeth", 1),
                            Teeth(value["marks"], field + ".marks", 1)};
        const std::string fault = DialGearFault(gear);
        if (!fault.empty()) {
            Fail(field, fault);
        }
        return gear;
    }

    // One dial gear, or a list of interchangeable ones.
    std::vector<DialGear> Dial(const Json& value) const {
        if (!value.is_array()) {
            return {OneDialGear(value, "dial")};
        }
        if (value.empty()) {
            Fail("dial", "expected a dial gear or a list of them");
        }
        std::vector<DialGear> gears;
        for (std::size_t i = 0; i < value.size(); ++i) {
            gears.push_back(OneDialGear(value[i], "dial[" + std::to_string(i) + "]"));
        }
        return gears;
    }

    std::string file_;
    LatheProfile profile_;
};

// A banjo as a profile holds it, lengths in mm.
Json BanjoJson(const Banjo& banjo) {
    const BanjoFigures figures = FiguresOf(banjo);
    Json json;
    const std::pair<const char*, const std::optional<double>&> numbers[] = {
        {"module", figures.module},      {"dp", figures.dp},
        {"distance", figures.distance},  {"stud_hub", figures.studHub},
        {"screw_hub", figures.screwHub}, {"margin", figures.margin},
        {"backlash", figures.backlash},
    };
    for (const auto& [key, value] : numbers) {
        if (value) {
            json[key] = *value;
        }
    }
    if (figures.slotMin) {
        json["slot"] = {*figures.slotMin, *figures.slotMax};
    }
    return json;
}

// The line a syntax error is on, counted from 1.
std::size_t LineAt(const std::string& text, std::size_t byte) {
    const auto end = text.begin() + static_cast<std::ptrdiff_t>(std::min(byte, text.size()));
    return 1 + static_cast<std::size_t>(std::count(text.begin(), end, '\n'));
}

LatheProfile ReadProfileFile(const std::string& file) {
    std::error_code error;
    std::ifstream in;
    if (fs::is_regular_file(file, error)) {
        in.open(file, std::ios::binary);
    }
    std::ostringstream text;
    text << in.rdbuf(); // an empty file reads as empty text, and fails as JSON
    if (!in.is_open() || in.bad()) {
        throw LatheProfileError(file + ": cannot read the file");
    }
    return ParseLatheProfile(text.str(), file);
}

std::string ProfilePath(const std::string& dir, const std::string& name) {
    return dir + "/" + name + ".json";
}

// The profiles in one folder by name, with their files. A folder that is
// not there holds none; one that cannot be read sets `error`.
std::map<std::string, std::string> LathesIn(const std::string& dir, std::error_code& error) {
    std::map<std::string, std::string> found;
    error.clear();
    fs::directory_iterator entry(dir, error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        const fs::path& path = entry->path();
        if (path.extension() == ".json" && IsLatheName(path.stem().string())) {
            found.emplace(path.stem().string(), ProfilePath(dir, path.stem().string()));
        }
    }
    if (error == std::errc::no_such_file_or_directory) {
        error.clear();
    }
    return found;
}

std::string CannotRead(const std::string& dir, const std::error_code& error) {
    return "cannot read " + dir + ": " + error.message();
}

std::string Summary(const LatheProfile& profile) {
    std::string lead = "no lead screw";
    if (!profile.gearbox.empty()) {
        lead = std::to_string(profile.gearbox.size()) + " gearbox positions";
    } else if (profile.leadScrew) {
        const bool mm = profile.leadUnit == LeadScrewUnit::MM;
        lead = "lead screw " + MeasureText(*profile.leadScrew) + (mm ? " mm" : " tpi");
    }
    const std::string gears =
        profile.gears ? std::to_string(profile.gears->size()) + " gears" : "no gears";
    char line[96];
    std::snprintf(line, sizeof line, "%-24s %-9s", lead.c_str(), gears.c_str());
    return line;
}

} // namespace

LatheProfile ParseLatheProfile(const std::string& json, const std::string& file) {
    // The parser would stop at a NUL byte as at the end of the text.
    const std::size_t nul = json.find('\0');
    if (nul != std::string::npos) {
        throw LatheProfileError(file + ": line " + std::to_string(LineAt(json, nul)) +
                                ": not valid JSON");
    }
    Json parsed;
    try {
        parsed = Json::parse(json);
    } catch (const Json::parse_error& error) {
        // The error's byte is the last one read, counted from 1.
        throw LatheProfileError(file + ": line " + std::to_string(LineAt(json, error.byte - 1)) +
                                ": not valid JSON");
    } catch (const Json::out_of_range&) {
        throw LatheProfileError(file + ": a number too large for JSON");
    }
    return ProfileReader(file).Read(parsed);
}

// One field a line, and one gearbox position a line, so that a profile
// reads and edits well by hand.
std::string LatheProfileJson(const LatheProfile& profile) {
    Json fields;
    fields["name"] = profile.name;
    if (profile.leadUnit) {
        fields["lead_unit"] = profile.leadUnit == LeadScrewUnit::MM ? "mm" : "tpi";
    }
    if (profile.leadScrew) {
        fields["lead_screw"] = *profile.leadScrew;
    }
    if (profile.gears) {
        fields["gears"] = *profile.gears;
    }
    if (profile.pairs) {
        fields["pairs"] = *profile.pairs;
    }
    const std::pair<const char*, const std::optional<std::int64_t>&> rules[] = {
        {"clearance", profile.rules.clearance},
        {"min_sum", profile.rules.minimumSum},
        {"spindle_gear", profile.rules.spindleGear},
    };
    for (const auto& [key, value] : rules) {
        if (value) {
            fields[key] = *value;
        }
    }
    if (profile.banjo) {
        fields["banjo"] = BanjoJson(*profile.banjo);
    }
    if (!profile.dial.empty()) {
        Json dial = Json::array();
        for (const DialGear& gear : profile.dial) {
            dial.push_back({{"teeth", gear.teeth}, {"marks", gear.marks}});
        }
        fields["dial"] = dial.size() == 1 ? dial[0] : dial;
    }
    std::string text = "{";
    for (const auto& [key, value] : fields.items()) {
        text += "\n  " + Json(key).dump() + ": " + value.dump() + ",";
    }
    if (!profile.gearbox.empty()) {
        text += "\n  \"gearbox\": [";
        for (const GearboxPosition& position : profile.gearbox) {
            const Json json = {{"label", position.label}, {"lead_screw", position.leadScrew}};
            text += "\n    " + json.dump() + ",";
        }
        text.back() = '\n';
        text += "  ],";
    }
    text.back() = '\n';
    return text + "}\n";
}

std::string MeasureText(double value) {
    char text[32];
    for (int digits = 1;; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value || digits == 17) {
            return text;
        }
    }
}

LatheDirectories DefaultLatheDirectories() {
    // Only the tests set this, to stand for the installed profiles.
    const char* installed = std::getenv("VANTOREL_TEST_INSTALLED_LATHES");
    LatheDirectories dirs{"", installed != nullptr ? installed : VANTOREL_LATHES_DIR};
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    // A relative XDG_CONFIG_HOME is to be ignored, as if unset.
    if (config != nullptr && config[0] == '/') {
        dirs.user = std::string(config) + "/vantorel/lathes";
    } else if (home != nullptr && home[0] != '\0') {
        dirs.user = std::string(home) + "/.config/vantorel/lathes";
    }
    return dirs;
}

bool IsLatheName(const std::string& name) {
    const auto allowed = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    };
    return !name.empty() && name.size() <= 64 && name[0] != '.' &&
           std::all_of(name.begin(), name.end(), allowed);
}

LatheProfile LoadLathe(const std::string& nameOrPath, const LatheDirectories& dirs) {
    if (nameOrPath.find('/') != std::string::npos) {
        return ReadProfileFile(nameOrPath);
    }
    // A folder that cannot be read might hold the profile that should win.
    std::map<std::string, std::string> lathes;
    for (const std::string& dir : {dirs.user, dirs.system}) {
        std::error_code error;
        const auto inDir = LathesIn(dir, error);
        if (error) {
            throw LatheProfileError(CannotRead(dir, error));
        }
        const auto found = inDir.find(nameOrPath);
        if (found != inDir.end()) {
            return ReadProfileFile(found->second);
        }
        lathes.insert(inDir.begin(), inDir.end());
    }
    std::string known;
    for (const auto& [name, file] : lathes) {
        known += (known.empty() ? "" : ", ") + name;
    }
    throw LatheProfileError("unknown lathe '" + nameOrPath + "' (" +
                            (known.empty() ? "there are none" : "known: " + known) + ")");
}

LatheListFault ListLathes(const LatheDirectories& dirs, std::ostream& out, std::ostream& err) {
    LatheListFault fault = LatheListFault::None;
    std::map<std::string, std::string> lathes;
    for (const std::string& dir : {dirs.user, dirs.system}) {
        std::error_code error;
        const auto inDir = LathesIn(dir, error);
        if (error) {
            err << "vantorel-cli: " << CannotRead(dir, error) << "\n";
            fault = LatheListFault::UnreadableFolder;
        }
        lathes.insert(inDir.begin(), inDir.end()); // the user's first: they win
    }
    for (const auto& [name, file] : lathes) {
        try {
            const std::string summary = Summary(ReadProfileFile(file));
            char line[128];
            std::snprintf(line, sizeof line, "%-20s %s ", name.c_str(), summary.c_str());
            out << line << file << "\n";
        } catch (const LatheProfileError& error) {
            err << "vantorel-cli: " << error.what() << "\n";
            fault = LatheListFault::BadProfile;
        }
    }
    return fault;
}

void SaveLathe(const LatheProfile& profile, const LatheDirectories& dirs, bool force) {
    if (dirs.user.empty()) {
        throw LatheSaveError(
            "no place for lathe profiles: neither XDG_CONFIG_HOME nor HOME is set");
    }
    const std::string file = ProfilePath(dirs.user, profile.name);
    if (MakeDirectories(dirs.user) && SaveFileAtomically(file, LatheProfileJson(profile), !force)) {
        return;
    }
    if (errno == EEXIST) {
        throw LatheSaveError("lathe '" + profile.name + "' exists (" + file +
                             "); give --force to replace it");
    }
    throw LatheSaveError("cannot write " + file + ": " + std::strerror(errno));
}
