// Starts the toolkit once for all GUI tests.
#include "gui_fixture.h"

#include <wx/app.h>
#include <wx/log.h>
#include <wx/modalhook.h>
#include <wx/stdpaths.h>

#include <cstdio>

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
    ADD_FAILURE_AT(file.c_str(), line) << "wxWidgets assert in " << func << ": " << cond << message;
}

} // namespace

Lines& LoggedProblems() {
    static Lines problems;
    return problems;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
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
    wxEntryCleanup();
    return result;
}
