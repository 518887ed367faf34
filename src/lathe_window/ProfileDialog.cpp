#include "lathe_window/ProfileDialog.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/editlbox.h>
#include <wx/grid.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <array>
#include <functional>

namespace {

std::string Text(const wxTextCtrl* control) {
    return control->GetValue().utf8_string();
}

wxString FromUtf8(const std::string& text) {
    return wxString::FromUTF8(text);
}

wxTextCtrl* AddField(wxWindow* parent, wxFlexGridSizer* sizer, const wxString& label,
                     const wxString& name) {
    sizer->Add(new wxStaticText(parent, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
    auto* field = new wxTextCtrl(parent, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, 0,
                                 wxDefaultValidator, name);
    sizer->Add(field, 1, wxEXPAND);
    return field;
}

} // namespace

ProfileDialog::ProfileDialog(wxWindow* parent, const wxString& title, const LatheProfile& profile)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_profile(profile) {
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* nameRow = new wxFlexGridSizer(2, 5, 5);
    nameRow->AddGrowableCol(1);
    m_name = AddField(this, nameRow, "Name:", "name");
    top->Add(nameRow, 0, wxEXPAND | wxALL, 8);
    auto* columns = new wxBoxSizer(wxHORIZONTAL);
    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(MakeLeadFields(), 0, wxEXPAND | wxBOTTOM, 8);
    left->Add(MakeGearboxFields(), 1, wxEXPAND);
    columns->Add(left, 1, wxEXPAND | wxRIGHT, 8);
    m_gears = new wxEditableListBox(this, wxID_ANY, "Change gears (teeth)", wxDefaultPosition,
                                    wxSize(160, 260), wxEL_DEFAULT_STYLE, "gears");
    columns->Add(m_gears, 0, wxEXPAND);
    top->Add(columns, 1, wxEXPAND | wxLEFT | wxRIGHT, 8);
    top->Add(MakeRuleFields(), 0, wxEXPAND | wxALL, 8);
    top->Add(MakeBanjoFields(), 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 8);
    SetSizerAndFit(top);
    Bind(
        wxEVT_BUTTON,
        [this](wxCommandEvent&) {
            if (Accept()) {
                EndModal(wxID_OK);
            }
        },
        wxID_OK);
    SetFields(FieldsOf(profile));
}

wxSizer* ProfileDialog::MakeLeadFields() {
    auto* sizer = new wxFlexGridSizer(3, 5, 5);
    m_useLead = new wxRadioButton(this, wxID_ANY, "Lead screw:", wxDefaultPosition, wxDefaultSize,
                                  wxRB_GROUP, wxDefaultValidator, "use-lead");
    m_leadScrew = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, 0,
                                 wxDefaultValidator, "lead-screw");
    m_unit = new wxChoice(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                          wxArrayString{2, std::array<const char*, 2>{"tpi", "mm"}.data()}, 0,
                          wxDefaultValidator, "lead-unit");
    m_useGearbox =
        new wxRadioButton(this, wxID_ANY, "Gearbox (below), lead screws in that unit",
                          wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator, "use-gearbox");
    sizer->Add(m_useLead, 0, wxALIGN_CENTER_VERTICAL);
    sizer->Add(m_leadScrew, 1, wxEXPAND);
    sizer->Add(m_unit);
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(sizer);
    column->Add(m_useGearbox, 0, wxTOP, 5);
    for (wxRadioButton* radio : {m_useLead, m_useGearbox}) {
        radio->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { ShowLeadOrGearbox(); });
    }
    return column;
}

wxSizer* ProfileDialog::MakeGearboxFields() {
    m_gearbox =
        new wxGrid(this, wxID_ANY, wxDefaultPosition, wxSize(280, 200), wxWANTS_CHARS, "gearbox");
    m_gearbox->CreateGrid(0, 2);
    m_gearbox->SetColLabelValue(0, "Label");
    m_gearbox->SetColLabelValue(1, "Lead screw");
    m_gearbox->SetRowLabelSize(40);
    auto* buttons = new wxBoxSizer(wxVERTICAL);
    const std::pair<const char*, std::function<void()>> actions[] = {
        {"Add", [this] { m_gearbox->AppendRows(1); }},
        {"Remove",
         [this] {
             const int row = m_gearbox->GetGridCursorRow();
             if (row >= 0 && row < m_gearbox->GetNumberRows()) {
                 m_gearbox->DeleteRows(row);
             }
         }},
        {"Up", [this] { MoveGearboxRow(-1); }},
        {"Down", [this] { MoveGearboxRow(1); }},
    };
    for (const auto& [label, action] : actions) {
        auto* button = new wxButton(this, wxID_ANY, label);
        button->Bind(wxEVT_BUTTON, [action = action](wxCommandEvent&) { action(); });
        buttons->Add(button, 0, wxBOTTOM, 4);
    }
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(m_gearbox, 1, wxEXPAND | wxRIGHT, 5);
    sizer->Add(buttons);
    return sizer;
}

