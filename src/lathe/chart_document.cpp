#include "lathe/chart_document.h"

#include "lathe/cairo_text.h"

#include "core/atomic_file.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <fcntl.h>
#include <pango/pangocairo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

namespace {

// Measures in points. Rows are 9 pt type on 10 pt, as dense as print tables
// go, so that 60 threads and the titles of three lists fit even on letter.
constexpr double kRowPitch = 10.0;
constexpr double kRowBaseline = 7.5;
constexpr double kCellPadding = 3.0;
constexpr double kHeadingGap = 4.0;
constexpr double kTableGap = 5.0;
constexpr double kListTitleHeight = 12.0;
constexpr double kColumnHeadHeight = 11.0;
constexpr double kTableHeadHeight = kTableGap + kListTitleHeight + kColumnHeadHeight;
constexpr double kFooterHeight = 14.0;
constexpr double kTableSize = 9.0;
constexpr double kSmallestTableSize = 1.0;

constexpr const char* kExactMark = "\u2713";
// Rounding leaves an exact ratio a few units in the last place off; no lathe
// tells a billionth apart.
constexpr double kExactPercent = 1e-7;

struct PageSize {
    double width;
    double height;
};

PageSize SizeOf(Paper paper) {
    if (paper == Paper::Letter) {
        return {612.0, 792.0};
    }
    return {210.0 * 72.0 / 25.4, 297.0 * 72.0 / 25.4};
}

enum class Align { Left, Right, Centre };

struct Column {
    const char* title;
    double width;
    Align align;
};

// One printed line of a table: a train, or a thread no train fits (`note`).
struct Row {
    std::string list;
    std::vector<std::string> cells;
    std::string note;
    bool firstOfThread = true;
    bool exact = false;
    bool shaded = false;
};

struct Table {
    std::string list;
    std::vector<Row> rows;
};

using Page = std::vector<Table>;

// One pango context for measuring and drawing alike.
class Typesetter {
public:
    Typesetter()
        : context_(PageTextContext()), body_(MakeLayout("Sans 9")),
          bold_(MakeLayout("Sans Bold 9")), cell_(MakeLayout("Sans 9")),
          columnHead_(MakeLayout("Sans Bold 9")), listTitle_(MakeLayout("Sans Bold 10")),
          title_(MakeLayout("Sans Bold 13")) {}

    PangoLayout* Body() const { return body_.get(); }
    PangoLayout* Bold() const { return bold_.get(); }
    // The table's cells and column heads, whose size can shrink to fit the page.
    PangoLayout* Cell() const { return cell_.get(); }
    PangoLayout* ColumnHead() const { return columnHead_.get(); }
    void SetTableSize(double points) const {
        SetSize(cell_.get(), points);
        SetSize(columnHead_.get(), points);
    }
    PangoLayout* ListTitle() const { return listTitle_.get(); }
    PangoLayout* Title() const { return title_.get(); }

private:
    static void SetSize(PangoLayout* layout, double points) {
        PangoFontDescription* description =
            pango_font_description_copy(pango_layout_get_font_description(layout));
        pango_font_description_set_size(description, static_cast<int>(points * PANGO_SCALE));
        pango_layout_set_font_description(layout, description);
        pango_font_description_free(description);
    }

    Layout MakeLayout(const char* font) const {
        Layout layout = LayoutInFont(context_.get(), font);
        // Ligatures off: each character is its own glyph, as tables read best.
        PangoAttrList* attributes = pango_attr_list_new();
        pango_attr_list_insert(attributes, pango_attr_font_features_new("-liga"));
        pango_layout_set_attributes(layout.get(), attributes);
        pango_attr_list_unref(attributes);
        return layout;
    }

