// The settings loader on arbitrary settings files, in a real window (run it
// under an X server, e.g. xvfb-run). After loading, the window must be in a
// state it could have reached by hand, and saving then loading again must
// give back the same gears.
#include "VantorelMain.h"

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
#include <vector>

namespace {

std::string g_settingsPath;

void AbortOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                   const wxString& message) {
    std::fprintf(
        stderr, "wxWidgets assert at %s:%d in %s: %s %s\n",
        static_cast<const char*>(file.utf8_str()), line, static_cast<const char*>(func.utf8_str()),
        static_cast<const char*>(cond.utf8_str()), static_cast<const char*>(message.utf8_str()));
    std::abort();
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken after loading: %s\n", what);
        std::abort();
    }
}

template <typename Control> Control* Find(wxWindow* frame, const char* name) {
    auto* control = dynamic_cast<Control*>(wxWindow::FindWindowByName(name, frame));
    Check(control != nullptr, name);
    return control;
}

std::vector<long> Gears(wxWindow* frame) {
    std::vector<long> gears;
    const wxListBox* list = Find<wxListBox>(frame, "ID_LISTBOX1");
    for (const wxString& item : list->GetStrings()) {
        long teeth = 0;
        Check(item.ToLong(&teeth, 10) && teeth > 0, "a gear that is not a whole number above 0");
        Check(item == wxString::Format("%ld", teeth), "a gear not in canonical form");
        Check(gears.empty() || gears.back() <= teeth, "gears out of order");
        gears.push_back(teeth);
    }
    return gears;
}

void CheckControls(wxWindow* frame) {
    const int show = Find<wxSpinCtrl>(frame, "ID_SPINCTRL1")->GetValue();
    Check(show >= 1 && show <= 99, "number to show out of range");
    int types = 0;
    for (const char* name :
         {"ID_RADIOBUTTON1", "ID_RADIOBUTTON2", "ID_RADIOBUTTON3", "ID_RADIOBUTTON4"}) {
        types += Find<wxRadioButton>(frame, name)->GetValue();
    }
    Check(types == 1, "not exactly one thread type");
    Check(Find<wxRadioButton>(frame, "ID_RADIOBUTTON5")->GetValue() !=
              Find<wxRadioButton>(frame, "ID_RADIOBUTTON6")->GetValue(),
          "not exactly one lead-screw unit");
}

// The store object keeps what it read; dropping it makes the next window
// read the file anew.
VantorelFrame* OpenOnFreshStore() {
    delete wxConfigBase::Set(nullptr);
    return new VantorelFrame(nullptr, wxID_ANY);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    char pattern[] = "/tmp/vantorel-fuzz-XXXXXX";
    const std::string directory = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", directory.c_str(), 1);
    g_settingsPath = directory + "/vantorel.conf";
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(*argc, *argv)) {
        std::fprintf(stderr, "cannot start wxWidgets (is there a display?)\n");
        std::exit(1);
    }
    wxTheApp->SetAppName("vantorel");
    wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
    wxSetAssertHandler(AbortOnAssert);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ofstream(g_settingsPath, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    VantorelFrame* frame = OpenOnFreshStore();
    CheckControls(frame);
    const std::vector<long> loaded = Gears(frame);
    delete frame; // saves, as closing the window does

    frame = OpenOnFreshStore();
    CheckControls(frame);
    if (!loaded.empty()) {
        Check(Gears(frame) == loaded, "gears changed across a save and a load");
    }
    delete frame;
    return 0;
}