wxSizer* ProfileDialog::MakeRuleFields() {
    auto* sizer = new wxFlexGridSizer(4, 5, 5);
    sizer->Add(new wxStaticText(this, wxID_ANY, "Pairs of change gears:"), 0,
               wxALIGN_CENTER_VERTICAL);
    m_pairs = new wxChoice(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                           wxArrayString{2, std::array<const char*, 2>{"2", "3"}.data()}, 0,
                           wxDefaultValidator, "pairs");
    sizer->Add(m_pairs);
    m_clearance = AddField(this, sizer, "Clearance (teeth):", "clearance");
    m_minSum = AddField(this, sizer, "Least sum of a compound train:", "min-sum");
    m_spindleGear = AddField(this, sizer, "Spindle gear (A):", "spindle-gear");
    m_dial = AddField(this, sizer, "Dial gears (TEETH:MARKS,...):", "dial");
    m_dialScrew = AddField(this, sizer, "Dial's lead screw (with a gearbox):", "dial-screw");
    sizer->AddGrowableCol(1);
    sizer->AddGrowableCol(3);
    return sizer;
}

// Empty figures are the command line's defaults; all empty, no banjo.
wxSizer* ProfileDialog::MakeBanjoFields() {
    auto* box = new wxStaticBoxSizer(wxVERTICAL, this, "Banjo (leave empty without one)");
    wxWindow* parent = box->GetStaticBox();
    auto* sizer = new wxFlexGridSizer(4, 5, 5);
    m_banjoPitchKind =
        new wxChoice(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                     wxArrayString{2, std::array<const char*, 2>{"Module", "DP"}.data()}, 0,
                     wxDefaultValidator, "banjo-pitch-kind");
    sizer->Add(m_banjoPitchKind, 0, wxALIGN_CENTER_VERTICAL);
    m_banjoPitch = new wxTextCtrl(parent, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, 0,
                                  wxDefaultValidator, "banjo-pitch");
    sizer->Add(m_banjoPitch, 1, wxEXPAND);
    sizer->Add(new wxStaticText(parent, wxID_ANY, "Lengths in:"), 0, wxALIGN_CENTER_VERTICAL);
    m_banjoUnit = new wxChoice(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                               wxArrayString{2, std::array<const char*, 2>{"mm", "in"}.data()}, 0,
                               wxDefaultValidator, "banjo-unit");
    sizer->Add(m_banjoUnit);
    m_banjoDistance = AddField(parent, sizer, "Stud to lead screw:", "banjo-distance");
    m_margin = AddField(parent, sizer, "Margin:", "banjo-margin");
    m_slotNear = AddField(parent, sizer, "Slot, near end:", "slot-near");
    m_slotFar = AddField(parent, sizer, "Slot, far end:", "slot-far");
    m_studHub = AddField(parent, sizer, "Stud hub radius:", "stud-hub");
    m_screwHub = AddField(parent, sizer, "Lead screw hub radius:", "screw-hub");
    m_backlash = AddField(parent, sizer, "Backlash:", "backlash");
    sizer->AddGrowableCol(1);
    sizer->AddGrowableCol(3);
    box->Add(sizer, 0, wxEXPAND | wxALL, 5);
    return box;
}

void ProfileDialog::MoveGearboxRow(int by) {
    const int row = m_gearbox->GetGridCursorRow();
    const int other = row + by;
    if (row < 0 || other < 0 || other >= m_gearbox->GetNumberRows()) {
        return;
    }
    for (int column = 0; column < 2; ++column) {
        const wxString moved = m_gearbox->GetCellValue(row, column);
        m_gearbox->SetCellValue(row, column, m_gearbox->GetCellValue(other, column));
        m_gearbox->SetCellValue(other, column, moved);
    }
    m_gearbox->SetGridCursor(other, m_gearbox->GetGridCursorCol());
}

void ProfileDialog::ShowLeadOrGearbox() {
    const bool gearbox = m_useGearbox->GetValue();
    m_leadScrew->Enable(!gearbox);
    m_gearbox->Enable(gearbox);
    m_dialScrew->Enable(gearbox);
}

