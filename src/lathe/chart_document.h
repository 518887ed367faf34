// The threading chart as a document to print and pin beside the lathe: PDF
// pages, or one SVG picture, drawn with cairo and pango; and any chart saved
// to a file whole or not at all.
#pragma once

#include "lathe/report.h"

#include <ostream>
#include <string>
#include <vector>

enum class Paper { A4, Letter };

struct DocumentLayout {
    Paper paper = Paper::A4;
    double markAbovePercent = 0.5; // trains further off than this are shaded
};

// A page holds at most this many rows, one per train (fewer when the titles of
// many short lists take the room).
constexpr int kRowsPerPage = 60;

// The chart drawn as `format` (Pdf or Svg) into `document`, every page headed
// by what it was made for; false with cairo's reason in `error`.
bool RenderChartDocument(const std::vector<ChartEntry>& chart, const ChartSetting& setting,
                         OutputFormat format, const DocumentLayout& layout, std::string& document,
                         std::string& error);

// The chart in any format into `path`, or into `out` when `path` is "-". A
// regular file is replaced atomically and keeps its mode; a new one gets
// the usual mode of a new file; no folder is made. Anything else already
// there (a device, a FIFO, the file behind standard output) is written in place.
// Returns an empty string, or why it failed in one line.
std::string SaveChart(const std::string& path, OutputFormat format,
                      const std::vector<ChartEntry>& chart, const ChartSetting& setting,
                      const DocumentLayout& layout, std::ostream& out);

// Any document into `path` by the same rules as SaveChart.
std::string WriteDocument(const std::string& path, const std::string& document, std::ostream& out);

// cairo numbers its surfaces across the whole process and names an SVG's
// group by that number; this names it as the first, so that the same
// drawing is the same file whatever was drawn before it.
void NameAsFirstSurface(std::string& svg);
