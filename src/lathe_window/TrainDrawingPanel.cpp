#include "lathe_window/TrainDrawingPanel.h"

#include "lathe/train_drawing.h"

#include <wx/dcclient.h>

#include <cairo.h>
#include <poppler.h>

#include <algorithm>

struct TrainDrawingPanel::Document {
    PopplerDocument* pdf = nullptr;
    PopplerPage* page = nullptr;
    explicit Document(const std::string& bytes) {
        GBytes* data = g_bytes_new_static(bytes.data(), bytes.size());
        pdf = poppler_document_new_from_bytes(data, nullptr, nullptr);
        g_bytes_unref(data);
        page = pdf != nullptr ? poppler_document_get_page(pdf, 0) : nullptr;
    }
    ~Document() {
        if (page != nullptr) {
            g_object_unref(page);
        }
        if (pdf != nullptr) {
            g_object_unref(pdf);
        }
    }
};

TrainDrawingPanel::TrainDrawingPanel(wxWindow* parent)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxSize(320, -1), wxBORDER_SUNKEN, "drawing") {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnPaint(); });
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        Refresh();
        event.Skip();
    });
}

TrainDrawingPanel::~TrainDrawingPanel() = default;

void TrainDrawingPanel::ShowTrain(const Banjo& banjo, const std::vector<std::int64_t>& gears) {
    std::string pdf;
    std::string error;
    if (!RenderTrainDrawing(banjo, gears, OutputFormat::Pdf, pdf, error)) {
        ShowNote("The train cannot be drawn: " + wxString::FromUTF8(error));
        return;
    }
    // The document reads the bytes where they lie: they move in first.
    m_document.reset();
    m_pdf = std::move(pdf);
    m_document = std::make_unique<Document>(m_pdf);
    m_note.clear();
    Refresh();
}

void TrainDrawingPanel::ShowNote(const wxString& note) {
    m_document.reset();
    m_pdf.clear();
    m_note = note;
    Refresh();
}

// The page, in points, as large as fits the panel and centred in it.
void TrainDrawingPanel::OnPaint() {
    wxPaintDC dc(this);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    const wxSize size = GetClientSize();
    auto* cr = static_cast<cairo_t*>(dc.GetImpl()->GetCairoContext());
    if (m_document == nullptr || m_document->page == nullptr || cr == nullptr) {
        dc.SetTextForeground(*wxBLACK);
        dc.DrawLabel(m_note, wxRect(size).Deflate(8), wxALIGN_CENTER);
        return;
    }
    double width = 0.0;
    double height = 0.0;
    poppler_page_get_size(m_document->page, &width, &height);
    const double scale = std::min(size.x / width, size.y / height);
    cairo_save(cr);
    cairo_translate(cr, (size.x - width * scale) / 2, (size.y - height * scale) / 2);
    cairo_scale(cr, scale, scale);
    poppler_page_render(m_document->page, cr);
    cairo_restore(cr);
}
