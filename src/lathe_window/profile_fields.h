// The lathe profile as the profile dialog edits it: every field as typed,
// checked as the command line checks the option of the same meaning, and
// refused with the option's name.
#pragma once

#include "lathe/lathe_profile.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct ProfileFields {
    std::string name;
    bool useGearbox = false;
    std::string leadScrew;
    LeadScrewUnit unit = LeadScrewUnit::TPI;
    std::vector<std::pair<std::string, std::string>> gearbox; // label, lead screw
    std::vector<std::string> gears;
    int pairs = 2;
    std::string clearance, minSum, spindleGear; // empty: no such rule
    std::string dial;                           // "TEETH:MARKS,...", empty without a dial
    std::string dialScrew;                      // with a gearbox and a dial: the real lead screw
    // The banjo's figures as typed, named as --banjo names them; all empty:
    // no banjo.
    bool banjoDp = false;     // the pitch as DP rather than module
    bool banjoInches = false; // the lengths in inches rather than mm
    std::string banjoPitch, banjoDistance, slotNear, slotFar, studHub, screwHub, margin, backlash;
};

// A field that cannot be used; `option` is the command line's name for it
// and what() the whole message, starting with that name.
struct ProfileFieldError : std::runtime_error {
    ProfileFieldError(const std::string& optionName, const std::string& problem)
        : std::runtime_error(optionName + ": " + problem), option(optionName) {}
    std::string option;
};

// A profile's fields, with the command line's defaults where it has none.
ProfileFields FieldsOf(const LatheProfile& profile);

// Throws ProfileFieldError at the first field that is refused, in the order
// the dialog shows them.
LatheProfile ProfileOf(const ProfileFields& fields);