    Context context_;
    Layout body_;
    Layout bold_;
    Layout cell_;
    Layout columnHead_;
    Layout listTitle_;
    Layout title_;
};

double Points(int pangoUnits) {
    return static_cast<double>(pangoUnits) / PANGO_SCALE;
}

// Sets `text` in one line of at most `width` points, cut short with an
// ellipsis if need be; returns its width.
double SetLine(PangoLayout* layout, const std::string& text, double width) {
    pango_layout_set_text(layout, text.c_str(), -1);
    pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    int textWidth = 0;
    pango_layout_get_size(layout, &textWidth, nullptr);
    return Points(textWidth);
}

// Sets `text` wrapped at `width` points; returns its height.
double SetParagraph(PangoLayout* layout, const std::string& text, double width) {
    pango_layout_set_text(layout, text.c_str(), -1);
    pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    int height = 0;
    pango_layout_get_size(layout, nullptr, &height);
    return Points(height);
}

// Draws the layout as set, its first baseline at `baseline`.
void Show(cairo_t* cr, PangoLayout* layout, double x, double baseline) {
    cairo_move_to(cr, x, baseline - Points(pango_layout_get_baseline(layout)));
    pango_cairo_show_layout(cr, layout);
}

// Sets `text` in one line, however long; returns its width.
double SetWhole(PangoLayout* layout, const std::string& text) {
    pango_layout_set_text(layout, text.c_str(), -1);
    pango_layout_set_width(layout, -1);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
    int textWidth = 0;
    pango_layout_get_size(layout, &textWidth, nullptr);
    return Points(textWidth);
}

// Columns are as wide as their widest cell, so a cell is set whole.
void ShowCell(cairo_t* cr, PangoLayout* layout, const std::string& text, double left,
              const Column& column, double baseline) {
    const double room = column.width - 2 * kCellPadding;
    const double width = SetWhole(layout, text);
    double x = left + kCellPadding;
    if (column.align == Align::Right) {
        x += room - width;
    } else if (column.align == Align::Centre) {
        x += (room - width) / 2;
    }
    Show(cr, layout, x, baseline);
}

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The columns a chart needs: E and F when it was searched for trains of three
// pairs, as the text chart has them; the gearbox when a train was found on one;
// the dial when the lathe has one.
struct Shape {
    bool threePairs = false;
    bool gearbox = false;
    const DialSetup* dial = nullptr;
};

Shape ShapeOf(const std::vector<ChartEntry>& chart, const ChartSetting& setting) {
    Shape shape;
    shape.threePairs = setting.pairs == 3;
    shape.dial = setting.dial ? &*setting.dial : nullptr;
    for (const ChartEntry& entry : chart) {
        for (const ReportedTrain& train : entry.trains) {
            shape.gearbox = shape.gearbox || !train.gearbox.empty();
        }
    }
    return shape;
}

std::vector<Column> Columns(Shape shape) {
    std::vector<Column> columns = {{"Thread", 80, Align::Left}, {"Wanted", 72, Align::Left}};
    if (shape.gearbox) {
        columns.push_back({"Gearbox", 60, Align::Left});
    }
    for (const char* gear : {"A", "B", "C", "D", "E", "F"}) {
        if (shape.threePairs || (gear[0] != 'E' && gear[0] != 'F')) {
            columns.push_back({gear, 30, Align::Right});
        }
    }
    columns.push_back({"Cut", 60, Align::Right});
    columns.push_back({"Error", 60, Align::Right});
    columns.push_back({"", 18, Align::Centre});
    if (shape.dial != nullptr) {
        columns.push_back({"Dial", 110, Align::Left});
    }
    return columns;
}

double Width(const std::vector<Column>& columns) {
    double width = 0.0;
    for (const Column& column : columns) {
        width += column.width;
    }
    return width;
}

// Each column's texts, each once: tooth counts repeat down a column.
std::vector<std::set<std::string>> ColumnTexts(const std::vector<Column>& columns,
                                               const std::vector<Row>& rows) {
    std::vector<std::set<std::string>> texts(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        texts[i].insert(columns[i].title);
    }
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.cells.size() && i < columns.size(); ++i) {
            texts[i].insert(row.cells[i]);
        }
    }
    return texts;
}

// The columns at table type of `size` points: each as wide as its widest
// text, and no narrower than its usual width, taken down with the type.
std::vector<Column> SizedColumns(const Typesetter& type, std::vector<Column> columns,
                                 const std::vector<std::set<std::string>>& texts, double size) {
    type.SetTableSize(size);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        double widest = SetWhole(type.ColumnHead(), columns[i].title);
        for (const std::string& text : texts[i]) {
            widest = std::max(widest, SetWhole(type.Cell(), text));
        }
        columns[i].width =
            std::max(columns[i].width * size / kTableSize, widest + 2 * kCellPadding);
    }
    return columns;
}

