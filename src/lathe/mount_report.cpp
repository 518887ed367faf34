#include "lathe/mount_report.h"

#include <nlohmann/json.hpp>

#include <map>

namespace {

using Json = nlohmann::ordered_json;

// The tooth count of the gear a letter names; an idler train is A, B, D.
std::int64_t TeethOf(char letter, const std::vector<std::int64_t>& gears) {
    if (gears.size() == 3 && letter == 'D') {
        return gears[2];
    }
    return gears[static_cast<std::size_t>(letter - 'A')];
}

std::string Mm(double length) {
    return Millimetres(length) + " mm";
}

// What holds the two things apart, for each constraint but reach and slot.
std::string Room(const std::string& name, const Constraint& failed, bool threePairs) {
    const std::string have = Mm(failed.have);
    const std::map<std::string, std::string> rooms = {
        {"B-screw", "the C:D mesh leaves " + have},
        {"C-stud", "the A:B mesh leaves " + have},
        {"B-E", "the C:D mesh holds the studs " + have + " apart"},
        {"D-screw", "the E:F mesh leaves " + have},
        {"B-F", "the first stud is " + have + " from L"},
        {"C-screw", "the first stud is " + have + " from L"},
        {"A-E", "the second stud is " + have + " from S"},
    };
    const auto room = rooms.find(name);
    if (room != rooms.end()) {
        return room->second;
    }
    if (name == "D-stud" && threePairs) {
        return "the second stud is " + have + " from S";
    }
    return "S and L are " + have + " apart";
}

} // namespace

Mounting MountTrain(const Banjo& banjo, const std::vector<std::int64_t>& gears) {
    if (gears.size() == 3) {
        return MountSimple(banjo, gears[0], gears[1], gears[2]);
    }
    if (gears.size() == 4) {
        return MountTwoPairs(banjo, gears[0], gears[1], gears[2], gears[3]);
    }
    return MountThreePairs(banjo, gears[0], gears[1], gears[2], gears[3], gears[4], gears[5]);
}

std::string FailureSentence(const Constraint& failed, const Banjo& banjo,
                            const std::vector<std::int64_t>& gears) {
    const std::string name = failed.name;
    if (name == "reach") {
        return "S and L are " + Mm(failed.have) + " apart, but the gears can span only " +
               Millimetres(failed.need) + " to " + Mm(*failed.needMax) + ".";
    }
    if (name == "slot") {
        return "A stud would sit " + Mm(failed.have) + " from L, outside the slot (" +
               Millimetres(failed.need) + " to " + Mm(*failed.needMax) + ").";
    }
    const bool threePairs = gears.size() == 6;
    const char first = name[0];
    const char second = name[2];
    const std::string room = Room(name, failed, threePairs);
    const std::string tip = Mm(TipRadius(banjo, TeethOf(first, gears)));
    if (second >= 'A' && second <= 'F') {
        return std::string(1, first) + " and " + second + " (tip radii " +
               Millimetres(TipRadius(banjo, TeethOf(first, gears))) + " and " +
               Mm(TipRadius(banjo, TeethOf(second, gears))) + ") need " + Mm(failed.need) +
               " to pass each other; " + room + ".";
    }
    const std::string hub = name.substr(2) == "stud" ? "the stud's hub" : "the lead screw's hub";
    return std::string(1, first) + " (" + std::to_string(TeethOf(first, gears)) +
           " teeth, tip radius " + tip + ") needs " + Mm(failed.need) + " to pass " + hub + "; " +
           room + ".";
}

void WriteMounting(std::ostream& out, OutputFormat format, const Mounting& mounting,
                   const Banjo& banjo, const std::vector<std::int64_t>& gears) {
    if (format == OutputFormat::Json) {
        Json studs = Json::array();
        for (const StudPosition& stud : mounting.studs) {
            studs.push_back({{"x", stud.x}, {"y", stud.y}});
        }
        const Json json = {
            {"mounts", mounting.mounts},
            {"failed", mounting.failed ? Json(mounting.failed->name) : Json(nullptr)},
            {"studs", studs}};
        out << json.dump(2) << "\n";
        return;
    }
    out << (mounting.mounts ? "Mounts."
                            : "Does not mount (" + std::string(mounting.failed->name) +
                                  "): " + FailureSentence(*mounting.failed, banjo, gears))
        << "\n";
    const char* where = mounting.mounts ? "" : ", as near as it comes";
    for (std::size_t i = 0; i < mounting.studs.size(); ++i) {
        const std::string stud =
            mounting.studs.size() == 1 ? "Stud" : "Stud " + std::to_string(i + 1);
        out << stud << ": x = " << Mm(mounting.studs[i].x) << ", y = " << Mm(mounting.studs[i].y)
            << " from L" << where << "\n";
    }
}
