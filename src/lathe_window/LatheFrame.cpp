#include "lathe_window/LatheFrame.h"

#include "core/atomic_file.h"
#include "core/gearcalc.h"
#include "lathe/report.h"
#include "lathe_window/ChartPrintout.h"
#include "lathe_window/ChartTableModel.h"
#include "lathe_window/ProfileDialog.h"
#include "lathe_window/TrainDrawingPanel.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dataview.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;

namespace {

enum { ID_EXPORT = wxID_HIGHEST + 1, ID_EDIT, ID_FIND };

const char* const kTitle = "Vantorel Lathe";
const char* const kLicence =
    "Copyright (c) 2026 The Vantorel developers.\nReleased under the MIT License.";

wxString FromUtf8(const std::string& text) {
    return wxString::FromUTF8(text);
}

wxString EntryLabel(const ProfileEntry& entry) {
    switch (entry.source) {
    case ProfileSource::Installed:
        return FromUtf8(entry.name) + " (installed)";
    case ProfileSource::Unsaved:
        return FromUtf8(entry.name.empty() ? "new lathe" : entry.name) + " (not saved)";
    default:
        return FromUtf8(entry.name);
    }
}

// Every profile `vantorel-cli lathes` lists: the user's first, so that an
// installed one of the same name is hidden, and none that cannot be loaded.
std::vector<ProfileEntry> FindProfiles(const LatheDirectories& dirs) {
    std::map<std::string, ProfileEntry> found;
    const std::pair<const std::string&, ProfileSource> places[] = {
        {dirs.user, ProfileSource::User}, {dirs.system, ProfileSource::Installed}};
    for (const auto& [dir, source] : places) {
        std::error_code error;
        for (const auto& file : fs::directory_iterator(dir, error)) {
            const std::string name = file.path().stem().string();
            if (file.path().extension() != ".json" || !IsLatheName(name) || found.count(name)) {
                continue;
            }
            try {
                LoadLathe(dir + "/" + name + ".json", dirs);
                found.emplace(name, ProfileEntry{name, dir + "/" + name + ".json", source});
            } catch (const LatheProfileError&) {
            }
        }
    }
    std::vector<ProfileEntry> entries;
    for (const auto& [name, entry] : found) {
        entries.push_back(entry);
    }
    return entries;
}

} // namespace

LatheFrame::LatheFrame(const LatheDirectories& dirs, const std::string& settingsPath)
    : wxFrame(nullptr, wxID_ANY, kTitle, wxDefaultPosition, wxSize(1000, 720)), m_dirs(dirs),
      m_settingsPath(settingsPath) {
    MakeMenus();
    auto* panel = new wxPanel(this);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(MakeProfileRow(panel), 0, wxEXPAND | wxALL, 6);
    top->Add(MakeListRow(panel), 0, wxEXPAND | wxLEFT | wxRIGHT, 6);
    m_table = new wxDataViewCtrl(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                 wxDV_SINGLE | wxDV_ROW_LINES, wxDefaultValidator, "chart");
    m_model = new ChartTableModel;
    m_table->AssociateModel(m_model);
    m_model->DecRef(); // the table owns it now
    const char* titles[kColumnCount] = {"List", "Thread", "Wanted", "Gearbox", "A",   "B",
                                        "C",    "D",      "E",      "F",       "Cut", "Error %"};
    for (unsigned column = 0; column < kColumnCount; ++column) {
        m_table->AppendTextColumn(titles[column], column, wxDATAVIEW_CELL_INERT,
                                  wxCOL_WIDTH_AUTOSIZE,
                                  column >= kAColumn ? wxALIGN_RIGHT : wxALIGN_LEFT,
                                  wxDATAVIEW_COL_SORTABLE | wxDATAVIEW_COL_RESIZABLE);
    }
    m_drawing = new TrainDrawingPanel(panel);
    auto* middle = new wxBoxSizer(wxHORIZONTAL);
    middle->Add(m_table, 3, wxEXPAND | wxRIGHT, 6);
    middle->Add(m_drawing, 2, wxEXPAND);
    top->Add(middle, 3, wxEXPAND | wxALL, 6);
    top->Add(MakeThreadRow(panel), 0, wxEXPAND | wxLEFT | wxRIGHT, 6);
    m_best = new wxListBox(panel, wxID_ANY, wxDefaultPosition, wxSize(-1, 120), 0, nullptr, 0,
                           wxDefaultValidator, "best");
    m_best->SetFont(wxFont(wxFontInfo().Family(wxFONTFAMILY_TELETYPE)));
    top->Add(m_best, 1, wxEXPAND | wxALL, 6);
    panel->SetSizer(top);
    BindCommands();
    ApplySettings(LoadLatheWindowSettings(m_settingsPath));
}

