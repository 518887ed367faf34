#pragma once

#include <wx/app.h>

#include <memory>

class ModalDialogs;
class wxServerBase;
class wxSingleInstanceChecker;

// The application object: builds and shows the one window; the toolkit ends
// the program when that window is gone. One runs per user and display.
class VantorelApp : public wxApp {
public:
    VantorelApp();
    ~VantorelApp() override;
    bool OnInit() override;
    int OnRun() override;

    // Closes the window as the user would, once whatever modal box is open
    // has been ended.
    void CloseOnSignal();

private:
    bool StartAsOnlyInstance();

    std::unique_ptr<wxSingleInstanceChecker> m_instance;
    std::unique_ptr<wxServerBase> m_raiseServer;
    std::unique_ptr<ModalDialogs> m_dialogs;
    bool m_anotherRunning = false;
    bool m_closing = false;
};

wxDECLARE_APP(VantorelApp);
