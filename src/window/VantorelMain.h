#pragma once

#include <wx/frame.h>

class wxButton;
class wxListBox;
class wxPanel;
class wxRadioButton;
class wxSpinCtrl;
class wxSpinEvent;
class wxStaticText;
class wxTextCtrl;

enum class ThreadType;

// The program's one window. Its controls are the program's only state: every
// handler reads them afresh and writes its results back into them.
class VantorelFrame : public wxFrame {
public:
    VantorelFrame(wxWindow* parent, wxWindowID id = -1);
    ~VantorelFrame() override;

    static const long ID_RADIOBUTTON1;
    static const long ID_RADIOBUTTON2;
    static const long ID_RADIOBUTTON3;
    static const long ID_RADIOBUTTON4;
    static const long ID_STATICTEXT6;
    static const long ID_TEXTCTRL3;
    static const long ID_RADIOBUTTON5;
    static const long ID_RADIOBUTTON6;
    static const long ID_STATICTEXT1;
    static const long ID_TEXTCTRL1;
    static const long ID_STATICTEXT2;
    static const long ID_BUTTON1;
    static const long ID_STATICTEXT3;
    static const long ID_LISTBOX1;
    static const long ID_TEXTCTRL2;
    static const long ID_BUTTON3;
    static const long ID_BUTTON2;
    static const long ID_STATICTEXT4;
    static const long ID_STATICTEXT5;
    static const long ID_SPINCTRL1;
    static const long ID_LISTBOX2;
    static const long ID_PANEL1;

private:
    void OnbnCalculateClick(wxCommandEvent& event);
    void OnspShowChange(wxSpinEvent& event);
    void OnrbSAESelect(wxCommandEvent& event);
    void OnrbTPISelect(wxCommandEvent& event);
    void OnlbGearsSelect(wxCommandEvent& event);
    void OnbnDeleteClick(wxCommandEvent& event);
    void OnbnAddClick(wxCommandEvent& event);
    void OnedAddText(wxCommandEvent& event);
    void SortGears();

    void CreateControls();
    void ConnectHandlers();
    void LoadSettings();
    void SaveSettings();
    int Dlu(int dialogUnits) const;
    const char* CheckInputs(double* desiredTpi, double* leadTpi) const;
    ThreadType CheckedThreadType() const;

    wxButton* bnAdd;
    wxButton* bnCalculate;
    wxButton* bnDelete;
    wxListBox* lbGears;
    wxListBox* lbResults;
    wxPanel* Panel1;
    wxRadioButton* rbDP;
    wxRadioButton* rbMM;
    wxRadioButton* rbMetric;
    wxRadioButton* rbModulus;
    wxRadioButton* rbSAE;
    wxRadioButton* rbTPI;
    wxSpinCtrl* spShow;
    wxStaticText* StaticText1;
    wxStaticText* StaticText3;
    wxStaticText* StaticText4;
    wxStaticText* StaticText5;
    wxStaticText* StaticText6;
    wxStaticText* stUnits;
    wxTextCtrl* edAdd;
    wxTextCtrl* edLeadScrew;
    wxTextCtrl* edThread;

    wxDECLARE_EVENT_TABLE();
};