LatheFrame::~LatheFrame() {
    m_chartJob.Stop();
    m_bestJob.Stop();
    KeepSettings();
}

void LatheFrame::MakeMenus() {
    auto* file = new wxMenu;
    file->Append(wxID_NEW, "&New lathe...\tCtrl+N");
    file->Append(wxID_OPEN, "&Open...\tCtrl+O");
    file->Append(wxID_SAVE, "&Save\tCtrl+S");
    file->Append(wxID_SAVEAS, "Save &As...");
    file->AppendSeparator();
    file->Append(ID_EXPORT, "&Export...\tCtrl+E");
    file->Append(wxID_PREVIEW, "Print Pre&view...");
    file->Append(wxID_PRINT, "&Print...\tCtrl+P");
    file->AppendSeparator();
    file->Append(wxID_EXIT, "&Quit\tCtrl+Q");
    auto* lathe = new wxMenu;
    lathe->Append(ID_EDIT, "&Edit...");
    lathe->Append(wxID_DELETE, "&Delete");
    auto* help = new wxMenu;
    help->Append(wxID_ABOUT, "&About");
    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(lathe, "&Lathe");
    bar->Append(help, "&Help");
    SetMenuBar(bar);
}

wxSizer* LatheFrame::MakeProfileRow(wxWindow* panel) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticText(panel, wxID_ANY, "Lathe:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 5);
    m_profiles = new wxChoice(panel, wxID_ANY, wxDefaultPosition, wxSize(260, -1), 0, nullptr, 0,
                              wxDefaultValidator, "profile");
    row->Add(m_profiles, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 5);
    const std::pair<int, const char*> buttons[] = {
        {wxID_NEW, "New..."},        {ID_EDIT, "Edit..."},    {wxID_SAVE, "Save"},
        {wxID_SAVEAS, "Save As..."}, {wxID_DELETE, "Delete"}, {wxID_OPEN, "Open..."}};
    for (const auto& [id, label] : buttons) {
        row->Add(new wxButton(panel, id, label), 0, wxRIGHT, 3);
    }
    return row;
}

wxSizer* LatheFrame::MakeListRow(wxWindow* panel) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    for (const ThreadList& list : BuiltInThreadLists()) {
        auto* box = new wxCheckBox(panel, wxID_ANY, list.name, wxDefaultPosition, wxDefaultSize, 0,
                                   wxDefaultValidator, "list-" + list.name);
        box->SetToolTip(FromUtf8(list.description));
        box->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { StartChart(); });
        m_lists.push_back(box);
        row->Add(box, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    }
    row->AddStretchSpacer();
    row->Add(new wxStaticText(panel, wxID_ANY, "Shade more than"), 0, wxALIGN_CENTER_VERTICAL);
    m_shade = new wxSpinCtrlDouble(panel, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                                   wxSP_ARROW_KEYS, 0.0, 100.0, 0.5, 0.1, "shade");
    m_shade->SetDigits(2);
    m_shade->Bind(wxEVT_SPINCTRLDOUBLE,
                  [this](wxSpinDoubleEvent&) { m_model->SetShadePercent(m_shade->GetValue()); });
    row->Add(m_shade, 0, wxLEFT | wxRIGHT, 4);
    row->Add(new wxStaticText(panel, wxID_ANY, "% off"), 0, wxALIGN_CENTER_VERTICAL);
    return row;
}

