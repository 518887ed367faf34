#include "lathe/train_drawing.h"

#include "lathe/cairo_text.h"
#include "lathe/chart_document.h"
#include "lathe/mount_report.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

namespace {

// Measures in points; the margins, rules and grey are the printed chart's.
constexpr double kGap = 8.0;
constexpr double kMinimumWidth = 420.0;
// What a page of A4 leaves for the drawing, in mm.
constexpr double kRoomWidth = 180.0;
constexpr double kRoomHeight = 210.0;
constexpr double kPi = 3.14159265358979323846;

struct Colour {
    double r, g, b;
};
// The two planes, told apart in print and on screen, and the fault.
constexpr Colour kPlanes[2] = {{0.10, 0.30, 0.70}, {0.80, 0.42, 0.00}};
constexpr Colour kFault = {0.85, 0.0, 0.0};
constexpr Colour kBlack = {0.0, 0.0, 0.0};

// Text set as the chart sets it: 72 dpi, unhinted, unrounded, so that PDF
// and SVG agree, in the chart's fonts.
struct Type {
    Context context{PageTextContext()};
    Layout body{MakeLayout("Sans 9")};
    Layout bold{MakeLayout("Sans Bold 9")};
    Layout title{MakeLayout("Sans Bold 13")};

    Layout MakeLayout(const char* font) const { return LayoutInFont(context.get(), font); }
};

double Points(int pangoUnits) {
    return static_cast<double>(pangoUnits) / PANGO_SCALE;
}

// Sets `text` wrapped at `width` points (or in one line, width < 0);
// returns its height.
double Set(PangoLayout* layout, const std::string& text, double width) {
    pango_layout_set_text(layout, text.c_str(), -1);
    pango_layout_set_width(layout, width < 0 ? -1 : static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    int height = 0;
    pango_layout_get_size(layout, nullptr, &height);
    return Points(height);
}

double WidthOf(PangoLayout* layout) {
    int width = 0;
    pango_layout_get_size(layout, &width, nullptr);
    return Points(width);
}

// One gear of the train: on which shaft (0 S, 1 L, 2 and 3 the studs) and
// in which plane.
struct Wheel {
    char letter;
    std::int64_t teeth;
    std::size_t shaft;
    int plane;
};

std::vector<Wheel> WheelsOf(const std::vector<std::int64_t>& gears) {
    if (gears.size() == 3) {
        return {{'A', gears[0], 0, 0}, {'B', gears[1], 2, 0}, {'D', gears[2], 1, 0}};
    }
    if (gears.size() == 4) {
        return {{'A', gears[0], 0, 0},
                {'B', gears[1], 2, 0},
                {'C', gears[2], 2, 1},
                {'D', gears[3], 1, 1}};
    }
    return {{'A', gears[0], 0, 0}, {'B', gears[1], 2, 0}, {'C', gears[2], 2, 1},
            {'D', gears[3], 3, 1}, {'E', gears[4], 3, 0}, {'F', gears[5], 1, 0}};
}

// Each mesh in the order the train turns: the two gears, by their place in
// the train's wheels.
std::vector<std::pair<std::size_t, std::size_t>> MeshesOf(std::size_t gearCount) {
    if (gearCount == 6) {
        return {{0, 1}, {2, 3}, {4, 5}};
    }
    if (gearCount == 4) {
        return {{0, 1}, {2, 3}};
    }
    return {{0, 1}, {1, 2}};
}

struct Scene {
    const Banjo& banjo;
    std::vector<std::int64_t> gears;
    Mounting mounting;
    std::vector<StudPosition> shafts; // S, L, then the studs
    std::vector<Wheel> wheels;
};

// The page's frame: where L is, and points per mm of the lathe.
struct Frame {
    double originX, originY, scale;
    double X(double x) const { return originX + x * scale; }
    double Y(double y) const { return originY - y * scale; }
};

bool HasSlot(const Banjo& banjo) {
    return banjo.slotMin && banjo.slotMax;
}

// The slot is drawn where the studs are, and a little either side.
std::pair<double, double> SlotAngles(const Scene& scene) {
    double low = kPi / 2;
    double high = 0.0;
    for (std::size_t i = 2; i < scene.shafts.size(); ++i) {
        const double angle = std::atan2(scene.shafts[i].y, scene.shafts[i].x);
        low = std::min(low, angle);
        high = std::max(high, angle);
    }
    return {low - kPi / 8, high + kPi / 8};
}

struct Box {
    double left = 0, right = 0, bottom = 0, top = 0;
    void Take(double x, double y, double radius) {
        left = std::min(left, x - radius);
        right = std::max(right, x + radius);
        bottom = std::min(bottom, y - radius);
        top = std::max(top, y + radius);
    }
};

Box BoundsOf(const Scene& scene) {
    Box box;
    for (const StudPosition& shaft : scene.shafts) {
        box.Take(shaft.x, shaft.y, std::max(scene.banjo.studHub, scene.banjo.screwHub));
    }
    for (const Wheel& wheel : scene.wheels) {
        const StudPosition& at = scene.shafts[wheel.shaft];
        box.Take(at.x, at.y, TipRadius(scene.banjo, wheel.teeth));
    }
    if (HasSlot(scene.banjo)) {
        const auto [low, high] = SlotAngles(scene);
        for (double angle = low; angle <= high + 1e-9; angle += (high - low) / 16) {
            box.Take(*scene.banjo.slotMax * std::cos(angle), *scene.banjo.slotMax * std::sin(angle),
                     0.0);
        }
    }
    return box;
}

// The smallest 1, 2, 5, 10, 20, 50, ... that fits the train to the room.
double ScaleDivisor(const Box& box) {
    const double size =
        std::max((box.right - box.left) / kRoomWidth, (box.top - box.bottom) / kRoomHeight);
    double divisor = 1.0;
    for (int step = 0; divisor < size; ++step) {
        divisor *= step % 3 == 1 ? 2.5 : 2.0;
    }
    return divisor;
}

std::string ScaleText(double divisor) {
    return "1:" + Millimetres(divisor);
}

void SetColour(cairo_t* cr, Colour colour) {
    cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
}

void Circle(cairo_t* cr, const Frame& frame, StudPosition at, double radius) {
    cairo_new_path(cr);
    cairo_arc(cr, frame.X(at.x), frame.Y(at.y), radius * frame.scale, 0.0, 2 * kPi);
}

void DrawSlot(cairo_t* cr, const Frame& frame, const Scene& scene, bool failed) {
    if (!HasSlot(scene.banjo)) {
        return;
    }
    const auto [low, high] = SlotAngles(scene);
    // Angles run the other way on the page, whose y points down.
    cairo_new_path(cr);
    cairo_arc_negative(cr, frame.X(0), frame.Y(0), *scene.banjo.slotMax * frame.scale, -low, -high);
    cairo_arc(cr, frame.X(0), frame.Y(0), *scene.banjo.slotMin * frame.scale, -high, -low);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 0.93, 0.93, 0.93);
    cairo_fill_preserve(cr);
    SetColour(cr, failed ? kFault : kBlack);
    cairo_set_line_width(cr, failed ? 2 * kRule : kRule);
    cairo_stroke(cr);
}

void DrawHubs(cairo_t* cr, const Frame& frame, const Scene& scene, const std::string& failed) {
    const double radii[2] = {scene.banjo.studHub, scene.banjo.screwHub};
    const bool faults[2] = {failed.find("stud") != std::string::npos,
                            failed.find("screw") != std::string::npos};
    for (std::size_t i = 0; i < 2; ++i) {
        Circle(cr, frame, scene.shafts[i], radii[i]);
        cairo_set_source_rgb(cr, kShade, kShade, kShade);
        cairo_fill_preserve(cr);
        SetColour(cr, faults[i] ? kFault : kBlack);
        cairo_set_line_width(cr, faults[i] ? 2 * kRule : kRule);
        cairo_stroke(cr);
    }
}

// A gear whose letter the failed constraint names has its tip circle in red.
bool Named(const Wheel& wheel, const std::string& failed) {
    return failed.size() >= 3 && failed[1] == '-' &&
           (failed[0] == wheel.letter || failed[2] == wheel.letter);
}

void DrawWheel(cairo_t* cr, const Frame& frame, const Scene& scene, const Wheel& wheel,
               const std::string& failed) {
    const StudPosition& at = scene.shafts[wheel.shaft];
    SetColour(cr, kPlanes[wheel.plane]);
    cairo_set_line_width(cr, 2 * kRule);
    Circle(cr, frame, at, PitchRadius(scene.banjo, wheel.teeth));
    cairo_stroke(cr);
    const bool fault = Named(wheel, failed);
    const double dash[] = {3.0, 2.0};
    cairo_set_dash(cr, dash, 2, 0.0);
    SetColour(cr, fault ? kFault : kPlanes[wheel.plane]);
    cairo_set_line_width(cr, fault ? 2 * kRule : kRule);
    Circle(cr, frame, at, TipRadius(scene.banjo, wheel.teeth));
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0.0);
}

