// Starts the toolkit once for all GUI tests and implements the fixture.
#include "gui_harness.h"

#include "VantorelMain.h"

#include <wx/app.h>
#include <wx/config.h>
#include <wx/log.h>
#include <wx/modalhook.h>
#include <wx/stdpaths.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// A dialog outside any wxTEST_DIALOG would block the run forever.
class UnexpectedDialogHook : public wxModalDialogHook {
protected:
    int Enter(wxDialog* dialog) override {
        ADD_FAILURE() << "unexpected dialog: " << dialog->GetTitle();
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

class RecordingLog : public wxLog {
protected:
    void DoLogTextAtLevel(wxLogLevel level, const wxString& text) override {
        if (level <= wxLOG_Warning) {
            LoggedProblems().push_back(text.ToStdString());
        }
    }
};

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& message) {
    ADD_FAILURE_AT(file.c_str(), line)
        << "wxWidgets assert in " << func << ": " << cond << " " << message;
}

bool ListingOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--gtest_list_tests") {
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<std::string>& LoggedProblems() {
    static std::vector<std::string> problems;
    return problems;
}

void FrameTest::SetUp() {
    char pattern[] = "/tmp/vantorel-gui-XXXXXX";
    storeDirectory = mkdtemp(pattern);
    // The store lives under XDG_CONFIG_HOME; a fresh one per test, and the
    // next Get() creates the store object anew on it.
    setenv("XDG_CONFIG_HOME", (storeDirectory + "/config").c_str(), 1);
    delete wxConfigBase::Set(nullptr);
    LoggedProblems().clear();
}

void FrameTest::TearDown() {
    CloseFrame();
    delete wxConfigBase::Set(nullptr);
    std::system(
        ("chmod -R u+rwx '" + storeDirectory + "'; rm -rf '" + storeDirectory + "'").c_str());
}

void FrameTest::OpenFrame() {
    CloseFrame();
    frame = new VantorelFrame(nullptr, wxID_ANY);
}

void FrameTest::OpenFreshFrame() {
    CloseFrame();
    delete wxConfigBase::Set(nullptr);
    std::remove(SettingsPath().c_str());
    OpenFrame();
}

void FrameTest::CloseFrame() {
    delete frame;
    frame = nullptr;
}

std::string FrameTest::SettingsPath() const {
    return storeDirectory + "/config/vantorel.conf";
}

std::string FrameTest::ReadSettingsFile() const {
    std::ifstream file(SettingsPath(), std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// The store object keeps what it read, so it is dropped to read the new file.
void FrameTest::WriteSettingsFile(const std::string& content) const {
    delete wxConfigBase::Set(nullptr);
    std::system(("mkdir -p '" + storeDirectory + "/config'").c_str());
    std::ofstream(SettingsPath(), std::ios::binary) << content;
}

void FrameTest::Click(wxButton* button) {
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
}

void FrameTest::Choose(wxRadioButton* button) {
    button->SetValue(true);
    wxCommandEvent event(wxEVT_RADIOBUTTON, button->GetId());
    event.SetEventObject(button);
    event.SetInt(1);
    button->ProcessWindowEvent(event);
}

void FrameTest::SetShow(int value) const {
    wxSpinCtrl* spin = spShow();
    spin->SetValue(value);
    wxSpinEvent event(wxEVT_SPINCTRL, spin->GetId());
    event.SetEventObject(spin);
    event.SetPosition(spin->GetValue());
    spin->ProcessWindowEvent(event);
}

void FrameTest::SelectGear(int index) const {
    wxListBox* list = lbGears();
    list->SetSelection(index);
    wxCommandEvent event(wxEVT_LISTBOX, list->GetId());
    event.SetEventObject(list);
    event.SetInt(index);
    list->ProcessWindowEvent(event);
}

void FrameTest::AddGear(const wxString& text) const {
    TypeGear(text);
    Click(bnAdd());
}

void FrameTest::Calculate(const wxString& thread, const wxString& leadScrew) const {
    edThread()->SetValue(thread);
    edLeadScrew()->SetValue(leadScrew);
    Click(bnCalculate());
}

std::vector<std::string> FrameTest::Items(const wxListBox* list) {
    std::vector<std::string> items;
    for (const wxString& item : list->GetStrings()) {
        items.push_back(item.ToStdString());
    }
    return items;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (ListingOnly(argc, argv)) {
        return RUN_ALL_TESTS();
    }
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "cannot start wxWidgets (is there a display?)\n");
        return 1;
    }
    wxTheApp->SetAppName("vantorel");
    wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
    wxSetAssertHandler(FailOnAssert);
    delete wxLog::SetActiveTarget(new RecordingLog);
    UnexpectedDialogHook unexpectedDialogs;
    unexpectedDialogs.Register();
    const int result = RUN_ALL_TESTS();
    unexpectedDialogs.Unregister();
    wxEntryCleanup();
    return result;
}
