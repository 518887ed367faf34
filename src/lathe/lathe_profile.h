// Lathe profiles: a lathe's lead screw or gearbox, its change gears and fit
// rules kept in a JSON file, so they are typed once rather than on every run.
#pragma once

#include "core/gearcalc.h"
#include "lathe/banjo.h"
#include "lathe/dial.h"
#include "lathe/gearbox.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

// Every field may be missing; options on the command line fill in or
// override what the profile gives. A profile has a lead screw or a gearbox;
// both only with a dial, when the lead screw is the real screw that turns it.
struct LatheProfile {
    std::string name;
    std::optional<double> leadScrew;
    std::optional<LeadScrewUnit> leadUnit;
    std::vector<GearboxPosition> gearbox;
    std::optional<std::vector<std::int64_t>> gears;
    FitRules rules;
    std::optional<int> pairs;   // 2 or 3
    std::vector<DialGear> dial; // interchangeable dial gears, in order
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
// directory the program was installed with (for the tests only,
// $VANTOREL_TEST_INSTALLED_LATHES instead).
LatheDirectories DefaultLatheDirectories();

// The shortest text that reads back as `value`, as a lead screw is typed.
std::string MeasureText(double value);

// Profile names are file names without ".json": letters, digits, - _ . and
// not starting with a dot.
bool IsLatheName(const std::string& name);

// `--lathe`: a path when it holds a '/', else a name looked up in `dirs`.
// An unknown name's error lists the names there are; a folder that cannot
// be read, before the name is found, is an error as well.
LatheProfile LoadLathe(const std::string& nameOrPath, const LatheDirectories& dirs);

// The worst that `lathes` met: a profile that cannot be used is worse than
// a folder that cannot be read.
enum class LatheListFault { None, UnreadableFolder, BadProfile };

// `lathes`: one line per profile that --lathe can load, by name; bad ones,
// and folders that cannot be read, get their error line on `err`.
LatheListFault ListLathes(const LatheDirectories& dirs, std::ostream& out, std::ostream& err);

// A profile that could not be saved; what() is the whole line for the user.
struct LatheSaveError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes `profile` as dirs.user/NAME.json, atomically, making dirs.user if
// need be. Refuses to replace an existing file unless `force`; of two saves
// at once without it, one wins and the other is refused.
void SaveLathe(const LatheProfile& profile, const LatheDirectories& dirs, bool force);
