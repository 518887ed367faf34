#include "window/VantorelMain.h"

#include "core/atomic_file.h"
#include "core/gearcalc.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/config.h>
#include <wx/fileconf.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/mstream.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The ids are drawn in this order, so their values rise in this order.
const long VantorelFrame::ID_RADIOBUTTON1 = wxNewId();
const long VantorelFrame::ID_RADIOBUTTON2 = wxNewId();
const long VantorelFrame::ID_RADIOBUTTON3 = wxNewId();
const long VantorelFrame::ID_RADIOBUTTON4 = wxNewId();
const long VantorelFrame::ID_STATICTEXT6 = wxNewId();
const long VantorelFrame::ID_TEXTCTRL3 = wxNewId();
const long VantorelFrame::ID_RADIOBUTTON5 = wxNewId();
const long VantorelFrame::ID_RADIOBUTTON6 = wxNewId();
const long VantorelFrame::ID_STATICTEXT1 = wxNewId();
const long VantorelFrame::ID_TEXTCTRL1 = wxNewId();
const long VantorelFrame::ID_STATICTEXT2 = wxNewId();
const long VantorelFrame::ID_BUTTON1 = wxNewId();
const long VantorelFrame::ID_STATICTEXT3 = wxNewId();
const long VantorelFrame::ID_LISTBOX1 = wxNewId();
const long VantorelFrame::ID_TEXTCTRL2 = wxNewId();
const long VantorelFrame::ID_BUTTON3 = wxNewId();
const long VantorelFrame::ID_BUTTON2 = wxNewId();
const long VantorelFrame::ID_STATICTEXT4 = wxNewId();
const long VantorelFrame::ID_STATICTEXT5 = wxNewId();
const long VantorelFrame::ID_SPINCTRL1 = wxNewId();
const long VantorelFrame::ID_LISTBOX2 = wxNewId();
const long VantorelFrame::ID_PANEL1 = wxNewId();

// Every handler is connected at run time; the table stays empty.
wxBEGIN_EVENT_TABLE(VantorelFrame, wxFrame)
wxEND_EVENT_TABLE()

