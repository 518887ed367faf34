// Every field of a lathe profile in one dialog. Nothing is kept until the
// fields pass the command line's checks; a refused field is named as the
// command line names it.
#pragma once

#include "lathe_window/profile_fields.h"

#include <wx/dialog.h>

class wxChoice;
class wxEditableListBox;
class wxGrid;
class wxRadioButton;
class wxTextCtrl;

class ProfileDialog : public wxDialog {
public:
    ProfileDialog(wxWindow* parent, const wxString& title, const LatheProfile& profile);

    ProfileFields Fields() const;
    void SetFields(const ProfileFields& fields);
    // What OK does: the profile of the fields, or a message naming the field
    // refused and false.
    bool Accept();
    // The profile accepted last.
    const LatheProfile& Profile() const { return m_profile; }

private:
    wxSizer* MakeLeadFields();
    wxSizer* MakeGearboxFields();
    wxSizer* MakeRuleFields();
    wxSizer* MakeBanjoFields();
    void MoveGearboxRow(int by);
    void ShowLeadOrGearbox();

    wxTextCtrl* m_name;
    wxRadioButton* m_useLead;
    wxRadioButton* m_useGearbox;
    wxTextCtrl* m_leadScrew;
    wxChoice* m_unit;
    wxGrid* m_gearbox;
    wxEditableListBox* m_gears;
    wxChoice* m_pairs;
    wxTextCtrl* m_clearance;
    wxTextCtrl* m_minSum;
    wxTextCtrl* m_spindleGear;
    wxTextCtrl* m_dial;
    wxTextCtrl* m_dialScrew;
    wxChoice* m_banjoPitchKind;
    wxTextCtrl* m_banjoPitch;
    wxTextCtrl* m_banjoDistance;
    wxTextCtrl* m_slotNear;
    wxTextCtrl* m_slotFar;
    wxTextCtrl* m_studHub;
    wxTextCtrl* m_screwHub;
    wxTextCtrl* m_margin;
    wxTextCtrl* m_backlash;
    wxChoice* m_banjoUnit;
    LatheProfile m_profile;
};
