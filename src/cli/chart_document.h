// The threading chart as a document to print and pin beside the lathe: PDF
// pages, or one SVG picture, drawn with cairo and pango.
#pragma once

#include "report.h"

#include <ostream>
#include <string>
#include <vector>

enum class DocumentFormat { Pdf, Svg };
enum class Paper { A4, Letter };

struct DocumentLayout {
    DocumentFormat format = DocumentFormat::Pdf;
    Paper paper = Paper::A4;
    double markAbovePercent = 0.5; // rows further off than this are shaded
};

// A page holds at most this many rows, one per train (fewer when the titles of
// many short lists take the room).
constexpr int kRowsPerPage = 60;

// The whole document into `document`; false with cairo's reason in `error`.
// Every page repeats the title and what the chart was made for (`setting`).
bool RenderChartDocument(const std::vector<ChartEntry>& chart, const ChartSetting& setting,
                         const DocumentLayout& layout, std::string& document, std::string& error);

// Writes `document` to `path`, or to `out` when `path` is "-". A regular file
// is replaced atomically; anything else that exists there (a device, a FIFO,
// the file behind standard output) is written in place. Returns an empty
// string, or why it failed in one line.
std::string WriteDocument(const std::string& path, const std::string& document, std::ostream& out);
