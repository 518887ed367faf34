// The search for the best trains of three pairs of change gears on two
// studs: A drives B, C on B's stud drives D, E on D's stud drives F on the
// lead screw.
#pragma once

#include "core/two_pair_search.h"

#include <cstdint>
#include <vector>

// One train of three pairs: drivers A, C, E; driven B, D, F. `thread` and
// `error` are in threads per inch, as for two pairs.
struct ThreePairTrain {
    std::int64_t A = 0, B = 0, C = 0, D = 0, E = 0, F = 0;
    double thread = 0.0;
    double error = 0.0;
};

// A train is its three driver sizes with its three driven sizes, however they
// are paired and ordered; each is listed once. A train in which a driver and
// a driven gear have one size is left out: that pair cancels, and the rest is
// a train of two pairs. Of its arrangements, a train shows the first that
// passes `rules` in this order: the largest step first, that is, the ratios
// B/A, D/C, F/E compared in turn, larger first (then smaller A, then smaller
// C); with no rules that is drivers ascending against driven descending. A
// train none of whose arrangements fits is not a candidate. It cuts
// lead x ((B/A) x (D/C)) x (F/E), in doubles, from the arrangement shown.
//
// Returns at most `show` (at most kMaxTrains) trains, only those found, with
// an error below kEmptyError, sorted by error; trains of equal error by their
// drivers' tooth counts ascending (compared as sorted lists, smallest gear
// first), then by their driven gears' the same way. Only the first kMaxGears
// entries of `gears` take part, and of those only positive ones; a desired
// thread or lead screw that is not positive and finite finds nothing.
std::vector<ThreePairTrain> SearchBestThreePairTrains(double desiredTpi, double leadTpi,
                                                      const std::vector<std::int64_t>& gears,
                                                      int show, const FitRules& rules = {});

// Every pair of driver and driven sizes tried in turn: what
// SearchBestThreePairTrains must return, for the tests only.
std::vector<ThreePairTrain>
SearchBestThreePairTrainsReference(double desiredTpi, double leadTpi,
                                   const std::vector<std::int64_t>& gears, int show,
                                   const FitRules& rules = {});
