// A change-gear train drawn to scale on its banjo, for the user to check by
// eye what `mount` says in words: which gear goes on which shaft, in which
// plane, how close things come, and what is in the way when it does not fit.
#pragma once

#include "lathe/banjo.h"
#include "lathe/report.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// The drawing's scale is 1:n, n the smallest of 1, 2, 5, 10, 20, 50, ... at
// which the train fits a printed page.
constexpr double kPointsPerMillimetre = 72.0 / 25.4;

// `gears` are A, B, D (an idler train), A to D, or A to F, as MountTrain
// takes them. The train as `format` (Pdf or Svg) into `document`: one page;
// false with cairo's reason in `error`.
bool RenderTrainDrawing(const Banjo& banjo, const std::vector<std::int64_t>& gears,
                        OutputFormat format, std::string& document, std::string& error);

// The drawing saved as a chart is (see SaveChart): into `path`, or into `out`
// when `path` is "-". Returns an empty string, or why it failed in one line.
std::string SaveTrainDrawing(const std::string& path, OutputFormat format, const Banjo& banjo,
                             const std::vector<std::int64_t>& gears, std::ostream& out);