void ShowAt(cairo_t* cr, PangoLayout* layout, const std::string& text, double x, double y) {
    Set(layout, text, -1);
    cairo_move_to(cr, x - WidthOf(layout) / 2, y - Points(pango_layout_get_baseline(layout)));
    pango_cairo_show_layout(cr, layout);
}

// "A 40" inside its pitch circle: the first plane's gears above the shaft,
// the second's below, so that two gears on one stud keep their labels apart.
void LabelWheel(cairo_t* cr, PangoLayout* layout, const Frame& frame, const Scene& scene,
                const Wheel& wheel) {
    const StudPosition& at = scene.shafts[wheel.shaft];
    const double radius = PitchRadius(scene.banjo, wheel.teeth) * frame.scale;
    const double offset = std::max(radius * 0.55, 10.0);
    SetColour(cr, kPlanes[wheel.plane]);
    ShowAt(cr, layout, std::string(1, wheel.letter) + " " + std::to_string(wheel.teeth),
           frame.X(at.x), frame.Y(at.y) + (wheel.plane == 0 ? -offset + 3.0 : offset + 3.0));
}

// The line between two centres, `length` at its middle: to the left of S-L,
// to the right of a mesh.
void DrawDistance(cairo_t* cr, PangoLayout* layout, const Frame& frame, StudPosition from,
                  StudPosition to, double length, Colour colour, bool left) {
    SetColour(cr, colour);
    cairo_set_line_width(cr, kRule / 2);
    cairo_new_path(cr);
    cairo_move_to(cr, frame.X(from.x), frame.Y(from.y));
    cairo_line_to(cr, frame.X(to.x), frame.Y(to.y));
    cairo_stroke(cr);
    Set(layout, Millimetres(length) + " mm", -1);
    const double x = frame.X((from.x + to.x) / 2) + (left ? -3.0 - WidthOf(layout) : 3.0);
    cairo_move_to(cr, x, frame.Y((from.y + to.y) / 2) - Points(pango_layout_get_baseline(layout)));
    pango_cairo_show_layout(cr, layout);
}