wxSizer* LatheFrame::MakeThreadRow(wxWindow* panel) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    m_progress = new wxGauge(panel, wxID_ANY, 1000, wxDefaultPosition, wxSize(160, -1));
    m_progress->Hide();
    row->Add(m_progress, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    m_status = new wxStaticText(panel, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, 0, "status");
    row->Add(m_status, 1, wxALIGN_CENTER_VERTICAL);
    row->Add(new wxStaticText(panel, wxID_ANY, "Thread:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    const wxString types[] = {"tpi", "mm", "DP", "module"};
    m_threadType = new wxChoice(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 4, types, 0,
                                wxDefaultValidator, "thread-type");
    m_threadType->SetSelection(0);
    m_threadValue = new wxTextCtrl(panel, ID_FIND, "", wxDefaultPosition, wxSize(90, -1),
                                   wxTE_PROCESS_ENTER, wxDefaultValidator, "thread");
    m_bestCount = new wxSpinCtrl(panel, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                                 wxSP_ARROW_KEYS, 1, kMaxTrains - 1, 5, "best-count");
    row->Add(m_threadType, 0, wxRIGHT, 4);
    row->Add(m_threadValue, 0, wxRIGHT, 4);
    row->Add(new wxButton(panel, ID_FIND, "Find"), 0, wxRIGHT, 10);
    row->Add(new wxStaticText(panel, wxID_ANY, "Best"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    row->Add(m_bestCount);
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(row, 0, wxEXPAND);
    m_bestTitle =
        new wxStaticText(panel, wxID_ANY, "Select a row, or type a thread, for its best trains.");
    column->Add(m_bestTitle, 0, wxTOP, 6);
    return column;
}

void LatheFrame::BindCommands() {
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { New(); }, wxID_NEW);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Edit(); }, ID_EDIT);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Save(); }, wxID_SAVE);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { SaveAs(); }, wxID_SAVEAS);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Delete(); }, wxID_DELETE);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Print(); }, wxID_PRINT);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { PrintPreview(); }, wxID_PREVIEW);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, wxID_EXIT);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { AskOpen(); }, wxID_OPEN);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { AskExport(); }, ID_EXPORT);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { About(); }, wxID_ABOUT);
    // The buttons beside the lathe do what the menu items of their ids do.
    Bind(wxEVT_BUTTON, [this](wxCommandEvent& event) {
        wxCommandEvent command(wxEVT_MENU, event.GetId());
        ProcessWindowEvent(command);
    });
    m_profiles->Bind(wxEVT_CHOICE,
                     [this](wxCommandEvent& event) { SelectProfile(event.GetSelection()); });
    m_threadValue->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { FindThread(); });
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { FindThread(); }, ID_FIND);
    m_table->Bind(wxEVT_DATAVIEW_SELECTION_CHANGED, &LatheFrame::OnRowSelected, this);
    m_best->Bind(wxEVT_LISTBOX,
                 [this](wxCommandEvent& event) { OnBestSelected(event.GetSelection()); });
}

wxCheckBox* LatheFrame::ListBox(const std::string& list) const {
    for (wxCheckBox* box : m_lists) {
        if (box->GetLabel() == list) {
            return box;
        }
    }
    return nullptr;
}

std::vector<std::string> LatheFrame::ChosenLists() const {
    std::vector<std::string> names;
    for (wxCheckBox* box : m_lists) {
        if (box->GetValue()) {
            names.push_back(box->GetLabel().utf8_string());
        }
    }
    return names;
}

DocumentLayout LatheFrame::Layout() const {
    DocumentLayout layout;
    layout.markAbovePercent = m_shade->GetValue();
    return layout;
}

void LatheFrame::Refuse(const wxString& message) {
    wxMessageBox(message, "Error", wxOK | wxICON_ERROR, this);
}

// The entries found on disk, then the files opened and an unsaved profile
// if it is the one shown.
void LatheFrame::LoadEntries() {
    std::vector<ProfileEntry> kept;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const ProfileSource source = m_entries[i].source;
        if (source == ProfileSource::File ||
            (source == ProfileSource::Unsaved && static_cast<int>(i) == m_current)) {
            kept.push_back(m_entries[i]);
        }
    }
    m_entries = FindProfiles(m_dirs);
    m_entries.insert(m_entries.end(), kept.begin(), kept.end());
    m_profiles->Clear();
    for (const ProfileEntry& entry : m_entries) {
        m_profiles->Append(EntryLabel(entry));
    }
    m_current = -1;
}