// A label or a tooth count is never cut, since it is what the user sets on
// the lathe: a table too wide for the page is set in smaller type instead.
std::vector<Column> FitColumns(const Typesetter& type, const std::vector<Column>& columns,
                               const std::vector<Row>& rows, double room) {
    const std::vector<std::set<std::string>> texts = ColumnTexts(columns, rows);
    double size = kTableSize;
    for (;;) {
        std::vector<Column> fitted = SizedColumns(type, columns, texts, size);
        const double width = Width(fitted);
        if (width <= room || size <= kSmallestTableSize) {
            return fitted;
        }
        // The padding does not shrink, so the type shrinks a little more.
        size = std::max(kSmallestTableSize, size * room / width * 0.98);
    }
}

std::string Teeth(const std::optional<std::int64_t>& teeth) {
    return teeth ? std::to_string(*teeth) : "";
}

Row TrainRow(const ChartEntry& entry, const ReportedTrain& train, Shape shape,
             double markAbovePercent) {
    const double percent = PercentError(train, entry.desiredTpi);
    Row row;
    row.list = entry.list;
    row.cells = {entry.thread.name, WantedText(entry.thread)};
    if (shape.gearbox) {
        row.cells.push_back(train.gearbox);
    }
    row.cells.push_back(std::to_string(train.A));
    row.cells.push_back(BText(train));
    row.cells.push_back(IsSimple(train) ? "--" : std::to_string(train.C));
    row.cells.push_back(std::to_string(train.D));
    if (shape.threePairs) {
        row.cells.push_back(Teeth(train.E));
        row.cells.push_back(Teeth(train.F));
    }
    row.cells.push_back(Printed("%.3f", TpiToThread(entry.thread.type, train.thread)));
    row.cells.push_back(Printed("%.3f%%", percent));
    row.exact = percent <= kExactPercent;
    row.cells.push_back(row.exact ? kExactMark : "");
    row.shaded = !row.exact && percent > markAbovePercent;
    if (shape.dial != nullptr) {
        row.cells.push_back(DialText(shape.dial->AnswerFor(train), shape.dial->NamesGear()));
    }
    return row;
}

std::vector<Row> Rows(const std::vector<ChartEntry>& chart, Shape shape, double markAbovePercent) {
    std::vector<Row> rows;
    for (const ChartEntry& entry : chart) {
        if (entry.trains.empty()) {
            Row row;
            row.list = entry.list;
            row.cells = {entry.thread.name, WantedText(entry.thread)};
            row.note = "no train of these gears fits";
            rows.push_back(row);
        }
        for (const ReportedTrain& train : entry.trains) {
            rows.push_back(TrainRow(entry, train, shape, markAbovePercent));
            rows.back().firstOfThread = &train == &entry.trains.front();
        }
    }
    return rows;
}

// Fills pages top-down: a row goes on the current page while the page has
// fewer than kRowsPerPage rows and room for it (and for its table's head when
// it opens a table); otherwise a new page starts, opening the table afresh.
std::vector<Page> Paginate(const std::vector<Row>& rows, double room) {
    std::vector<Page> pages(1);
    double used = 0.0;
    int count = 0;
    for (const Row& row : rows) {
        bool opens = pages.back().empty() || pages.back().back().list != row.list;
        double needed = kRowPitch + (opens ? kTableHeadHeight : 0.0);
        if (count == kRowsPerPage || used + needed > room) {
            pages.emplace_back();
            used = 0.0;
            count = 0;
            opens = true;
            needed = kRowPitch + kTableHeadHeight;
        }
        if (opens) {
            pages.back().push_back({row.list, {}});
        }
        pages.back().back().rows.push_back(row);
        used += needed;
        ++count;
    }
    return pages;
}

std::string ListTitle(const std::string& list) {
    const ThreadList* found = FindThreadList(list);
    return found != nullptr ? found->description : list;
}

// Everything a page shows but its tables.
struct Frame {
    PageSize size;
    std::string title;
    std::string heading;
    std::string legend;
    double headingHeight;
    std::vector<Column> columns;
};

// Only the gears that take part: a list of thousands would push the table
// off the first page.
std::string GearsTakingPart(const std::vector<std::int64_t>& gears) {
    if (gears.size() <= static_cast<std::size_t>(kMaxGears)) {
        return GearList(gears);
    }
    return GearList({gears.begin(), gears.begin() + kMaxGears}) + " (only these " +
           std::to_string(kMaxGears) + " of the " + std::to_string(gears.size()) +
           " given take part)";
}

