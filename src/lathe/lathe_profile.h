// Lathe profiles: a lathe's lead screw or gearbox, its change gears and fit
// rules kept in a JSON file, so they are typed once rather than on every run.
#pragma once

#include "core/gearcalc.h"
#include "lathe/banjo.h"
#include "lathe/gearbox.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

// Every field may be missing; options on the command line fill in or
// override what the profile gives. A profile has a lead screw or a gearbox,
// never both.
struct LatheProfile {
    std::string name;
    std::optional<double> leadScrew;
    std::optional<LeadScrewUnit> leadUnit;
    std::vector<GearboxPosition> gearbox;
    std::optional<std::vector<std::int64_t>> gears;
    FitRules rules;
    std::optional<int> pairs; // 2 or 3
    std::optional<Banjo> banjo;
};

// A profile that cannot be used (or found, or written); what() is the whole
// line for the user, beginning with the file.
struct LatheProfileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// `file` only names the source in messages.
LatheProfile ParseLatheProfile(const std::string& json, const std::string& file);
std::string LatheProfileJson(const LatheProfile& profile);

// Where profiles are looked for by name: the user's first, then the installed ones.
struct LatheDirectories {
    std::string user;
    std::string system;
};
// $XDG_CONFIG_HOME/vantorel/lathes (~/.config unless set) and the data
// directory the program was installed with.
LatheDirectories DefaultLatheDirectories();

// The shortest text that reads back as `value`, as a lead screw is typed.
std::string MeasureText(double value);

// Profile names are file names without ".json": letters, digits, - _ . and
// not starting with a dot.
bool IsLatheName(const std::string& name);

// `--lathe`: a path when it holds a '/', else a name looked up in `dirs`.
// An unknown name's error lists the names there are.
LatheProfile LoadLathe(const std::string& nameOrPath, const LatheDirectories& dirs);

// `lathes`: one line per profile that --lathe can load, by name; bad ones
// get their error line on `err`. Returns false when any was bad.
bool ListLathes(const LatheDirectories& dirs, std::ostream& out, std::ostream& err);

// A profile that could not be saved; what() is the whole line for the user.
struct LatheSaveError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes `profile` as dirs.user/NAME.json, atomically. Refuses to replace
// an existing file unless `force`.
void SaveLathe(const LatheProfile& profile, const LatheDirectories& dirs, bool force);