void LatheFrame::SelectEntry(const std::string& name) {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].name == name) {
            SelectProfile(static_cast<int>(i));
            return;
        }
    }
    SelectProfile(m_entries.empty() ? -1 : 0);
}

void LatheFrame::SelectProfile(int index) {
    if (index < 0 || index >= static_cast<int>(m_entries.size())) {
        m_entries.push_back({"", "", ProfileSource::Unsaved});
        m_profiles->Append(EntryLabel(m_entries.back()));
        index = static_cast<int>(m_entries.size()) - 1;
    }
    const ProfileEntry& entry = m_entries[index];
    LatheProfile profile;
    if (entry.source != ProfileSource::Unsaved) {
        try {
            profile = LoadLathe(entry.path, m_dirs);
        } catch (const LatheProfileError& error) {
            Refuse(FromUtf8(error.what()));
        }
    } else if (index == m_current) {
        profile = m_profile;
    }
    m_current = index;
    m_profiles->SetSelection(index);
    ShowProfile(profile);
}

void LatheFrame::ShowProfile(const LatheProfile& profile) {
    m_profile = profile;
    std::string refusal;
    m_inputs = ChartInputsOf(profile, refusal);
    m_status->SetLabel(FromUtf8(refusal));
    const bool own = m_current >= 0 && m_entries[m_current].source == ProfileSource::User;
    GetMenuBar()->Enable(wxID_DELETE, own);
    if (wxWindow* button = FindWindow(wxID_DELETE)) {
        button->Enable(own);
    }
    StartChart();
}

void LatheFrame::New() {
    ProfileDialog dialog(this, "New lathe", LatheProfile());
    if (dialog.ShowModal() != wxID_OK) {
        return;
    }
    m_current = -1; // drops an unsaved profile shown before
    LoadEntries();
    m_entries.push_back({dialog.Profile().name, "", ProfileSource::Unsaved});
    m_profiles->Append(EntryLabel(m_entries.back()));
    m_current = static_cast<int>(m_entries.size()) - 1;
    m_profiles->SetSelection(m_current);
    ShowProfile(dialog.Profile());
}

void LatheFrame::Open(const std::string& path) {
    const std::string file = fs::absolute(path).string();
    try {
        LoadLathe(file, m_dirs);
    } catch (const LatheProfileError& error) {
        Refuse(FromUtf8(error.what()));
        return;
    }
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].path == file) {
            SelectProfile(static_cast<int>(i));
            return;
        }
    }
    m_entries.push_back({file, file, ProfileSource::File});
    m_profiles->Append(EntryLabel(m_entries.back()));
    SelectProfile(static_cast<int>(m_entries.size()) - 1);
}

void LatheFrame::AskOpen() {
    wxFileDialog dialog(this, "Open a lathe profile", "", "", "Lathe profiles (*.json)|*.json",
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() == wxID_OK) {
        Open(dialog.GetPath().utf8_string());
    }
}

// Installed profiles and files opened are read-only: their edits are saved
// under a name of the user's.
void LatheFrame::Edit() {
    ProfileDialog dialog(this, "Edit lathe", m_profile);
    if (dialog.ShowModal() != wxID_OK) {
        return;
    }
    const ProfileSource source =
        m_current >= 0 ? m_entries[m_current].source : ProfileSource::Unsaved;
    ShowProfile(dialog.Profile());
    if (source == ProfileSource::Installed || source == ProfileSource::File) {
        SaveAs();
    }
}

bool LatheFrame::Save() {
    const bool own = m_current >= 0 && m_entries[m_current].source == ProfileSource::User &&
                     m_entries[m_current].name == m_profile.name;
    return own ? SaveNamed(m_profile.name) : SaveAs();
}

