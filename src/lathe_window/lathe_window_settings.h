// What the lathe window remembers between runs, in a small JSON file of its
// own beside the lathe profiles. Knows nothing of the toolkit.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct WindowPlace {
    int x = 0, y = 0, width = 0, height = 0;
};

struct LatheWindowSettings {
    std::string profile; // the profile's name, or a file's path; empty for none
    std::vector<std::string> lists = {"metric-coarse", "unc"};
    double shadePercent = 0.5;
    std::optional<WindowPlace> place;
};

// $XDG_CONFIG_HOME/vantorel/lathe-window.json (~/.config unless set); empty
// when there is no home to keep it in.
std::string LatheWindowSettingsPath();

// The settings in `path`; defaults when it is missing or damaged in any way.
LatheWindowSettings LoadLatheWindowSettings(const std::string& path);

// Replaces `path` atomically; false when it could not.
bool SaveLatheWindowSettings(const std::string& path, const LatheWindowSettings& settings);
