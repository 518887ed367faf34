// vantorel-lathe: the lathe window as a program of its own.
#include "lathe_window/LatheFrame.h"

#include <wx/app.h>
#include <wx/stdpaths.h>

class LatheApp : public wxApp {
public:
    bool OnInit() override {
        if (!wxApp::OnInit()) {
            return false;
        }
        SetAppName("vantorel-lathe");
        SetAppDisplayName("Vantorel Lathe");
        auto* frame = new LatheFrame(DefaultLatheDirectories(), LatheWindowSettingsPath());
        frame->Show();
        return true;
    }
};

wxIMPLEMENT_APP(LatheApp);
