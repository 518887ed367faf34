// The lathe window: a lathe profile at the top, the threading chart of the
// chosen lists below it, computed off the window's thread, and the best
// trains for one thread under the chart.
#pragma once

#include "lathe/chart_document.h"
#include "lathe/lathe_profile.h"
#include "lathe_window/BackgroundJob.h"
#include "lathe_window/lathe_chart.h"
#include "lathe_window/lathe_window_settings.h"

#include <wx/cmndata.h>
#include <wx/frame.h>

#include <optional>
#include <string>
#include <vector>

class ChartTableModel;
class TrainDrawingPanel;
class wxCheckBox;
class wxChoice;
class wxDataViewCtrl;
class wxDataViewEvent;
class wxGauge;
class wxListBox;
class wxPreviewFrame;
class wxSpinCtrl;
class wxSpinCtrlDouble;
class wxStaticText;
class wxTextCtrl;

// Where the profile shown came from; only the user's own can be saved over
// or deleted.
enum class ProfileSource { User, Installed, File, Unsaved };

struct ProfileEntry {
    std::string name; // a profile name, or a file's path
    std::string path; // empty for an unsaved profile
    ProfileSource source;
};

class LatheFrame : public wxFrame {
public:
    // Profiles are looked for in `dirs`; the settings live in `settingsPath`.
    LatheFrame(const LatheDirectories& dirs, const std::string& settingsPath);
    ~LatheFrame() override;

    // For the tests, and what the menu commands do.
    void New();
    void Open(const std::string& path);
    void Edit();
    bool Save();
    bool SaveAs();
    void Delete();
    void Export(const std::string& path);
    void Print();
    // The preview window it opened, or null when there is no chart to show.
    wxPreviewFrame* PrintPreview();
    void SelectProfile(int index);
    void FindThread();

    const LatheProfile& Profile() const { return m_profile; }
    const std::vector<ProfileEntry>& Entries() const { return m_entries; }
    const std::vector<ChartEntry>& Chart() const { return m_chart; }
    bool IsComputing() const { return m_computing; }
    ChartTableModel* Table() const { return m_model; }
    wxDataViewCtrl* TableView() const { return m_table; }
    wxListBox* BestTrains() const { return m_best; }
    TrainDrawingPanel* Drawing() const { return m_drawing; }
    wxCheckBox* ListBox(const std::string& list) const;
    wxSpinCtrlDouble* ShadePercent() const { return m_shade; }
    wxTextCtrl* ThreadValue() const { return m_threadValue; }
    wxChoice* ThreadType() const { return m_threadType; }
    wxSpinCtrl* BestCount() const { return m_bestCount; }
    wxStaticText* Status() const { return m_status; }
    // Printing starts from these: the print dialog opens on the printer they
    // name, and what was chosen in it is kept for the next print.
    wxPrintData& PrintData() { return m_printData; }
    // The page layout of an exported or printed chart: shaded as the table is.
    DocumentLayout Layout() const;

private:
    void MakeMenus();
    wxSizer* MakeProfileRow(wxWindow* panel);
    wxSizer* MakeListRow(wxWindow* panel);
    wxSizer* MakeThreadRow(wxWindow* panel);
    void BindCommands();
    void LoadEntries();
    void SelectEntry(const std::string& name);
    void ShowProfile(const LatheProfile& profile);
    void Refuse(const wxString& message);
    void StartChart();
    void ShowChart(std::vector<ChartEntry> chart);
    void ShowProgress(std::size_t done, std::size_t total);
    void StartBest(double desiredTpi, ::ThreadType type, const wxString& title);
    void OnRowSelected(wxDataViewEvent& event);
    void OnBestSelected(int index);
    void DrawTrain(const ReportedTrain* train);
    void ApplySettings(const LatheWindowSettings& settings);
    void KeepSettings() const;
    std::vector<std::string> ChosenLists() const;
    void AskOpen();
    void AskExport();
    void About();
    bool SaveNamed(const std::string& name);
    bool ChartReady();
    std::string ChartPdf();

    LatheDirectories m_dirs;
    std::string m_settingsPath;
    std::vector<ProfileEntry> m_entries;
    int m_current = -1;
    LatheProfile m_profile;
    std::optional<ChartInputs> m_inputs;
    std::vector<ChartEntry> m_chart;
    bool m_computing = false;
    BackgroundJob m_chartJob{this};
    BackgroundJob m_bestJob{this};
    wxPrintData m_printData;

    wxChoice* m_profiles;
    std::vector<wxCheckBox*> m_lists;
    wxSpinCtrlDouble* m_shade;
    wxGauge* m_progress;
    wxStaticText* m_status;
    wxDataViewCtrl* m_table;
    ChartTableModel* m_model;
    wxChoice* m_threadType;
    wxTextCtrl* m_threadValue;
    wxSpinCtrl* m_bestCount;
    wxStaticText* m_bestTitle;
    wxListBox* m_best;
    std::vector<ReportedTrain> m_bestTrains; // in the order m_best lists them
    TrainDrawingPanel* m_drawing;
};