void DrawShafts(cairo_t* cr, PangoLayout* bold, const Frame& frame, const Scene& scene) {
    const std::size_t studs = scene.shafts.size() - 2;
    for (std::size_t i = 0; i < scene.shafts.size(); ++i) {
        const StudPosition& at = scene.shafts[i];
        SetColour(cr, kBlack);
        cairo_new_path(cr);
        cairo_arc(cr, frame.X(at.x), frame.Y(at.y), 1.8, 0.0, 2 * kPi);
        cairo_fill(cr);
        std::string name = i == 0 ? "S" : i == 1 ? "L" : "I";
        if (i >= 2 && studs > 1) {
            name += std::to_string(i - 1);
        }
        Set(bold, name, -1);
        cairo_move_to(cr, frame.X(at.x) + 3.0, frame.Y(at.y) + 1.0);
        pango_cairo_show_layout(cr, bold);
    }
}

// A bar of a round length on the lathe, as long as the scale makes it.
void DrawScaleBar(cairo_t* cr, PangoLayout* body, double left, double baseline, double scale,
                  double divisor) {
    const double length = 20.0 * divisor;
    const double width = length * scale;
    SetColour(cr, kBlack);
    cairo_new_path(cr);
    cairo_rectangle(cr, left, baseline - 4.0, width / 2, 3.0);
    cairo_fill(cr);
    cairo_set_line_width(cr, kRule);
    cairo_rectangle(cr, left, baseline - 4.0, width, 3.0);
    cairo_stroke(cr);
    cairo_move_to(cr, left + width + 4.0, baseline - Points(pango_layout_get_baseline(body)));
    Set(body, Millimetres(length) + " mm     scale " + ScaleText(divisor), -1);
    pango_cairo_show_layout(cr, body);
}

std::string TitleOf(const std::vector<std::int64_t>& gears) {
    std::string title = "Change-gear train";
    const std::vector<Wheel> wheels = WheelsOf(gears);
    for (const Wheel& wheel : wheels) {
        title += std::string(&wheel == &wheels.front() ? " " : ", ") + wheel.letter + " " +
                 std::to_string(wheel.teeth);
    }
    return title;
}

std::string CaptionOf(const Scene& scene) {
    if (scene.mounting.mounts) {
        return "Mounts.";
    }
    const Constraint& failed = *scene.mounting.failed;
    return "Does not mount (" + std::string(failed.name) +
           "): " + FailureSentence(failed, scene.banjo, scene.gears);
}

// Everything the page shows, measured.
struct Page {
    double width, height;
    double textWidth;
    double drawingTop, captionTop, barBaseline;
    double divisor;
    Frame frame;
};

