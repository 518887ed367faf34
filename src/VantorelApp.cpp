#include "VantorelApp.h"

#include "VantorelMain.h"

#include <wx/image.h>
#include <wx/stdpaths.h>

#include <csignal>

wxIMPLEMENT_APP(VantorelApp);

namespace {

// The toolkit calls this from its event loop, not from inside the signal, so
// closing the window here is exactly the user's close: the settings are saved
// once and the program ends normally. Signals that follow while it closes
// change nothing.
void CloseOnSignal(int) {
    static bool closing = false;
    if (closing) {
        return;
    }
    closing = true;
    if (wxWindow* window = wxTheApp->GetTopWindow()) {
        window->Close(true);
        // The closed window is destroyed when the loop next goes idle; a
        // signal alone would not make it do so.
        wxTheApp->WakeUpIdle();
    }
}

} // namespace

// The base class's OnInit is not called on purpose: it would parse the
// command line, and the window takes no arguments.
bool VantorelApp::OnInit() {
    // Settings follow the desktop's convention: $XDG_CONFIG_HOME/vantorel.conf.
    wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
    wxInitAllImageHandlers();
    VantorelFrame* frame = new VantorelFrame(nullptr, wxID_ANY);
    frame->Show(true);
    SetTopWindow(frame);
    // Logging out, kill and Ctrl+C or a closed terminal must not lose the
    // gears typed in this session. The handlers go in once the main loop
    // runs: installed earlier, the toolkit never gets to call them.
    CallAfter([this] {
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            SetSignalHandler(signal, CloseOnSignal);
        }
    });
    return true;
}
