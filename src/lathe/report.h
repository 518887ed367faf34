// What every front end writes: the trains of one calculation, or a chart of
// standard threads, as text, CSV or JSON. The command line prints them and a
// chart saved to a file holds the very same text.
#pragma once

#include "lathe/chart.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Pdf and Svg are for charts only, drawn by chart_document.h.
enum class OutputFormat { Text, Csv, Json, Pdf, Svg };

// One calculation. Text is exactly the window's result lines; with a dial,
// each train also says where the half-nut may close.
void WriteTrains(std::ostream& out, OutputFormat format, const std::vector<ReportedTrain>& trains,
                 double desiredTpi, ThreadType type, const DialSetup* dial = nullptr);

void WriteChart(std::ostream& out, OutputFormat format, const std::vector<ChartEntry>& chart,
                const ChartSetting& setting);
