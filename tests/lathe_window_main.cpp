// Starts the toolkit once for the lathe window's tests; a dialog that no
// test expected fails the test and is cancelled rather than waiting forever.
// The print dialog, run by the toolkit itself, is answered at its level.
#include "lathe_window_print.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/modalhook.h>

#include <cstdio>

namespace {

class UnexpectedDialogHook : public wxModalDialogHook {
protected:
    int Enter(wxDialog* dialog) override {
        if (PrintToFile::Answers(dialog)) {
            return wxID_NONE;
        }
        ADD_FAILURE() << "unexpected dialog: " << dialog->GetTitle();
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& message) {
    ADD_FAILURE_AT(file.c_str(), line) << "wxWidgets assert in " << func << ": " << cond << message;
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "cannot start wxWidgets (is there a display?)\n");
        return 1;
    }
    wxSetAssertHandler(FailOnAssert);
    UnexpectedDialogHook unexpectedDialogs;
    unexpectedDialogs.Register();
    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    return result;
}