bool LatheFrame::SaveAs() {
    wxTextEntryDialog dialog(this, "Save the lathe as (letters, digits, - _ .):", "Save As",
                             FromUtf8(IsLatheName(m_profile.name) ? m_profile.name : ""));
    if (dialog.ShowModal() != wxID_OK) {
        return false;
    }
    const std::string name = dialog.GetValue().utf8_string();
    if (!IsLatheName(name)) {
        Refuse("--save: invalid name '" + FromUtf8(name) + "'");
        return false;
    }
    const bool same = m_current >= 0 && m_entries[m_current].source == ProfileSource::User &&
                      m_entries[m_current].name == name;
    std::error_code error;
    if (!same && fs::exists(m_dirs.user + "/" + name + ".json", error) &&
        wxMessageBox("Replace your lathe '" + FromUtf8(name) + "'?", "Save As",
                     wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION, this) != wxYES) {
        return false;
    }
    return SaveNamed(name);
}

bool LatheFrame::SaveNamed(const std::string& name) {
    LatheProfile profile = m_profile;
    profile.name = name;
    try {
        SaveLathe(profile, m_dirs, true);
    } catch (const LatheSaveError& error) {
        Refuse(FromUtf8(error.what()));
        return false;
    }
    if (m_current >= 0 && m_entries[m_current].source == ProfileSource::Unsaved) {
        m_entries.erase(m_entries.begin() + m_current);
    }
    m_current = -1;
    LoadEntries();
    SelectEntry(name);
    return true;
}

void LatheFrame::Delete() {
    if (m_current < 0 || m_entries[m_current].source != ProfileSource::User) {
        return;
    }
    const ProfileEntry entry = m_entries[m_current];
    if (wxMessageBox("Delete your lathe '" + FromUtf8(entry.name) + "'? Its file " +
                         FromUtf8(entry.path) + " is removed.",
                     "Delete", wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION, this) != wxYES) {
        return;
    }
    std::error_code error;
    if (!fs::remove(entry.path, error)) {
        Refuse("cannot remove " + FromUtf8(entry.path) + ": " + error.message());
        return;
    }
    LoadEntries();
    SelectEntry(entry.name);
}

void LatheFrame::About() {
    wxMessageBox(wxString::Format("Vantorel Lathe %s\n\nThreading charts, gearboxes and lathe "
                                  "profiles for screw-cutting lathes.\n\n%s",
                                  VANTOREL_VERSION, kLicence),
                 "About Vantorel Lathe", wxOK | wxICON_INFORMATION, this);
}

// Any change of input comes here: the work still running is cancelled, and
// what it found is never shown.
void LatheFrame::StartChart() {
    m_bestJob.Cancel();
    m_best->Clear();
    m_bestTrains.clear();
    DrawTrain(nullptr);
    m_chart.clear();
    m_model->Clear();
    m_computing = false;
    m_progress->Hide();
    const std::vector<const ThreadList*> lists = ListsNamed(ChosenLists());
    if (!m_inputs || lists.empty()) {
        m_chartJob.Cancel();
        if (m_inputs) {
            m_status->SetLabel("Choose a thread list.");
        }
        return;
    }
    m_computing = true;
    m_progress->SetValue(0);
    m_progress->Show();
    m_status->SetLabel("Working...");
    m_progress->GetParent()->Layout();
    m_chartJob.Start([this, lists, inputs = *m_inputs](const std::atomic<bool>& cancelled,
                                                       const BackgroundJob::Post& post) {
        auto chart = BuildChartUnlessCancelled(
            lists, inputs, 1, cancelled, [this, &post](std::size_t done, std::size_t total) {
                post([this, done, total] { ShowProgress(done, total); });
            });
        if (chart) {
            post([this, found = std::move(*chart)] { ShowChart(found); });
        }
    });
}

void LatheFrame::ShowProgress(std::size_t done, std::size_t total) {
    m_progress->SetValue(static_cast<int>(1000 * done / std::max<std::size_t>(total, 1)));
    m_status->SetLabel(wxString::Format("%zu of %zu threads", done, total));
}

void LatheFrame::ShowChart(std::vector<ChartEntry> chart) {
    m_chart = std::move(chart);
    m_model->Show(m_chart, m_shade->GetValue());
    m_computing = false;
    m_progress->Hide();
    m_status->SetLabel(wxString::Format("%zu threads", m_chart.size()));
    m_progress->GetParent()->Layout();
}