ProfileFields ProfileDialog::Fields() const {
    m_gearbox->SaveEditControlValue();
    ProfileFields fields;
    fields.name = Text(m_name);
    fields.useGearbox = m_useGearbox->GetValue();
    fields.leadScrew = Text(m_leadScrew);
    fields.unit = m_unit->GetSelection() == 1 ? LeadScrewUnit::MM : LeadScrewUnit::TPI;
    for (int row = 0; row < m_gearbox->GetNumberRows(); ++row) {
        fields.gearbox.emplace_back(m_gearbox->GetCellValue(row, 0).utf8_string(),
                                    m_gearbox->GetCellValue(row, 1).utf8_string());
    }
    wxArrayString gears;
    m_gears->GetStrings(gears);
    for (const wxString& gear : gears) {
        fields.gears.push_back(gear.utf8_string());
    }
    fields.pairs = m_pairs->GetSelection() == 1 ? 3 : 2;
    fields.clearance = Text(m_clearance);
    fields.minSum = Text(m_minSum);
    fields.spindleGear = Text(m_spindleGear);
    fields.dial = Text(m_dial);
    fields.dialScrew = Text(m_dialScrew);
    fields.banjoDp = m_banjoPitchKind->GetSelection() == 1;
    fields.banjoInches = m_banjoUnit->GetSelection() == 1;
    const std::pair<std::string*, const wxTextCtrl*> banjo[] = {
        {&fields.banjoPitch, m_banjoPitch}, {&fields.banjoDistance, m_banjoDistance},
        {&fields.slotNear, m_slotNear},     {&fields.slotFar, m_slotFar},
        {&fields.studHub, m_studHub},       {&fields.screwHub, m_screwHub},
        {&fields.margin, m_margin},         {&fields.backlash, m_backlash}};
    for (const auto& [field, control] : banjo) {
        *field = Text(control);
    }
    return fields;
}

void ProfileDialog::SetFields(const ProfileFields& fields) {
    m_name->ChangeValue(FromUtf8(fields.name));
    m_useLead->SetValue(!fields.useGearbox);
    m_useGearbox->SetValue(fields.useGearbox);
    m_leadScrew->ChangeValue(FromUtf8(fields.leadScrew));
    m_unit->SetSelection(fields.unit == LeadScrewUnit::MM ? 1 : 0);
    if (m_gearbox->GetNumberRows() > 0) {
        m_gearbox->DeleteRows(0, m_gearbox->GetNumberRows());
    }
    for (const auto& [label, lead] : fields.gearbox) {
        m_gearbox->AppendRows(1);
        m_gearbox->SetCellValue(m_gearbox->GetNumberRows() - 1, 0, FromUtf8(label));
        m_gearbox->SetCellValue(m_gearbox->GetNumberRows() - 1, 1, FromUtf8(lead));
    }
    wxArrayString gears;
    for (const std::string& gear : fields.gears) {
        gears.push_back(FromUtf8(gear));
    }
    m_gears->SetStrings(gears);
    m_pairs->SetSelection(fields.pairs == 3 ? 1 : 0);
    m_clearance->ChangeValue(FromUtf8(fields.clearance));
    m_minSum->ChangeValue(FromUtf8(fields.minSum));
    m_spindleGear->ChangeValue(FromUtf8(fields.spindleGear));
    m_dial->ChangeValue(FromUtf8(fields.dial));
    m_dialScrew->ChangeValue(FromUtf8(fields.dialScrew));
    m_banjoPitchKind->SetSelection(fields.banjoDp ? 1 : 0);
    m_banjoUnit->SetSelection(fields.banjoInches ? 1 : 0);
    const std::pair<wxTextCtrl*, const std::string&> banjo[] = {
        {m_banjoPitch, fields.banjoPitch}, {m_banjoDistance, fields.banjoDistance},
        {m_slotNear, fields.slotNear},     {m_slotFar, fields.slotFar},
        {m_studHub, fields.studHub},       {m_screwHub, fields.screwHub},
        {m_margin, fields.margin},         {m_backlash, fields.backlash}};
    for (const auto& [control, text] : banjo) {
        control->ChangeValue(FromUtf8(text));
    }
    ShowLeadOrGearbox();
}

bool ProfileDialog::Accept() {
    try {
        m_profile = ProfileOf(Fields());
        return true;
    } catch (const ProfileFieldError& error) {
        wxMessageBox(FromUtf8(error.what()), "Error", wxOK | wxICON_ERROR, this);
        return false;
    }
}
