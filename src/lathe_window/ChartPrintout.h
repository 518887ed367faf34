// The chart's pages through the toolkit's printing: the very PDF pages the
// export writes, drawn with cairo on the printer's own context.
#pragma once

#include <wx/geometry.h>
#include <wx/print.h>

#include <memory>
#include <string>

class ChartPrintout : public wxPrintout {
public:
    // `pdf` is the chart document, as RenderChartDocument draws it.
    explicit ChartPrintout(std::string pdf);
    ~ChartPrintout() override;

    bool OnBeginDocument(int startPage, int endPage) override;
    void GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo) override;
    bool HasPage(int page) override;
    bool OnPrintPage(int page) override;
    int PageCount() const;

private:
    wxRect2DDouble PaperOnContext() const;

    struct Document;
    std::string m_pdf;
    std::unique_ptr<Document> m_document;
};