void LatheFrame::OnRowSelected(wxDataViewEvent& event) {
    if (!event.GetItem().IsOk()) {
        return;
    }
    const ChartEntry& entry = m_chart[m_model->Row(m_model->GetRow(event.GetItem())).entry];
    DrawTrain(entry.trains.empty() ? nullptr : &entry.trains.front());
    StartBest(entry.desiredTpi, entry.thread.type,
              "Best trains for " + FromUtf8(entry.thread.name + " (" + WantedText(entry.thread)) +
                  "):");
}

void LatheFrame::OnBestSelected(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < m_bestTrains.size()) {
        DrawTrain(&m_bestTrains[static_cast<std::size_t>(index)]);
    }
}

// The drawing is made here, on a change of selection or profile, and only
// painted after that.
void LatheFrame::DrawTrain(const ReportedTrain* train) {
    if (!m_profile.banjo) {
        m_drawing->ShowNote(
            "This lathe has no banjo: give one in Edit...\nto see its trains drawn.");
    } else if (train == nullptr) {
        m_drawing->ShowNote("Select a row to see its best train drawn.");
    } else {
        m_drawing->ShowTrain(*m_profile.banjo, GearsOfTrain(*train));
    }
}

void LatheFrame::FindThread() {
    const ::ThreadType types[] = {ThreadType::SAE, ThreadType::Metric, ThreadType::DP,
                                  ThreadType::Modulus};
    const ::ThreadType type = types[std::max(m_threadType->GetSelection(), 0)];
    double value = 0.0;
    const std::string typed = m_threadValue->GetValue().utf8_string();
    if (!ParseMeasure(typed, &value) || !IsUsableMeasure(value) ||
        !IsUsableMeasure(ThreadToTpi(type, value))) {
        m_bestJob.Cancel();
        m_best->Clear();
        m_bestTrains.clear();
        m_bestTitle->SetLabel("Nothing to convert!");
        return;
    }
    StartBest(ThreadToTpi(type, value), type,
              "Best trains for " + FromUtf8(typed) + " " + m_threadType->GetStringSelection() +
                  ":");
}

// The best trains of one thread over every gearbox position, listed as the
// command line prints them.
void LatheFrame::StartBest(double desiredTpi, ::ThreadType type, const wxString& title) {
    m_best->Clear();
    m_bestTrains.clear();
    m_bestTitle->SetLabel(title);
    if (!m_inputs) {
        m_bestJob.Cancel();
        return;
    }
    const int show = m_bestCount->GetValue();
    m_bestJob.Start([this, inputs = *m_inputs, desiredTpi, type,
                     show](const std::atomic<bool>&, const BackgroundJob::Post& post) {
        std::unique_ptr<BanjoCheck> banjo;
        const auto trains = SearchGearbox(desiredTpi, inputs.leadsTpi, inputs.gears, show,
                                          SearchRules(inputs, banjo), inputs.pairs);
        std::stringstream text;
        const auto& dial = inputs.setting.dial;
        WriteTrains(text, OutputFormat::Text, trains, desiredTpi, type, dial ? &*dial : nullptr);
        wxArrayString lines;
        std::string line;
        while (std::getline(text, line)) {
            lines.push_back(FromUtf8(line));
        }
        if (lines.empty()) {
            lines.push_back("no train of these gears fits");
        }
        post([this, lines, trains] {
            m_best->Set(lines);
            m_bestTrains = trains;
        });
    });
}

void LatheFrame::Export(const std::string& path) {
    const std::pair<const char*, OutputFormat> formats[] = {{".pdf", OutputFormat::Pdf},
                                                            {".svg", OutputFormat::Svg},
                                                            {".csv", OutputFormat::Csv},
                                                            {".json", OutputFormat::Json}};
    const std::string extension = fs::path(path).extension().string();
    for (const auto& [ending, format] : formats) {
        if (extension == ending) {
            std::ostringstream unused; // the path is never "-" here
            const std::string failure =
                SaveChart(path, format, m_chart, m_inputs->setting, Layout(), unused);
            if (!failure.empty()) {
                Refuse(FromUtf8(failure));
            }
            return;
        }
    }
    Refuse("Export writes .pdf, .svg, .csv or .json files, not '" + FromUtf8(path) + "'");
}

