// What `mount` says of one train on a banjo: whether it mounts, the reason
// in numbers when it does not, and where its studs sit.
#pragma once

#include "lathe/banjo.h"
#include "lathe/report.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// `gears` are A, B, D (an idler train), A to D, or A to F; anything else
// is for the caller to refuse.
Mounting MountTrain(const Banjo& banjo, const std::vector<std::int64_t>& gears);

// One sentence naming the failed constraint with its numbers, e.g. "C (60
// teeth, tip radius 31 mm) needs 35 mm to pass the stud's hub; the A:B mesh
// leaves 34.5 mm."
std::string FailureSentence(const Constraint& failed, const Banjo& banjo,
                            const std::vector<std::int64_t>& gears);

// Text: whether it mounts, the failure's sentence, then one line per stud.
// Json: {"mounts": bool, "failed": name or null, "studs": [{"x": .., "y": ..}]}.
void WriteMounting(std::ostream& out, OutputFormat format, const Mounting& mounting,
                   const Banjo& banjo, const std::vector<std::int64_t>& gears);
