// The standard threads a chart can list, from the public standards: names,
// how the value is given, and the value.
#pragma once

#include "core/gearcalc.h"

#include <string>
#include <vector>

struct StandardThread {
    std::string name;
    ThreadType type;
    double value; // threads per inch, pitch in mm, diametral pitch or module
};

struct ThreadList {
    std::string name; // as given to --threads
    std::string description;
    std::vector<StandardThread> threads;
};

const std::vector<ThreadList>& BuiltInThreadLists();

// The list of that name, or nullptr.
const ThreadList* FindThreadList(const std::string& name);
