#include "lathe_window/lathe_window_settings.h"

#include "core/atomic_file.h"
#include "lathe/lathe_profile.h"
#include "lathe/thread_lists.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <sstream>

namespace {

using Json = nlohmann::ordered_json;

// Well-formed JSON with a value the window cannot use.
struct Damaged {};

// Sizes beyond any screen are damage, not a choice.
constexpr int kLargestCoordinate = 100000;

bool IsCoordinate(const Json& value, int lowest) {
    return value.is_number_integer() && value.get<long long>() >= lowest &&
           value.get<long long>() <= kLargestCoordinate;
}

std::optional<WindowPlace> PlaceOf(const Json& json) {
    const char* keys[] = {"x", "y", "width", "height"};
    for (const char* key : keys) {
        const int lowest = key[1] == '\0' ? -kLargestCoordinate : 1;
        if (!json.contains(key) || !IsCoordinate(json[key], lowest)) {
            throw Damaged{};
        }
    }
    return WindowPlace{json["x"].get<int>(), json["y"].get<int>(), json["width"].get<int>(),
                       json["height"].get<int>()};
}

LatheWindowSettings SettingsOf(const Json& json) {
    LatheWindowSettings settings;
    settings.profile = json.at("profile").get<std::string>();
    settings.lists.clear();
    for (const Json& name : json.at("lists")) {
        if (FindThreadList(name.get<std::string>()) == nullptr) {
            throw Damaged{};
        }
        settings.lists.push_back(name.get<std::string>());
    }
    settings.shadePercent = json.at("shade_percent").get<double>();
    if (!std::isfinite(settings.shadePercent) || settings.shadePercent < 0.0) {
        throw Damaged{};
    }
    if (json.contains("window")) {
        settings.place = PlaceOf(json["window"]);
    }
    return settings;
}

} // namespace

std::string LatheWindowSettingsPath() {
    const std::string lathes = DefaultLatheDirectories().user;
    if (lathes.empty()) {
        return "";
    }
    return lathes.substr(0, lathes.rfind('/')) + "/lathe-window.json";
}

LatheWindowSettings LoadLatheWindowSettings(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return SettingsOf(Json::parse(text.str()));
    } catch (const Json::exception&) {
        return LatheWindowSettings();
    } catch (const Damaged&) {
        return LatheWindowSettings();
    }
}

bool SaveLatheWindowSettings(const std::string& path, const LatheWindowSettings& settings) {
    Json json;
    json["profile"] = settings.profile;
    json["lists"] = settings.lists;
    json["shade_percent"] = settings.shadePercent;
    if (settings.place) {
        const WindowPlace& place = *settings.place;
        json["window"] = {
            {"x", place.x}, {"y", place.y}, {"width", place.width}, {"height", place.height}};
    }
    return !path.empty() && ReplaceFileAtomically(path, json.dump(2) + "\n");
}
