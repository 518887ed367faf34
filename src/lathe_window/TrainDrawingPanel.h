// The selected train drawn to scale beside the chart: the PDF page that
// `vantorel-cli draw` writes, rendered once and painted to fit the panel,
// or a note when there is nothing to draw.
#pragma once

#include "lathe/banjo.h"

#include <wx/panel.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TrainDrawingPanel : public wxPanel {
public:
    explicit TrainDrawingPanel(wxWindow* parent);
    ~TrainDrawingPanel() override;

    // `gears` as RenderTrainDrawing takes them; cairo's reason shows as a
    // note if the drawing cannot be made.
    void ShowTrain(const Banjo& banjo, const std::vector<std::int64_t>& gears);
    void ShowNote(const wxString& note);

    // The PDF shown, empty while a note is shown.
    const std::string& Drawing() const { return m_pdf; }
    const wxString& Note() const { return m_note; }

private:
    struct Document;
    void OnPaint();

    std::string m_pdf;
    std::unique_ptr<Document> m_document;
    wxString m_note;
};