bool LatheFrame::ChartReady() {
    if (m_inputs && !m_computing && !m_chart.empty()) {
        return true;
    }
    Refuse(m_computing ? "The chart is not finished yet." : "There is no chart to export.");
    return false;
}

void LatheFrame::AskExport() {
    if (!ChartReady()) {
        return;
    }
    wxFileDialog dialog(
        this, "Export the chart", "", "chart.pdf",
        "PDF (*.pdf)|*.pdf|SVG (*.svg)|*.svg|CSV (*.csv)|*.csv|JSON (*.json)|*.json",
        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) {
        return;
    }
    fs::path path = dialog.GetPath().utf8_string();
    const char* endings[] = {".pdf", ".svg", ".csv", ".json"};
    if (path.extension().empty()) {
        path += endings[std::clamp(dialog.GetFilterIndex(), 0, 3)];
    }
    Export(path.string());
}

std::string LatheFrame::ChartPdf() {
    if (!ChartReady()) {
        return {};
    }
    std::string pdf;
    std::string error;
    if (!RenderChartDocument(m_chart, m_inputs->setting, OutputFormat::Pdf, Layout(), pdf, error)) {
        Refuse("cannot draw the chart: " + FromUtf8(error));
        return {};
    }
    return pdf;
}

void LatheFrame::Print() {
    const std::string pdf = ChartPdf();
    if (pdf.empty()) {
        return;
    }
    wxPrintDialogData data(m_printData);
    wxPrinter printer(&data);
    ChartPrintout printout(pdf);
    if (printer.Print(this, &printout, true)) {
        m_printData = printer.GetPrintDialogData().GetPrintData();
    } else if (wxPrinter::GetLastError() == wxPRINTER_ERROR) {
        Refuse("The chart could not be printed.");
    }
}

// The preview prints from its own button with the second printout, as the
// toolkit's preview requires.
wxPreviewFrame* LatheFrame::PrintPreview() {
    const std::string pdf = ChartPdf();
    if (pdf.empty()) {
        return nullptr;
    }
    wxPrintDialogData data(m_printData);
    auto* preview = new wxPrintPreview(new ChartPrintout(pdf), new ChartPrintout(pdf), &data);
    if (!preview->IsOk()) {
        delete preview;
        Refuse("The chart could not be previewed.");
        return nullptr;
    }
    auto* frame = new wxPreviewFrame(preview, this, "Print Preview", GetPosition(), GetSize());
    frame->Initialize();
    frame->Show();
    return frame;
}

void LatheFrame::ApplySettings(const LatheWindowSettings& settings) {
    for (wxCheckBox* box : m_lists) {
        const std::string name = box->GetLabel().utf8_string();
        box->SetValue(std::find(settings.lists.begin(), settings.lists.end(), name) !=
                      settings.lists.end());
    }
    m_shade->SetValue(settings.shadePercent);
    if (settings.place) {
        const wxRect place(settings.place->x, settings.place->y, settings.place->width,
                           settings.place->height);
        // A place on a screen no longer there would hide the window.
        if (wxDisplay::GetFromPoint(place.GetTopLeft()) != wxNOT_FOUND) {
            SetSize(place);
        }
    }
    LoadEntries();
    std::error_code error;
    if (settings.profile.find('/') != std::string::npos && fs::exists(settings.profile, error)) {
        Open(settings.profile);
        if (m_current >= 0) {
            return;
        }
    }
    SelectEntry(settings.profile);
}

void LatheFrame::KeepSettings() const {
    LatheWindowSettings settings;
    if (m_current >= 0 && m_entries[m_current].source != ProfileSource::Unsaved) {
        settings.profile = m_entries[m_current].name;
    }
    settings.lists = ChosenLists();
    settings.shadePercent = m_shade->GetValue();
    if (!IsMaximized() && !IsIconized()) {
        const wxRect place = GetRect();
        settings.place = WindowPlace{place.x, place.y, place.width, place.height};
    }
    SaveLatheWindowSettings(m_settingsPath, settings);
}
