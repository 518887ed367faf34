// Drives the real main window without a person: one fixture owns a frame
// built on a private settings store, and helpers send the events the controls
// send. Every modal dialog is intercepted; one nobody expected fails the test
// and is cancelled instead of blocking the run.
#pragma once

#include <gtest/gtest.h>

#include <wx/msgdlg.h>

class StrictDialogHook;
#define wxTEST_DIALOG_HOOK_CLASS StrictDialogHook
#include <wx/testing.h>

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <string>
#include <vector>

#include "VantorelMain.h"

class StrictDialogHook : public wxTestingModalHook {
public:
    StrictDialogHook(const char* file, int line, const char* func)
        : wxTestingModalHook(file, line, func) {}

protected:
    int Enter(wxDialog* dialog) override {
        const int answer = wxTestingModalHook::Enter(dialog);
        return answer == wxID_NONE ? wxID_CANCEL : answer;
    }
    void ReportFailure(const wxString& message) override { ADD_FAILURE() << message; }
};

// An error message box as the window shows it: "Error" caption, OK only, no
// parent window.
class ExpectError : public wxExpectModalBase<wxMessageDialog, ExpectError> {
public:
    explicit ExpectError(const char* message) : m_message(message) {}

protected:
    int OnInvoked(wxMessageDialog* dialog) const override {
        EXPECT_EQ(dialog->GetMessage(), m_message);
        EXPECT_EQ(dialog->GetCaption(), "Error");
        EXPECT_EQ(dialog->GetMessageDialogStyle() & (wxOK | wxCANCEL | wxYES_NO), wxOK);
        EXPECT_EQ(dialog->GetParent(), nullptr);
        return wxID_OK;
    }

private:
    wxString m_message;
};

// Collects what the toolkit logs, so a test can prove no error would have
// reached the user as a log dialog.
std::vector<std::string>& LoggedProblems();

class FrameTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the frame on the current store (destroying any earlier one,
    // which saves its settings as closing the window does).
    void OpenFrame();
    void CloseFrame();
    // A frame on an empty store, as on the first run.
    void OpenFreshFrame();

    std::string SettingsPath() const;
    std::string ReadSettingsFile() const;
    void WriteSettingsFile(const std::string& content) const;

    template <typename Control> Control* Find(const char* name) const {
        auto* control = dynamic_cast<Control*>(wxWindow::FindWindowByName(name, frame));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    wxTextCtrl* edThread() const { return Find<wxTextCtrl>("ID_TEXTCTRL1"); }
    wxTextCtrl* edAdd() const { return Find<wxTextCtrl>("ID_TEXTCTRL2"); }
    wxTextCtrl* edLeadScrew() const { return Find<wxTextCtrl>("ID_TEXTCTRL3"); }
    wxStaticText* stUnits() const { return Find<wxStaticText>("ID_STATICTEXT2"); }
    wxRadioButton* rbSAE() const { return Find<wxRadioButton>("ID_RADIOBUTTON1"); }
    wxRadioButton* rbMetric() const { return Find<wxRadioButton>("ID_RADIOBUTTON2"); }
    wxRadioButton* rbDP() const { return Find<wxRadioButton>("ID_RADIOBUTTON3"); }
    wxRadioButton* rbModulus() const { return Find<wxRadioButton>("ID_RADIOBUTTON4"); }
    wxRadioButton* rbTPI() const { return Find<wxRadioButton>("ID_RADIOBUTTON5"); }
    wxRadioButton* rbMM() const { return Find<wxRadioButton>("ID_RADIOBUTTON6"); }
    wxButton* bnCalculate() const { return Find<wxButton>("ID_BUTTON1"); }
    wxButton* bnDelete() const { return Find<wxButton>("ID_BUTTON2"); }
    wxButton* bnAdd() const { return Find<wxButton>("ID_BUTTON3"); }
    wxListBox* lbGears() const { return Find<wxListBox>("ID_LISTBOX1"); }
    wxListBox* lbResults() const { return Find<wxListBox>("ID_LISTBOX2"); }
    wxSpinCtrl* spShow() const { return Find<wxSpinCtrl>("ID_SPINCTRL1"); }

    // The events the controls send when a person uses them.
    static void Click(wxButton* button);
    static void Choose(wxRadioButton* button);
    void SetShow(int value) const;
    void SelectGear(int index) const;
    void TypeGear(const wxString& text) const { edAdd()->SetValue(text); }
    void AddGear(const wxString& text) const;
    void Calculate(const wxString& thread, const wxString& leadScrew) const;

    static std::vector<std::string> Items(const wxListBox* list);

    VantorelFrame* frame = nullptr;
    std::string storeDirectory;
};
