// The text of the result lines, as the window's list and the command line
// show them.
#pragma once

#include "core/three_pair_search.h"
#include "core/two_pair_search.h"
#include "core/units.h"

#include <string>
#include <vector>

// printf into a string of whatever length the numbers need: a thread or an
// error near the limits of a double runs to hundreds of digits.
__attribute__((format(printf, 1, 2))) std::string FormatText(const char* format, ...);

// The error in percent of the desired threads per inch, as every output shows it.
double PercentError(double error, double desiredTpi);

// The text of one result line, with the thread shown in the unit of `type`
// and the error in percent of the desired threads per inch.
std::string FormatResultLine(const GearTrain& train, double desiredTpi, ThreadType type);

// The lines of a whole table, empty slots left out.
std::vector<std::string> FormatResultLines(const std::vector<GearTrain>& table, double desiredTpi,
                                           ThreadType type);

// The text of one train of three pairs, in the units of FormatResultLine.
std::string FormatThreePairLine(const ThreePairTrain& train, double desiredTpi, ThreadType type);
