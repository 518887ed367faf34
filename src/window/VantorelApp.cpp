#include "window/VantorelApp.h"

#include "window/VantorelMain.h"

#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/ipc.h>
#include <wx/log.h>
#include <wx/modalhook.h>
#include <wx/snglinst.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#include <dlfcn.h>

#include <algorithm>
#include <csignal>
#include <vector>

wxIMPLEMENT_APP(VantorelApp);

namespace {

const char* const kRaiseTopic = "raise";

// The toolkit runs a native message box in GTK's own loop (gtk_dialog_run)
// and has no call that ends it; GTK, loaded with the toolkit, has one.
void EndNativeDialog(wxDialog* dialog) {
    using Respond = void (*)(void* dialog, int response);
    static const auto respond =
        reinterpret_cast<Respond>(dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
    const int cancel = -6; // GTK_RESPONSE_CANCEL
    if (respond != nullptr && dialog->GetHandle() != nullptr) {
        respond(dialog->GetHandle(), cancel);
    }
}

void CloseTopWindow() {
    if (wxWindow* window = wxTheApp->GetTopWindow()) {
        window->Close(true);
        // The closed window is destroyed when the loop next goes idle; a
        // signal alone would not make it do so.
        wxTheApp->WakeUpIdle();
    }
}

// The one-instance lock and the socket that raises the running window live
// here, named per user and per display.
wxString InstanceDirectory() {
    wxString directory;
    if (!wxGetEnv("XDG_RUNTIME_DIR", &directory) || directory.empty()) {
        directory = wxGetHomeDir();
    }
    return directory;
}

wxString InstanceName() {
    wxString display;
    if (!wxGetEnv("DISPLAY", &display)) {
        wxGetEnv("WAYLAND_DISPLAY", &display);
    }
    display.Replace("/", "_");
    return ".vantorel-" + wxGetUserId() + "-" + display;
}

class RaiseConnection : public wxConnection {
public:
    bool OnExec(const wxString&, const wxString&) override {
        if (auto* frame = dynamic_cast<wxTopLevelWindow*>(wxTheApp->GetTopWindow())) {
            frame->Iconize(false);
            frame->Raise();
        }
        return true;
    }
};

class RaiseServer : public wxServer {
public:
    wxConnectionBase* OnAcceptConnection(const wxString& topic) override {
        return topic == kRaiseTopic ? new RaiseConnection : nullptr;
    }
};

} // namespace

// The modal dialogs that run, innermost last. A window destroyed under a
// running modal box crashes the program when the box ends, so a signal
// ends the boxes first and the window closes once the last has returned.
class ModalDialogs : public wxModalDialogHook {
public:
    bool EndAllThenClose() {
        m_closeWhenEnded = true;
        for (wxDialog* dialog : m_open) {
            if (dialog->IsModal()) {
                dialog->EndModal(wxID_CANCEL);
            } else {
                EndNativeDialog(dialog);
            }
        }
        return !m_open.empty();
    }

protected:
    int Enter(wxDialog* dialog) override {
        m_open.push_back(dialog);
        return wxID_NONE;
    }
    void Exit(wxDialog* dialog) override {
        m_open.erase(std::remove(m_open.begin(), m_open.end(), dialog), m_open.end());
        if (m_open.empty() && m_closeWhenEnded) {
            CloseTopWindow();
        }
    }

private:
    std::vector<wxDialog*> m_open;
    bool m_closeWhenEnded = false;
};

namespace {

const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The toolkit calls this from its event loop, not from inside the signal, so
// closing the window here is exactly the user's close: the settings are saved
// once and the program ends normally.
void OnStopSignal(int) {
    wxGetApp().CloseOnSignal();
}

// The toolkit can take signals only once its loop runs; one that comes while
// the window is being built or shown is noted here and acted on then, rather
// than ending the program unsaved.
volatile std::sig_atomic_t earlyStopSignal = 0;

void NoteEarlyStopSignal(int signal) {
    earlyStopSignal = signal;
}

// Noted from the moment the program's own code first runs, before the
// toolkit starts (which takes a good part of a second on a slow display);
// only a signal while the system still loads the libraries ends it unsaved,
// when nothing has been read yet. A file-size limit makes a write fail
// rather than end the program.
[[maybe_unused]] const bool earlyHandlersInstalled = [] {
    std::signal(SIGXFSZ, SIG_IGN);
    for (int signal : kStopSignals) {
        std::signal(signal, NoteEarlyStopSignal);
    }
    return true;
}();

} // namespace

VantorelApp::VantorelApp() = default;

VantorelApp::~VantorelApp() = default;

// Signals that follow while the window closes change nothing.
void VantorelApp::CloseOnSignal() {
    if (m_closing) {
        return;
    }
    m_closing = true;
    if (!m_dialogs->EndAllThenClose()) {
        CloseTopWindow();
    }
}

// Two windows on one settings store would lose the changes of the one closed
// first; a second start raises the first window instead.
bool VantorelApp::StartAsOnlyInstance() {
    wxLogNull quiet;
    m_instance = std::make_unique<wxSingleInstanceChecker>();
    const wxString socket = InstanceDirectory() + "/" + InstanceName() + ".socket";
    if (!m_instance->Create(InstanceName() + ".lock", InstanceDirectory())) {
        m_instance.reset(); // no lock to be had (a full disk): run unguarded
    } else if (m_instance->IsAnotherRunning()) {
        wxClient client;
        std::unique_ptr<wxConnectionBase> running(
            client.MakeConnection("localhost", socket, kRaiseTopic));
        if (running) {
            running->Execute(kRaiseTopic);
        }
        return false;
    }
    m_raiseServer = std::make_unique<RaiseServer>();
    m_raiseServer->Create(socket);
    return true;
}

// The base class's OnInit is not called on purpose: it would parse the
// command line, and the window takes no arguments.
bool VantorelApp::OnInit() {
    if (!StartAsOnlyInstance()) {
        m_anotherRunning = true;
        return true;
    }
    // Settings follow the desktop's convention: $XDG_CONFIG_HOME/vantorel.conf.
    wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
    wxInitAllImageHandlers();
    m_dialogs = std::make_unique<ModalDialogs>();
    m_dialogs->Register();
    VantorelFrame* frame = new VantorelFrame(nullptr, wxID_ANY);
    frame->Show(true);
    SetTopWindow(frame);
    // Logging out, kill and Ctrl+C or a closed terminal must not lose the
    // gears typed in this session. The handlers go in once the main loop
    // runs: installed earlier, the toolkit never gets to call them.
    CallAfter([this] {
        for (int signal : kStopSignals) {
            SetSignalHandler(signal, OnStopSignal);
        }
        if (earlyStopSignal != 0) {
            CloseOnSignal();
        }
    });
    return true;
}

// A second start has raised the running window and ends with success, as
// desktop programs do, without a window or a word of its own.
int VantorelApp::OnRun() {
    return m_anotherRunning ? 0 : wxApp::OnRun();
}