namespace {

wxString Tr(const char* text) {
    return wxGetTranslation(text);
}

void ShowError(const char* message) {
    wxMessageBox(Tr(message), Tr("Error"), wxOK | wxCENTRE);
}

// A value that parses can still be useless for a calculation (0, negative,
// infinite, not a number); such a value counts as not entered.
bool ReadMeasure(const wxTextCtrl* entry, double* value) {
    return entry->GetValue().ToDouble(value) && IsUsableMeasure(*value);
}

// The toolkit asserts on some malformed lines of a settings file (a line
// with an empty key); in a release build that would be a dialog at start-up
// over a file the user may never have touched.
class AssertsSilenced {
public:
    AssertsSilenced() : m_previous(wxSetAssertHandler(nullptr)) {}
    ~AssertsSilenced() { wxSetAssertHandler(m_previous); }
    AssertsSilenced(const AssertsSilenced&) = delete;
    AssertsSilenced& operator=(const AssertsSilenced&) = delete;

private:
    wxAssertHandler_t m_previous;
};

// The tooth counts of the first `limit` items of the gear list that parse,
// in list order; an item that is not a number cannot be mounted.
std::vector<long> ParsedGears(const wxListBox* list, unsigned int limit) {
    std::vector<long> gears;
    const unsigned int reading = std::min(list->GetCount(), limit);
    for (unsigned int i = 0; i < reading; ++i) {
        long teeth = 0;
        if (list->GetString(i).ToLong(&teeth, 10)) {
            gears.push_back(teeth);
        }
    }
    return gears;
}

// Key of the gear stored at `index`.
wxString GearKey(long index) {
    return wxString::Format("/Gears/%ld", index);
}

// The stored gears with an index below `count`, wherever the gaps in the
// numbering are. Only the keys that exist are visited, so a damaged count
// cannot make the start crawl.
std::vector<long> StoredGears(wxConfigBase* config, long count) {
    std::vector<long> gears;
    config->SetPath("/Gears");
    wxString key;
    long cookie = 0;
    for (bool more = config->GetFirstEntry(key, cookie); more;
         more = config->GetNextEntry(key, cookie)) {
        long index = -1;
        const long teeth = config->ReadLong(key, 0);
        if (key.ToLong(&index, 10) && key == wxString::Format("%ld", index) && index >= 0 &&
            index < count && teeth > 0) {
            gears.push_back(teeth);
        }
    }
    config->SetPath("/");
    return gears;
}

std::string SettingsFilePath() {
    return std::string(
        wxFileConfig::GetLocalFileName(wxTheApp->GetAppName(), wxCONFIG_USE_LOCAL_FILE).fn_str());
}

// The toolkit cannot hold a line with a NUL byte faithfully: saving such a
// store garbles its neighbouring keys. A file holding one is damage, and none
// of it is trusted. Only a regular file is read: a FIFO in its place would
// block the start, and the toolkit reads anything that is not a regular file
// (a directory, a device) as an empty store already.
bool SettingsFileHoldsNul(wxConfigBase* config) {
    if (dynamic_cast<wxFileConfig*>(config) == nullptr || wxTheApp == nullptr) {
        return false;
    }
    const int fd = open(SettingsFilePath().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info;
    char buffer[4096];
    bool holdsNul = false;
    ssize_t count = 0;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    while (regular && !holdsNul && (count = read(fd, buffer, sizeof buffer)) > 0) {
        holdsNul = std::memchr(buffer, '\0', static_cast<std::size_t>(count)) != nullptr;
    }
    close(fd);
    return holdsNul;
}

// In place of a damaged store: an empty one tied to no file, so that the
// defaults show and the file stays as it is until the close saves the
// window's settings over it. A crash or a kill before then loses nothing.
wxConfigBase* ReadNothing() {
    wxMemoryInputStream nothing("", 0);
    wxConfigBase* empty = new wxFileConfig(nothing);
    delete wxConfigBase::Set(empty);
    return empty;
}

// The toolkit would replace the file by deleting it before renaming its new
// copy, with nothing synced: a crash or power cut then costs every setting.
// So the content is taken from the store and put in place atomically; the
// store is left clean, so nothing is written again at exit.
void WriteSettingsFile(wxConfigBase* config) {
    auto* fileConfig = dynamic_cast<wxFileConfig*>(config);
    if (fileConfig == nullptr || wxTheApp == nullptr) {
        return;
    }
    wxMemoryOutputStream stream;
    if (!fileConfig->Save(stream)) {
        return;
    }
    std::string content(stream.GetLength(), '\0');
    stream.CopyTo(content.data(), content.size());
    ReplaceFileAtomically(SettingsFilePath(), content);
}

} // namespace

VantorelFrame::VantorelFrame(wxWindow* parent, wxWindowID id) {
    Create(parent, id, Tr("Vantorel"), wxDefaultPosition, wxDefaultSize,
           wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL, "id");
    CreateControls();
    ConnectHandlers();
    LoadSettings();
}

VantorelFrame::~VantorelFrame() {
    SaveSettings();
}

int VantorelFrame::Dlu(int dialogUnits) const {
    return Panel1->ConvertDialogToPixels(wxSize(dialogUnits, 0)).GetWidth();
}

void VantorelFrame::CreateControls() {
    wxBoxSizer* frameSizer = new wxBoxSizer(wxVERTICAL);
    Panel1 = new wxPanel(this, ID_PANEL1, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL,
                         "ID_PANEL1");
    wxBoxSizer* panelColumn = new wxBoxSizer(wxVERTICAL);
    wxBoxSizer* topRow = new wxBoxSizer(wxHORIZONTAL);
    wxBoxSizer* leftBlock = new wxBoxSizer(wxVERTICAL);

    wxStaticBoxSizer* threadTypeBox =
        new wxStaticBoxSizer(wxHORIZONTAL, Panel1, Tr("Thread Type:"));
    rbSAE = new wxRadioButton(Panel1, ID_RADIOBUTTON1, Tr("&SAE"), wxDefaultPosition, wxDefaultSize,
                              wxRB_GROUP, wxDefaultValidator, "ID_RADIOBUTTON1");
    threadTypeBox->Add(rbSAE, 0, wxTOP | wxBOTTOM | wxRIGHT | wxALIGN_CENTER, 3);
    rbMetric = new wxRadioButton(Panel1, ID_RADIOBUTTON2, Tr("&Metric"), wxDefaultPosition,
                                 wxDefaultSize, 0, wxDefaultValidator, "ID_RADIOBUTTON2");
    threadTypeBox->Add(rbMetric, 0, wxALL | wxALIGN_CENTER, 3);
    rbDP = new wxRadioButton(Panel1, ID_RADIOBUTTON3, Tr("D&P"), wxDefaultPosition, wxDefaultSize,
                             0, wxDefaultValidator, "ID_RADIOBUTTON3");
    threadTypeBox->Add(rbDP, 0, wxALL | wxALIGN_CENTER, 3);
    rbModulus = new wxRadioButton(Panel1, ID_RADIOBUTTON4, Tr("M&odulus"), wxDefaultPosition,
                                  wxDefaultSize, 0, wxDefaultValidator, "ID_RADIOBUTTON4");
    threadTypeBox->Add(rbModulus, 0, wxALL | wxALIGN_CENTER, 3);
    leftBlock->Add(threadTypeBox, 0, 0, Dlu(2));

    wxBoxSizer* leadScrewRow = new wxBoxSizer(wxHORIZONTAL);
    StaticText6 = new wxStaticText(Panel1, ID_STATICTEXT6, Tr("Effective Lead Screw Pitch:"),
                                   wxDefaultPosition, wxDefaultSize, 0, "ID_STATICTEXT6");
    leadScrewRow->Add(StaticText6, 0, wxTOP | wxBOTTOM | wxRIGHT | wxALIGN_CENTER, 2);
    edLeadScrew = new wxTextCtrl(Panel1, ID_TEXTCTRL3, Tr("16"), wxDefaultPosition,
                                 Panel1->ConvertDialogToPixels(wxSize(24, -1)), 0,
                                 wxDefaultValidator, "ID_TEXTCTRL3");
    leadScrewRow->Add(edLeadScrew, 0, wxALL | wxALIGN_CENTER, 2);
    rbTPI = new wxRadioButton(Panel1, ID_RADIOBUTTON5, Tr("tpi"), wxDefaultPosition, wxDefaultSize,
                              wxRB_GROUP, wxDefaultValidator, "ID_RADIOBUTTON5");
    leadScrewRow->Add(rbTPI, 0, wxTOP | wxBOTTOM | wxLEFT | wxALIGN_CENTER, 5);
    rbMM = new wxRadioButton(Panel1, ID_RADIOBUTTON6, Tr("mm"), wxDefaultPosition, wxDefaultSize, 0,
                             wxDefaultValidator, "ID_RADIOBUTTON6");
    leadScrewRow->Add(rbMM, 0, wxALL | wxALIGN_CENTER, 5);
    leftBlock->Add(leadScrewRow, 1, wxTOP, 5);
    topRow->Add(leftBlock, 1, wxEXPAND, Dlu(2));

    wxBoxSizer* rightBlock = new wxBoxSizer(wxVERTICAL);
    wxBoxSizer* desiredThreadRow = new wxBoxSizer(wxHORIZONTAL);
    StaticText1 = new wxStaticText(Panel1, ID_STATICTEXT1, Tr("Desired &Thread:"),
                                   wxDefaultPosition, wxDefaultSize, 0, "ID_STATICTEXT1");
    desiredThreadRow->Add(StaticText1, 0, wxALIGN_CENTER, 4);
    edThread = new wxTextCtrl(Panel1, ID_TEXTCTRL1, wxEmptyString, wxDefaultPosition,
                              Panel1->ConvertDialogToPixels(wxSize(24, -1)), 0, wxDefaultValidator,
                              "ID_TEXTCTRL1");
    desiredThreadRow->Add(edThread, 0, wxLEFT | wxRIGHT | wxALIGN_CENTER, 4);
    stUnits = new wxStaticText(Panel1, ID_STATICTEXT2, Tr("tpi"), wxDefaultPosition,
                               Panel1->ConvertDialogToPixels(wxSize(28, -1)), 0, "ID_STATICTEXT2");
    stUnits->SetMinSize(Panel1->ConvertDialogToPixels(wxSize(28, 8)));
    desiredThreadRow->Add(stUnits, 0, wxALIGN_CENTER, 4);
    rightBlock->Add(desiredThreadRow, 1, wxTOP | wxBOTTOM | wxALIGN_CENTER, 5);
    bnCalculate = new wxButton(Panel1, ID_BUTTON1, Tr("&Calculate"), wxDefaultPosition,
                               wxDefaultSize, 0, wxDefaultValidator, "ID_BUTTON1");
    bnCalculate->SetDefault();
    rightBlock->Add(bnCalculate, 1, wxEXPAND | wxTOP | wxBOTTOM, Dlu(2));
    topRow->Add(rightBlock, 0, wxEXPAND | wxBOTTOM, 2);
    panelColumn->Add(topRow, 0, wxEXPAND | wxTOP | wxLEFT | wxRIGHT, Dlu(5));

    wxBoxSizer* bottomArea = new wxBoxSizer(wxHORIZONTAL);
    wxBoxSizer* gearColumn = new wxBoxSizer(wxVERTICAL);
    wxBoxSizer* gearCaptionRow = new wxBoxSizer(wxHORIZONTAL);
    StaticText3 = new wxStaticText(Panel1, ID_STATICTEXT3, Tr("Available &Gears:"),
                                   wxDefaultPosition, wxDefaultSize, 0, "ID_STATICTEXT3");
    gearCaptionRow->Add(StaticText3, 0, wxALIGN_CENTER_VERTICAL, Dlu(3));
    gearColumn->Add(gearCaptionRow, 0, wxEXPAND | wxTOP | wxBOTTOM, Dlu(3));
    lbGears = new wxListBox(Panel1, ID_LISTBOX1, wxDefaultPosition, wxDefaultSize, 0, nullptr, 0,
                            wxDefaultValidator, "ID_LISTBOX1");
    for (const char* teeth :
         {"20", "20", "25", "30", "35", "40", "40", "45", "50", "55", "60", "65", "80", "80"}) {
        lbGears->Append(Tr(teeth));
    }
    gearColumn->Add(lbGears, 1, wxEXPAND, 0);
    wxBoxSizer* addRow = new wxBoxSizer(wxHORIZONTAL);
    // Enter here adds the gear rather than pressing the default button.
    edAdd = new wxTextCtrl(Panel1, ID_TEXTCTRL2, wxEmptyString, wxDefaultPosition,
                           Panel1->ConvertDialogToPixels(wxSize(18, 12)), wxTE_PROCESS_ENTER,
                           wxDefaultValidator, "ID_TEXTCTRL2");
    addRow->Add(edAdd, 0, wxTOP | wxALIGN_CENTER, Dlu(5));
    bnAdd = new wxButton(Panel1, ID_BUTTON3, Tr("&Add"), wxDefaultPosition, wxDefaultSize, 0,
                         wxDefaultValidator, "ID_BUTTON3");
    bnAdd->Disable();
    addRow->Add(bnAdd, 1, wxTOP | wxLEFT | wxALIGN_CENTER, Dlu(5));
    gearColumn->Add(addRow, 0, wxEXPAND, 5);
    wxBoxSizer* deleteRow = new wxBoxSizer(wxHORIZONTAL);
    bnDelete = new wxButton(Panel1, ID_BUTTON2, Tr("&Delete Gear"), wxDefaultPosition,
                            wxDefaultSize, 0, wxDefaultValidator, "ID_BUTTON2");
    bnDelete->Disable();
    deleteRow->Add(bnDelete, 1, wxTOP | wxALIGN_CENTER, Dlu(5));
    gearColumn->Add(deleteRow, 0, wxEXPAND, 5);
    bottomArea->Add(gearColumn, 1, wxEXPAND | wxRIGHT, Dlu(8));

    wxBoxSizer* resultColumn = new wxBoxSizer(wxVERTICAL);
    wxBoxSizer* resultCaptionRow = new wxBoxSizer(wxHORIZONTAL);
    StaticText4 = new wxStaticText(Panel1, ID_STATICTEXT4, Tr("Best Combinations:"),
                                   wxDefaultPosition, wxDefaultSize, 0, "ID_STATICTEXT4");
    resultCaptionRow->Add(StaticText4, 0, wxALIGN_CENTER_VERTICAL, 5);
    resultCaptionRow->Add(-1, -1, 1, wxALL | wxALIGN_CENTER, 5);
    StaticText5 = new wxStaticText(Panel1, ID_STATICTEXT5, Tr("Number to Show:"), wxDefaultPosition,
                                   wxDefaultSize, 0, "ID_STATICTEXT5");
    resultCaptionRow->Add(StaticText5, 0, wxRIGHT | wxALIGN_CENTER, Dlu(2));
    spShow =
        new wxSpinCtrl(Panel1, ID_SPINCTRL1, "5", wxDefaultPosition,
                       Panel1->ConvertDialogToPixels(wxSize(26, 12)), 0, 1, 99, 5, "ID_SPINCTRL1");
    spShow->SetValue("5");
    // GTK draws the arrows inside the control: at the dialog-unit size alone
    // they would be cut off, so the control may grow to show two digits.
    const wxSize fitted = spShow->GetSizeFromTextSize(spShow->GetTextExtent("99").x);
    spShow->SetMinSize(wxSize(std::max(spShow->GetMinSize().x, fitted.x),
                              std::max(spShow->GetMinSize().y, fitted.y)));
    resultCaptionRow->Add(spShow, 0, wxALIGN_CENTER, 5);
    resultColumn->Add(resultCaptionRow, 0, wxEXPAND, 5);
    lbResults = new wxListBox(Panel1, ID_LISTBOX2, wxDefaultPosition, wxDefaultSize, 0, nullptr, 0,
                              wxDefaultValidator, "ID_LISTBOX2");
    resultColumn->Add(lbResults, 1, wxEXPAND, 5);
    bottomArea->Add(resultColumn, 3, wxEXPAND, 5);
    panelColumn->Add(bottomArea, 1, wxEXPAND | wxALL, Dlu(5));

    Panel1->SetSizer(panelColumn);
    panelColumn->Fit(Panel1);
    panelColumn->SetSizeHints(Panel1);
    frameSizer->Add(Panel1, 1, wxALL | wxALIGN_CENTER, 0);
    SetSizer(frameSizer);
    frameSizer->Fit(this);
    frameSizer->SetSizeHints(this);
}

void VantorelFrame::ConnectHandlers() {
    Connect(ID_RADIOBUTTON1, wxEVT_RADIOBUTTON,
            wxCommandEventHandler(VantorelFrame::OnrbSAESelect));
    Connect(ID_RADIOBUTTON2, wxEVT_RADIOBUTTON,
            wxCommandEventHandler(VantorelFrame::OnrbSAESelect));
    Connect(ID_RADIOBUTTON3, wxEVT_RADIOBUTTON,
            wxCommandEventHandler(VantorelFrame::OnrbSAESelect));
    Connect(ID_RADIOBUTTON4, wxEVT_RADIOBUTTON,
            wxCommandEventHandler(VantorelFrame::OnrbSAESelect));
    Connect(ID_RADIOBUTTON5, wxEVT_RADIOBUTTON,
            wxCommandEventHandler(VantorelFrame::OnrbTPISelect));
    Connect(ID_RADIOBUTTON6, wxEVT_RADIOBUTTON,
            wxCommandEventHandler(VantorelFrame::OnrbTPISelect));
    Connect(ID_BUTTON1, wxEVT_BUTTON, wxCommandEventHandler(VantorelFrame::OnbnCalculateClick));
    Connect(ID_LISTBOX1, wxEVT_LISTBOX, wxCommandEventHandler(VantorelFrame::OnlbGearsSelect));
    Connect(ID_TEXTCTRL2, wxEVT_TEXT, wxCommandEventHandler(VantorelFrame::OnedAddText));
    Connect(ID_BUTTON3, wxEVT_BUTTON, wxCommandEventHandler(VantorelFrame::OnbnAddClick));
    Connect(ID_TEXTCTRL2, wxEVT_TEXT_ENTER, wxCommandEventHandler(VantorelFrame::OnbnAddClick));
    Connect(ID_BUTTON2, wxEVT_BUTTON, wxCommandEventHandler(VantorelFrame::OnbnDeleteClick));
    Connect(ID_SPINCTRL1, wxEVT_SPINCTRL, wxSpinEventHandler(VantorelFrame::OnspShowChange));
}

// The calculation asks Metric, DP and Modulus; SAE is what is left.
ThreadType VantorelFrame::CheckedThreadType() const {
    if (rbMetric->GetValue()) {
        return ThreadType::Metric;
    }
    if (rbDP->GetValue()) {
        return ThreadType::DP;
    }
    if (rbModulus->GetValue()) {
        return ThreadType::Modulus;
    }
    return ThreadType::SAE;
}

// The first of the three checks that fails, or nullptr when a calculation can
// run. A value can pass as typed and still overflow in threads per inch (a
// metric pitch of 1e-320), so the converted values are checked as well.
const char* VantorelFrame::CheckInputs(double* desiredTpi, double* leadTpi) const {
    double desired = 0.0;
    if (!ReadMeasure(edThread, &desired) ||
        !IsUsableMeasure(*desiredTpi = ThreadToTpi(CheckedThreadType(), desired))) {
        return "Nothing to convert!";
    }
    double leadScrew = 0.0;
    const LeadScrewUnit unit = rbMM->GetValue() ? LeadScrewUnit::MM : LeadScrewUnit::TPI;
    if (!ReadMeasure(edLeadScrew, &leadScrew) ||
        !IsUsableMeasure(*leadTpi = LeadScrewToTpi(unit, leadScrew))) {
        return "You must enter a lead screw pitch!";
    }
    if (lbGears->GetCount() < 2) {
        return "Not enough change gears!";
    }
    return nullptr;
}

void VantorelFrame::OnbnCalculateClick(wxCommandEvent&) {
    double desiredTpi = 0.0;
    double leadTpi = 0.0;
    if (const char* problem = CheckInputs(&desiredTpi, &leadTpi)) {
        ShowError(problem);
        return;
    }
    const std::vector<long> parsed = ParsedGears(lbGears, kMaxGears);
    const std::vector<std::int64_t> gears(parsed.begin(), parsed.end());
    const auto table = SearchBestTrains(desiredTpi, leadTpi, gears, spShow->GetValue());
    lbResults->Clear();
    for (const std::string& line : FormatResultLines(table, desiredTpi, CheckedThreadType())) {
        lbResults->Append(wxString::FromUTF8(line));
    }
}

void VantorelFrame::OnspShowChange(wxSpinEvent& event) {
    double desiredTpi = 0.0;
    double leadTpi = 0.0;
    if (CheckInputs(&desiredTpi, &leadTpi) == nullptr) {
        OnbnCalculateClick(event);
    }
}

void VantorelFrame::OnrbSAESelect(wxCommandEvent&) {
    const char* unit = "Modulus";
    if (rbSAE->GetValue()) {
        unit = "tpi";
    } else if (rbMetric->GetValue()) {
        unit = "mm";
    } else if (rbDP->GetValue()) {
        unit = "DP";
    }
    stUnits->SetLabel(Tr(unit));
    lbResults->Clear();
}

void VantorelFrame::OnrbTPISelect(wxCommandEvent&) {
    lbResults->Clear();
}

void VantorelFrame::SortGears() {
    std::vector<long> gears = ParsedGears(lbGears, lbGears->GetCount());
    lbGears->Clear();
    std::sort(gears.begin(), gears.end());
    for (long teeth : gears) {
        lbGears->Append(wxString::Format("%ld", teeth));
    }
}

void VantorelFrame::OnbnAddClick(wxCommandEvent&) {
    const wxString typed = edAdd->GetValue();
    long teeth = 0;
    if (typed.ToLong(&teeth, 10) && teeth > 0) {
        lbGears->Append(typed);
        SortGears();
        wxSpinEvent recalculate(wxEVT_NULL, 0);
        OnspShowChange(recalculate);
    }
    bnAdd->Disable();
    edAdd->Clear();
    edAdd->SetFocus();
}

void VantorelFrame::OnbnDeleteClick(wxCommandEvent&) {
    const int selection = lbGears->GetSelection();
    if (selection != wxNOT_FOUND) {
        lbGears->Delete(static_cast<unsigned int>(selection));
        wxSpinEvent recalculate(wxEVT_NULL, 0);
        OnspShowChange(recalculate);
    }
    bnDelete->Disable();
    lbGears->SetSelection(wxNOT_FOUND);
}

void VantorelFrame::OnlbGearsSelect(wxCommandEvent&) {
    bnDelete->Enable(lbGears->GetSelection() != wxNOT_FOUND);
}

void VantorelFrame::OnedAddText(wxCommandEvent&) {
    bnAdd->Enable(!edAdd->GetValue().empty());
}

void VantorelFrame::LoadSettings() {
    wxCommandEvent noEvent(wxEVT_NULL, 0);
    // A damaged or unreadable store gives defaults, never an error dialog.
    wxLogNull quiet;
    AssertsSilenced calm;
    wxConfigBase* config = wxConfigBase::Get();
    if (SettingsFileHoldsNul(config)) {
        config = ReadNothing();
    }

    const long storedCount = config->ReadLong("/Gears/Count", 0);
    if (storedCount > 0) {
        lbGears->Clear();
        for (long teeth : StoredGears(config, storedCount)) {
            lbGears->Append(wxString::Format("%ld", teeth));
        }
    }
    SortGears();

    switch (config->ReadLong("/Settings/Type", 0)) {
    case 2:
        rbDP->SetValue(true);
        break;
    case 3:
        rbModulus->SetValue(true);
        break;
    case 1:
        rbMetric->SetValue(true);
        break;
    default:
        rbSAE->SetValue(true);
        break;
    }
    OnrbSAESelect(noEvent);

    edLeadScrew->SetValue(RoundTripText(config->ReadDouble("/Settings/LeadScrew", 16.0)));
    if (config->ReadLong("/Settings/LeadScrewType", 0) == 1) {
        rbMM->SetValue(true);
    } else {
        rbTPI->SetValue(true);
    }
    spShow->SetValue(static_cast<int>(
        std::clamp(config->ReadLong("/Settings/Show", 5), 1L, static_cast<long>(kMaxTrains - 1))));
    edThread->SetFocus();
}

void VantorelFrame::SaveSettings() {
    wxLogNull quiet;
    wxConfigBase* config = wxConfigBase::Get();

    long written = 0;
    for (long teeth : ParsedGears(lbGears, lbGears->GetCount())) {
        if (teeth > 0) {
            config->Write(GearKey(written), teeth);
            ++written;
        }
    }
    config->Write("/Gears/Count", written);

    long type = 0;
    if (rbMetric->GetValue()) {
        type = 1;
    } else if (rbDP->GetValue()) {
        type = 2;
    } else if (rbModulus->GetValue()) {
        type = 3;
    }
    config->Write("/Settings/Type", type);

    double leadScrew = 0.0;
    // Infinity is above 0 too, but would come back as a useless lead screw.
    if (edLeadScrew->GetValue().ToDouble(&leadScrew) && IsUsableMeasure(leadScrew)) {
        // With every digit it needs: the toolkit writes a double to six only.
        config->Write("/Settings/LeadScrew", wxString(RoundTripText(leadScrew)));
    }
    config->Write("/Settings/LeadScrewType", rbMM->GetValue() ? 1L : 0L);
    config->Write("/Settings/Show", static_cast<long>(spShow->GetValue()));
    WriteSettingsFile(config);
}