Frame MakeFrame(const Typesetter& type, const ChartSetting& setting, const DocumentLayout& layout,
                Shape shape, const std::vector<Row>& rows) {
    const PageSize size = SizeOf(layout.paper);
    const std::string title =
        "Threading chart" + (setting.lathe.empty() ? "" : " for " + setting.lathe);
    const std::string lines =
        "Lead screw " + setting.leadScrew + "     Fit rules: " + RulesText(setting.rules) +
        "\nGears: " + GearsTakingPart(setting.gears) +
        (shape.threePairs ? "; trains of two or three pairs" : "") +
        (shape.dial != nullptr ? "\nDial " + DialGearsText(shape.dial->gears) + ". " + kDialKey
                               : "");
    const std::string legend = std::string(kExactMark) + " exact     shaded: more than " +
                               Printed("%g", layout.markAbovePercent) + "% off";
    const double width = size.width - 2 * kMarginX;
    const double height = SetParagraph(type.Title(), title, width) +
                          SetParagraph(type.Body(), lines, width) + kHeadingGap;
    return {size, title, lines, legend, height, FitColumns(type, Columns(shape), rows, width)};
}

// Draws the table's head and rows from `top`; returns where it ends.
double DrawTable(cairo_t* cr, const Typesetter& type, const std::vector<Column>& columns,
                 const Table& table, double top) {
    const double width = Width(columns);
    top += kTableGap;
    SetLine(type.ListTitle(), ListTitle(table.list), width);
    Show(cr, type.ListTitle(), kMarginX, top + 9.0);
    top += kListTitleHeight;
    double left = kMarginX;
    for (const Column& column : columns) {
        ShowCell(cr, type.ColumnHead(), column.title, left, column, top + 8.0);
        left += column.width;
    }
    cairo_rectangle(cr, kMarginX, top + kColumnHeadHeight - 1.0, width, kRule);
    cairo_fill(cr);
    top += kColumnHeadHeight;
    for (const Row& row : table.rows) {
        if (row.shaded) {
            cairo_set_source_rgb(cr, kShade, kShade, kShade);
            cairo_rectangle(cr, kMarginX, top, width, kRowPitch);
            cairo_fill(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
        }
        // A thread's later trains leave its name out, unless they open a page.
        const bool named = row.firstOfThread || &row == &table.rows.front();
        left = kMarginX;
        for (std::size_t i = 0; i < row.cells.size(); ++i) {
            ShowCell(cr, type.Cell(), i < 2 && !named ? "" : row.cells[i], left, columns[i],
                     top + kRowBaseline);
            left += columns[i].width;
        }
        if (!row.note.empty()) {
            ShowCell(cr, type.Cell(), row.note, left, {"", width - (left - kMarginX), Align::Left},
                     top + kRowBaseline);
        }
        top += kRowPitch;
    }
    return top;
}

void DrawPage(cairo_t* cr, const Typesetter& type, const Frame& frame, const Page& page, int number,
              int count) {
    const double width = frame.size.width - 2 * kMarginX;
    double top = kMarginY;
    top += SetParagraph(type.Title(), frame.title, width);
    Show(cr, type.Title(), kMarginX, kMarginY + Points(pango_layout_get_baseline(type.Title())));
    SetParagraph(type.Body(), frame.heading, width);
    Show(cr, type.Body(), kMarginX, top + Points(pango_layout_get_baseline(type.Body())));
    top = kMarginY + frame.headingHeight;
    for (const Table& table : page) {
        top = DrawTable(cr, type, frame.columns, table, top);
    }
    const double footer = frame.size.height - kMarginY - 3.0;
    SetLine(type.Body(), frame.legend, width);
    Show(cr, type.Body(), kMarginX, footer);
    const std::string numbering = "Page " + std::to_string(number) + " of " + std::to_string(count);
    Show(cr, type.Body(), kMarginX + width - SetLine(type.Body(), numbering, width), footer);
}

cairo_status_t AppendTo(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// PDF pages are pages; SVG has none, so its pages stand one below the other
// in one picture.
Surface MakeSurface(OutputFormat format, PageSize size, std::size_t pages, std::string& document) {
    if (format == OutputFormat::Svg) {
        return Surface(cairo_svg_surface_create_for_stream(
            AppendTo, &document, size.width, size.height * static_cast<double>(pages)));
    }
    return Surface(
        cairo_pdf_surface_create_for_stream(AppendTo, &document, size.width, size.height));
}

std::string Reason(int error) {
    return error != 0 ? std::string(": ") + std::strerror(error) : std::string();
}

std::string CannotWrite(const std::string& path, int error) {
    return "cannot write '" + path + "'" + Reason(error);
}

// Standard output redirected to a file that is also named as the target is
// written through, so the redirection keeps pointing at what was written.
bool IsStandardStream(const struct stat& target) {
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat stream;
        if (fstat(fd, &stream) == 0 && stream.st_dev == target.st_dev &&
            stream.st_ino == target.st_ino) {
            return true;
        }
    }
    return false;
}

std::string WriteInPlace(const std::string& path, const std::string& document) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return CannotWrite(path, errno);
    }
    if (!WriteWhole(fd, document)) {
        const int error = errno;
        close(fd);
        return CannotWrite(path, error);
    }
    return close(fd) == 0 ? std::string() : CannotWrite(path, errno);
}

} // namespace

