// What the printed chart and the train drawing share of cairo and pango:
// the page's look, owning handles, and text set the same way in both, so
// that a PDF and an SVG of either set the same lines.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>

// The printed page's look, in points: its margins, the weight of its rules
// and the grey of its shading.
constexpr double kMarginX = 28.0;
constexpr double kMarginY = 24.0;
constexpr double kRule = 0.6;
constexpr double kShade = 0.82;

template <typename T, void (*Free)(T*)> struct Deleter {
    void operator()(T* object) const { Free(object); }
};
inline void UnrefObject(void* object) {
    g_object_unref(object);
}
using Cairo = std::unique_ptr<cairo_t, Deleter<cairo_t, cairo_destroy>>;
using Surface = std::unique_ptr<cairo_surface_t, Deleter<cairo_surface_t, cairo_surface_destroy>>;
using Context = std::unique_ptr<PangoContext, Deleter<void, UnrefObject>>;
using Layout = std::unique_ptr<PangoLayout, Deleter<void, UnrefObject>>;

// At 72 dpi, so that a point is a unit of the page, with glyphs placed
// unhinted and unrounded so that PDF and SVG set the same lines at the
// font's own spacing.
inline Context PageTextContext() {
    Context context(pango_font_map_create_context(pango_cairo_font_map_get_default()));
    pango_cairo_context_set_resolution(context.get(), 72.0);
    pango_context_set_round_glyph_positions(context.get(), FALSE);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context.get(), options);
    cairo_font_options_destroy(options);
    return context;
}

// A layout in `context` set in `font` ("Sans Bold 9").
inline Layout LayoutInFont(PangoContext* context, const char* font) {
    Layout layout(pango_layout_new(context));
    PangoFontDescription* description = pango_font_description_from_string(font);
    pango_layout_set_font_description(layout.get(), description);
    pango_font_description_free(description);
    return layout;
}
