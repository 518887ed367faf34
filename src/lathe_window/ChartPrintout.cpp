#include "lathe_window/ChartPrintout.h"

#include <wx/dc.h>

#include <cairo.h>
#include <poppler.h>

struct ChartPrintout::Document {
    PopplerDocument* pdf = nullptr;
    ~Document() {
        if (pdf != nullptr) {
            g_object_unref(pdf);
        }
    }
};

ChartPrintout::ChartPrintout(std::string pdf)
    : wxPrintout("Threading chart"), m_pdf(std::move(pdf)), m_document(new Document) {
    GBytes* bytes = g_bytes_new_static(m_pdf.data(), m_pdf.size());
    m_document->pdf = poppler_document_new_from_bytes(bytes, nullptr, nullptr);
    g_bytes_unref(bytes);
}

ChartPrintout::~ChartPrintout() = default;

int ChartPrintout::PageCount() const {
    return m_document->pdf != nullptr ? poppler_document_get_n_pages(m_document->pdf) : 0;
}

bool ChartPrintout::OnBeginDocument(int startPage, int endPage) {
    return PageCount() > 0 && wxPrintout::OnBeginDocument(startPage, endPage);
}

void ChartPrintout::GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo) {
    *minPage = *pageFrom = 1;
    *maxPage = *pageTo = PageCount();
}

bool ChartPrintout::HasPage(int page) {
    return page >= 1 && page <= PageCount();
}

// The paper in the units of the context drawn on: the printer's pixels when
// printing, but in a preview the smaller pixels of the page's picture.
wxRect2DDouble ChartPrintout::PaperOnContext() const {
    const wxRect paper = GetPaperRectPixels();
    int pageWidth = 0;
    int pageHeight = 0;
    GetPageSizePixels(&pageWidth, &pageHeight);
    const wxSize context = GetDC()->GetSize();
    const double x = pageWidth > 0 ? static_cast<double>(context.x) / pageWidth : 1.0;
    const double y = pageHeight > 0 ? static_cast<double>(context.y) / pageHeight : 1.0;
    return {paper.x * x, paper.y * y, paper.width * x, paper.height * y};
}

// The PDF page, in points, is scaled to fill the paper as it would when the
// PDF is printed.
bool ChartPrintout::OnPrintPage(int page) {
    wxDC* dc = GetDC();
    auto* cr = dc != nullptr ? static_cast<cairo_t*>(dc->GetImpl()->GetCairoContext()) : nullptr;
    PopplerPage* pdfPage =
        HasPage(page) ? poppler_document_get_page(m_document->pdf, page - 1) : nullptr;
    if (cr == nullptr || pdfPage == nullptr) {
        if (pdfPage != nullptr) {
            g_object_unref(pdfPage);
        }
        return false;
    }
    double width = 0.0;
    double height = 0.0;
    poppler_page_get_size(pdfPage, &width, &height);
    const wxRect2DDouble paper = PaperOnContext();
    cairo_save(cr);
    cairo_translate(cr, paper.m_x, paper.m_y);
    cairo_scale(cr, paper.m_width / width, paper.m_height / height);
    poppler_page_render_for_printing(pdfPage, cr);
    cairo_restore(cr);
    g_object_unref(pdfPage);
    return true;
}
