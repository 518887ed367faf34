// The settings loader on arbitrary settings files, in a real window (run it
// under an X server, e.g. xvfb-run). After loading, the window must be in a
// state it could have reached by hand, and saving then loading again must
// give back the same state.
#include "window/VantorelMain.h"

#include <wx/app.h>
#include <wx/config.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/spinctrl.h>
#include <wx/stdpaths.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string g_settingsPath;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken after loading: %s\n", what);
        std::abort();
    }
}

// The window's state as text, checked on the way: gears canonical, above 0
// and ascending, one button checked in each radio group, show within 1..99.
std::string LoadedState() {
    delete wxConfigBase::Set(nullptr); // read the file anew
    auto* frame = new VantorelFrame(nullptr, wxID_ANY);
    const auto find = [frame](const char* name) { return wxWindow::FindWindowByName(name, frame); };
    std::string state;
    long previous = 1;
    for (const wxString& item : static_cast<wxListBox*>(find("ID_LISTBOX1"))->GetStrings()) {
        long teeth = 0;
        Require(item.ToLong(&teeth, 10) && teeth >= previous, "gears not whole, above 0, in order");
        Require(item == wxString::Format("%ld", teeth), "a gear not in canonical form");
        previous = teeth;
        state += item + ",";
    }
    int checked[2] = {0, 0};
    for (int i = 1; i <= 6; ++i) {
        const auto* radio =
            static_cast<wxRadioButton*>(find(wxString::Format("ID_RADIOBUTTON%d", i)));
        checked[i / 5] += radio->GetValue();
        state += radio->GetValue() ? "x" : "o";
    }
    Require(checked[0] == 1 && checked[1] == 1, "not one button checked in each group");
    const int show = static_cast<wxSpinCtrl*>(find("ID_SPINCTRL1"))->GetValue();
    Require(show >= 1 && show <= 99, "number to show out of range");
    delete frame; // saves, as closing the window does
    return state + std::to_string(show);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    char pattern[] = "/tmp/vantorel-fuzz-XXXXXX";
    const std::string directory = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", directory.c_str(), 1);
    g_settingsPath = directory + "/vantorel.conf";
    wxApp::SetInstance(new wxApp);
    Require(wxEntryStart(*argc, *argv), "no display for wxWidgets");
    wxTheApp->SetAppName("vantorel");
    wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
    wxSetAssertHandler([](const wxString&, int, const wxString&, const wxString& cond,
                          const wxString&) { Require(false, cond.utf8_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ofstream(g_settingsPath, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const std::string loaded = LoadedState();
    // An empty gear list is stored as none, which gives the defaults back.
    const bool noGears = loaded.find(',') == std::string::npos;
    Require(LoadedState() == loaded || noGears, "state changed across a save and a load");
    return 0;
}