Page Measure(const Type& type, const Scene& scene, const std::string& heading) {
    const Box box = BoundsOf(scene);
    Page page{};
    page.divisor = ScaleDivisor(box);
    const double scale = kPointsPerMillimetre / page.divisor;
    const double drawingWidth = (box.right - box.left) * scale;
    page.width = std::max(kMinimumWidth, drawingWidth + 2 * kMarginX);
    page.textWidth = page.width - 2 * kMarginX;
    page.drawingTop = kMarginY + Set(type.title.get(), TitleOf(scene.gears), page.textWidth) +
                      Set(type.body.get(), heading, page.textWidth) + kGap;
    page.captionTop = page.drawingTop + (box.top - box.bottom) * scale + kGap;
    page.barBaseline =
        page.captionTop + Set(type.bold.get(), CaptionOf(scene), page.textWidth) + kGap + 10.0;
    page.height = page.barBaseline + kMarginY;
    page.frame = {kMarginX + (page.textWidth - drawingWidth) / 2 - box.left * scale,
                  page.drawingTop + box.top * scale, scale};
    return page;
}

void ShowParagraph(cairo_t* cr, PangoLayout* layout, const std::string& text, double width,
                   double top) {
    Set(layout, text, width);
    cairo_move_to(cr, kMarginX, top);
    pango_cairo_show_layout(cr, layout);
}

void DrawTrain(cairo_t* cr, const Type& type, const Page& page, const Scene& scene) {
    const std::string failed = scene.mounting.failed ? scene.mounting.failed->name : "";
    const Frame& frame = page.frame;
    DrawSlot(cr, frame, scene, failed == "slot");
    DrawHubs(cr, frame, scene, failed);
    for (const Wheel& wheel : scene.wheels) {
        DrawWheel(cr, frame, scene, wheel, failed);
    }
    DrawDistance(cr, type.body.get(), frame, scene.shafts[0], scene.shafts[1], scene.banjo.distance,
                 failed == "reach" ? kFault : kBlack, true);
    // A mesh is labelled with the distance its gears need, which is where
    // they stand unless the train does not mount.
    for (const auto& [driving, driven] : MeshesOf(scene.gears.size())) {
        const Wheel& from = scene.wheels[driving];
        const Wheel& to = scene.wheels[driven];
        DrawDistance(cr, type.body.get(), frame, scene.shafts[from.shaft], scene.shafts[to.shaft],
                     CentreDistance(scene.banjo, from.teeth, to.teeth), kBlack, false);
    }
    for (const Wheel& wheel : scene.wheels) {
        LabelWheel(cr, type.bold.get(), frame, scene, wheel);
    }
    DrawShafts(cr, type.bold.get(), frame, scene);
}

void DrawPage(cairo_t* cr, const Type& type, const Page& page, const Scene& scene,
              const std::string& heading) {
    SetColour(cr, kBlack);
    ShowParagraph(cr, type.title.get(), TitleOf(scene.gears), page.textWidth, kMarginY);
    ShowParagraph(cr, type.body.get(), heading, page.textWidth,
                  page.drawingTop - kGap - Set(type.body.get(), heading, page.textWidth));
    DrawTrain(cr, type, page, scene);
    SetColour(cr, scene.mounting.mounts ? kBlack : kFault);
    ShowParagraph(cr, type.bold.get(), CaptionOf(scene), page.textWidth, page.captionTop);
    DrawScaleBar(cr, type.body.get(), kMarginX, page.barBaseline, page.frame.scale, page.divisor);
}

cairo_status_t AppendTo(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

Surface MakeSurface(OutputFormat format, const Page& page, std::string& document) {
    if (format == OutputFormat::Svg) {
        return Surface(
            cairo_svg_surface_create_for_stream(AppendTo, &document, page.width, page.height));
    }
    return Surface(
        cairo_pdf_surface_create_for_stream(AppendTo, &document, page.width, page.height));
}

} // namespace

bool RenderTrainDrawing(const Banjo& banjo, const std::vector<std::int64_t>& gears,
                        OutputFormat format, std::string& document, std::string& error) {
    Scene scene{banjo,
                gears,
                MountTrain(banjo, gears),
                {{0.0, banjo.distance}, {0.0, 0.0}},
                WheelsOf(gears)};
    scene.shafts.insert(scene.shafts.end(), scene.mounting.studs.begin(),
                        scene.mounting.studs.end());
    const std::string heading = "Banjo: " + BanjoText(banjo) +
                                "\nPitch circles solid, tip circles dashed; A:B" +
                                (gears.size() == 6 ? " and E:F" : "") + " in blue" +
                                (gears.size() == 3 ? "" : ", C:D in orange");
    const Type type;
    const Page page = Measure(type, scene, heading);
    document.clear();
    const Surface surface = MakeSurface(format, page, document);
    const Cairo cr(cairo_create(surface.get()));
    DrawPage(cr.get(), type, page, scene, heading);
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

std::string SaveTrainDrawing(const std::string& path, OutputFormat format, const Banjo& banjo,
                             const std::vector<std::int64_t>& gears, std::ostream& out) {
    std::string document;
    std::string error;
    if (!RenderTrainDrawing(banjo, gears, format, document, error)) {
        return "cannot draw the train: " + error;
    }
    return WriteDocument(path, document, out);
}
