// Drives the real main window without a person: one fixture owns a frame
// built on a private settings store, and helpers send the events the controls
// send. Every modal dialog is intercepted: one nobody expected reaches the
// hook of gui_main.cpp, which fails the test and cancels it.
#pragma once

#include <gtest/gtest.h>

#include <wx/msgdlg.h>

#include <wx/testing.h>

#include <wx/button.h>
#include <wx/config.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "shell.h"
#include "window/VantorelMain.h"

// An error message box as the window shows it: "Error" caption, OK only, no
// parent window.
class ExpectError : public wxExpectModalBase<wxMessageDialog, ExpectError> {
public:
    explicit ExpectError(const char* message) : m_message(message) {}

protected:
    int OnInvoked(wxMessageDialog* dialog) const override {
        EXPECT_EQ(dialog->GetMessage() + "|" + dialog->GetCaption(), m_message + "|Error");
        EXPECT_EQ(dialog->GetMessageDialogStyle() & (wxOK | wxCANCEL | wxYES_NO), wxOK);
        EXPECT_EQ(dialog->GetParent(), nullptr);
        return wxID_OK;
    }

private:
    wxString m_message;
};

using Lines = std::vector<std::string>;
inline const Lines kDefaultGears = {"20", "20", "25", "30", "35", "40", "40",
                                    "45", "50", "55", "60", "65", "80", "80"};
// The state of a window on an empty store; see State().
inline const std::string kFirstRun = "20,20,25,30,35,40,40,45,50,55,60,65,80,80, SAE tpi tpi 16 5";
// The radio buttons, by the words the tests use for them.
inline const std::pair<std::string, const char*> kRadios[] = {
    {"SAE", "ID_RADIOBUTTON1"},     {"Metric", "ID_RADIOBUTTON2"}, {"DP", "ID_RADIOBUTTON3"},
    {"Modulus", "ID_RADIOBUTTON4"}, {"tpi", "ID_RADIOBUTTON5"},    {"mm", "ID_RADIOBUTTON6"}};

// What the toolkit logged at warning level or above: none of it may reach
// the user as a log dialog.
Lines& LoggedProblems();

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantorel-gui-XXXXXX";
        store = std::string(mkdtemp(pattern)) + "/config";
        setenv("XDG_CONFIG_HOME", store.c_str(), 1);
        OpenOnStore("true");
    }
    void TearDown() override {
        delete frame; // saves, as closing the window does
        Shell("/", "rm -rf '" + store.substr(0, store.rfind('/')) + "'");
    }
    void Reopen() {
        delete frame;
        frame = new VantorelFrame(nullptr, wxID_ANY);
    }
    // A frame on a store first changed by shell commands run in its
    // directory; gives what they printed. The store object keeps what it
    // read, so it is dropped to read the file anew.
    std::string OpenOnStore(const std::string& commands) {
        delete frame;
        frame = nullptr;
        delete wxConfigBase::Set(nullptr);
        const std::string output = Shell(store, commands);
        LoggedProblems().clear();
        Reopen();
        return output;
    }
    void OpenFresh() { OpenOnStore("rm -f vantorel.conf"); }
    std::string StoredText() const { return Shell(store, "cat vantorel.conf"); }

    template <typename Control> Control* Get(const char* name) const {
        return dynamic_cast<Control*>(wxWindow::FindWindowByName(name, frame));
    }
    wxTextCtrl* edThread() const { return Get<wxTextCtrl>("ID_TEXTCTRL1"); }
    wxTextCtrl* edAdd() const { return Get<wxTextCtrl>("ID_TEXTCTRL2"); }
    wxTextCtrl* edLeadScrew() const { return Get<wxTextCtrl>("ID_TEXTCTRL3"); }
    wxStaticText* stUnits() const { return Get<wxStaticText>("ID_STATICTEXT2"); }
    wxRadioButton* Radio(const char* name) const { return Get<wxRadioButton>(name); }
    wxButton* bnCalculate() const { return Get<wxButton>("ID_BUTTON1"); }
    wxButton* bnDelete() const { return Get<wxButton>("ID_BUTTON2"); }
    wxButton* bnAdd() const { return Get<wxButton>("ID_BUTTON3"); }
    wxListBox* lbGears() const { return Get<wxListBox>("ID_LISTBOX1"); }
    wxListBox* lbResults() const { return Get<wxListBox>("ID_LISTBOX2"); }
    wxSpinCtrl* spShow() const { return Get<wxSpinCtrl>("ID_SPINCTRL1"); }
    // What the store gives a window: "gears, checked-radios unit-label lead show",
    // as "40,50, DP mm DP 2.5 17".
    std::string State() const {
        std::string state;
        for (const std::string& gear : Items(lbGears())) {
            state += gear + ",";
        }
        for (const auto& [word, name] : kRadios) {
            state += Radio(name)->GetValue() ? " " + word : "";
        }
        return state + " " + stUnits()->GetLabel().ToStdString() + " " +
               edLeadScrew()->GetValue().ToStdString() + " " + std::to_string(spShow()->GetValue());
    }

    // The events the controls send when a person uses them.
    static void Send(wxWindow* control, wxEventType type, int value = 0) {
        wxCommandEvent event(type, control->GetId());
        event.SetEventObject(control);
        event.SetInt(value);
        control->ProcessWindowEvent(event);
    }
    static void Click(wxButton* button) { Send(button, wxEVT_BUTTON); }
    // Checks the buttons named, as "DP mm", in the order of the window.
    void Choose(const std::string& words) const {
        for (const auto& [word, name] : kRadios) {
            if ((" " + words + " ").find(" " + word + " ") != std::string::npos) {
                Radio(name)->SetValue(true);
                Send(Radio(name), wxEVT_RADIOBUTTON, 1);
            }
        }
    }
    void SetShow(int value) const {
        spShow()->SetValue(value);
        wxSpinEvent event(wxEVT_SPINCTRL, spShow()->GetId());
        event.SetPosition(spShow()->GetValue());
        spShow()->ProcessWindowEvent(event);
    }
    void SelectGear(int index) const {
        lbGears()->SetSelection(index);
        Send(lbGears(), wxEVT_LISTBOX, index);
    }
    void AddGear(const wxString& text) const {
        edAdd()->SetValue(text);
        Click(bnAdd());
    }
    void KeepGears(unsigned int count) const {
        while (lbGears()->GetCount() > count) {
            lbGears()->Delete(0);
        }
    }
    void Calculate(const wxString& thread, const wxString& leadScrew) const {
        edThread()->SetValue(thread);
        edLeadScrew()->SetValue(leadScrew);
        Click(bnCalculate());
    }
    static Lines Items(const wxListBox* list) {
        Lines items;
        for (const wxString& item : list->GetStrings()) {
            items.push_back(item.ToStdString());
        }
        return items;
    }

    VantorelFrame* frame = nullptr;
    std::string store;
};