std::string WriteDocument(const std::string& path, const std::string& document, std::ostream& out) {
    if (path == "-") {
        // Standard output is checked, as for every output, when the run ends.
        out.write(document.data(), static_cast<std::streamsize>(document.size()));
        return std::string();
    }
    struct stat target;
    if (stat(path.c_str(), &target) == 0 &&
        (!S_ISREG(target.st_mode) || IsStandardStream(target))) {
        return WriteInPlace(path, document);
    }
    // No folder is made up for a mistyped path, nor for a link's target.
    return SaveFileAtomically(path, document, false) ? std::string() : CannotWrite(path, errno);
}

// cairo numbers its surfaces across the whole process and names the SVG's
// group by that number, so a program that draws several charts would write
// another file for the same chart than one that draws a single chart.
void NameAsFirstSurface(std::string& svg) {
    const std::string group = "<g id=\"surface";
    const std::size_t at = svg.find(group);
    if (at == std::string::npos) {
        return;
    }
    const std::size_t digits = at + group.size();
    svg.replace(digits, svg.find('"', digits) - digits, "1");
}

bool RenderChartDocument(const std::vector<ChartEntry>& chart, const ChartSetting& setting,
                         OutputFormat format, const DocumentLayout& layout, std::string& document,
                         std::string& error) {
    const Typesetter type;
    const Shape shape = ShapeOf(chart, setting);
    const std::vector<Row> rows = Rows(chart, shape, layout.markAbovePercent);
    const Frame frame = MakeFrame(type, setting, layout, shape, rows);
    const double room = frame.size.height - 2 * kMarginY - frame.headingHeight - kFooterHeight;
    const std::vector<Page> pages = Paginate(rows, room);
    document.clear();
    const Surface surface = MakeSurface(format, frame.size, pages.size(), document);
    const Cairo cr(cairo_create(surface.get()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        cairo_save(cr.get());
        if (format == OutputFormat::Svg) {
            cairo_translate(cr.get(), 0.0, frame.size.height * static_cast<double>(i));
        }
        DrawPage(cr.get(), type, frame, pages[i], static_cast<int>(i + 1),
                 static_cast<int>(pages.size()));
        cairo_restore(cr.get());
        if (format == OutputFormat::Pdf) {
            cairo_show_page(cr.get());
        }
    }
    cairo_status_t status = cairo_status(cr.get());
    cairo_surface_finish(surface.get());
    if (status == CAIRO_STATUS_SUCCESS) {
        status = cairo_surface_status(surface.get());
    }
    if (status != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(status);
        return false;
    }
    if (format == OutputFormat::Svg) {
        NameAsFirstSurface(document);
    }
    return true;
}

std::string SaveChart(const std::string& path, OutputFormat format,
                      const std::vector<ChartEntry>& chart, const ChartSetting& setting,
                      const DocumentLayout& layout, std::ostream& out) {
    if (format != OutputFormat::Pdf && format != OutputFormat::Svg) {
        std::ostringstream text;
        WriteChart(text, format, chart, setting);
        return WriteDocument(path, text.str(), out);
    }
    std::string document;
    std::string error;
    if (!RenderChartDocument(chart, setting, format, layout, document, error)) {
        return "cannot draw the chart: " + error;
    }
    return WriteDocument(path, document, out);
}
