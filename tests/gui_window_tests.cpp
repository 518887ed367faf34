// The window as a person meets it: its first state and layout, the
// calculation with its three messages, the unit selection and the gear list.
#include "gui_fixture.h"

#include <wx/uiaction.h>

#include <algorithm>

namespace {

// Metric 1.5 on an 8 tpi lead screw: 8 x (50/20) x (55/65) = 16.923 tpi,
// a pitch of 25.4 / 16.923 = 1.50091 mm, 0.0606 % off 25.4 / 1.5 tpi.
const char* const kMetricLine = "A = 20, B = 50, C = 65, D = 55, Thread =  1.501, Error =  0.061%";

TEST_F(WindowTest, FirstRunShowsTheDefaultsInCreationOrder) {
    // Creation order is the keyboard order; ids rise in it. "-" marks a
    // disabled control.
    const std::string expected =
        "Thread Type:|ID_RADIOBUTTON1 &SAE|ID_RADIOBUTTON2 &Metric|ID_RADIOBUTTON3 D&P|"
        "ID_RADIOBUTTON4 M&odulus|ID_STATICTEXT6 Effective Lead Screw Pitch:|ID_TEXTCTRL3 16|"
        "ID_RADIOBUTTON5 tpi|ID_RADIOBUTTON6 mm|ID_STATICTEXT1 Desired &Thread:|ID_TEXTCTRL1 |"
        "ID_STATICTEXT2 tpi|ID_BUTTON1 &Calculate|ID_STATICTEXT3 Available &Gears:|ID_LISTBOX1 |"
        "ID_TEXTCTRL2 |ID_BUTTON3 &Add -|ID_BUTTON2 &Delete Gear -|ID_STATICTEXT4 Best "
        "Combinations:|ID_STATICTEXT5 Number to Show:|ID_SPINCTRL1 |ID_LISTBOX2 |";
    std::string shown;
    long previousId = wxID_NONE;
    for (wxWindow* child : Get<wxWindow>("ID_PANEL1")->GetChildren()) {
        auto* text = dynamic_cast<wxTextCtrl*>(child);
        const bool box = shown.empty(); // the frame of "Thread Type:"
        shown += (box ? "" : child->GetName() + " ") +
                 (text != nullptr ? text->GetValue() : child->GetLabel()) +
                 (child->IsEnabled() ? "|" : " -|");
        EXPECT_TRUE(box || child->GetId() > previousId) << child->GetName();
        previousId = box ? previousId : child->GetId();
    }
    EXPECT_EQ(shown, expected);
    EXPECT_LT(previousId, VantorelFrame::ID_PANEL1);
    EXPECT_EQ(frame->GetTitle(), "Vantorel");
    EXPECT_EQ(Checked(), "SAE tpi");
    EXPECT_EQ(wxString::Format("%d in %d..%d", spShow()->GetValue(), spShow()->GetMin(),
                               spShow()->GetMax()),
              "5 in 1..99");
    EXPECT_EQ(Items(lbGears()), kDefaultGears);
    EXPECT_EQ(frame->GetDefaultItem(), bnCalculate());
}

TEST_F(WindowTest, GrowingGivesTheExtraHeightToTheLists) {
    frame->Show();
    wxYield();
    const wxSize first = frame->GetSize();
    const wxRect calculate = bnCalculate()->GetRect();
    const wxSize gears = lbGears()->GetSize(), results = lbResults()->GetSize();
    const int panelWidth = Get<wxWindow>("ID_PANEL1")->GetSize().x;
    EXPECT_GT(results.x, gears.x);
    frame->SetSize(first + wxSize(200, 150));
    wxYield();
    EXPECT_EQ(bnCalculate()->GetRect(), calculate) << "the top band keeps its place";
    EXPECT_EQ(lbGears()->GetSize(), gears + wxSize(0, 150));
    EXPECT_EQ(lbResults()->GetSize(), results + wxSize(0, 150));
    EXPECT_EQ(Get<wxWindow>("ID_PANEL1")->GetSize().x, panelWidth);
    frame->SetSize(first - wxSize(100, 100));
    wxYield();
    EXPECT_EQ(frame->GetSize(), first);
}

// Each thread type and lead-screw unit reaches the calculation as itself:
// the thread shown is lead x (B/A) x (D/C) in the unit of the type. Trains of
// equal error may come in either order, so only the best's thread and error
// are compared.
TEST_F(WindowTest, CalculateListsTheBestTrainsInTheUnitOfTheType) {
    const struct {
        const char *radios, *thread, *leadScrew, *best;
    } cases[] = {
        {"Metric tpi", "1.5", "8", "Thread =  1.501, Error =  0.061%"},
        {"Metric mm", "1.5", "3.175", "Thread =  1.501, Error =  0.061%"}, // 25.4 / 8
        // 8 x (25/20) x (65/50) = 13 tpi exactly.
        {"SAE tpi", "13", "8", "Thread = 13.000, Error =  0.000%"},
        // 8 x (35/40) x (50/55) = 6.3636 tpi, pi x 6.3636 = 19.992 DP.
        {"DP tpi", "20", "8", "Thread = 19.992, Error =  0.040%"},
        // (25.4/3) x (35/30) x (45/55) = 8.0815 tpi, 25.4 / (pi x 8.0815) = 1.0004.
        {"Modulus mm", "1", "3", "Thread =  1.000, Error =  0.040%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.radios << " " << c.thread << " on " << c.leadScrew);
        Choose(c.radios);
        Calculate(c.thread, c.leadScrew);
        ASSERT_EQ(lbResults()->GetCount(), 5u);
        EXPECT_TRUE(lbResults()->GetString(0).EndsWith(c.best)) << lbResults()->GetString(0);
    }
    Choose("Metric tpi");
    for (int show : {1, 99, 12}) {
        SCOPED_TRACE(show);
        Calculate("1.5", "8");
        SetShow(show);
        EXPECT_EQ(lbResults()->GetCount(), static_cast<unsigned>(show));
        EXPECT_EQ(lbResults()->GetString(0), kMetricLine);
    }
}

// Calculate shows the first message that applies and keeps the results;
// the silent recalculation (Number to Show, an added or deleted gear) runs
// exactly when Calculate would, without a message.
TEST_F(WindowTest, CalculateAndRecalculationRefuseTheSameInputs) {
    const char *const nothing = "Nothing to convert!", *const noLead =
                                                           "You must enter a lead screw pitch!";
    const struct {
        const char *radios, *thread, *leadScrew;
        unsigned int gears;
        const char* message; // nullptr: calculated, giving `lines` lines
        unsigned int lines;
    } cases[] = {
        {"SAE tpi", "", "8", 14, nothing, 0},
        {"SAE tpi", "abc", "abc", 1, nothing, 0},
        {"SAE tpi", "0", "8", 14, nothing, 0},
        {"SAE tpi", "-1.5", "8", 14, nothing, 0},
        {"SAE tpi", "inf", "8", 14, nothing, 0},
        {"SAE tpi", "nan", "8", 14, nothing, 0},
        {"SAE tpi", "1.5 ", "8", 14, nothing, 0},
        {"Metric tpi", "1e-307", "8", 14, nothing, 0}, // 25.4 / 1e-307 overflows
        {"Metric tpi", "1e-306", "8", 14, nullptr, 0}, // no train comes near
        {"SAE tpi", "1.5", "", 14, noLead, 0},
        {"SAE tpi", "1.5", "0", 1, noLead, 0},
        {"SAE tpi", "1.5", "-8", 14, noLead, 0},
        {"SAE tpi", "1.5", "1e999", 14, noLead, 0},
        {"SAE mm", "16", "1e-307", 14, noLead, 0},
        {"SAE tpi", "16", "1e-307", 14, nullptr, 5},
        {"SAE tpi", "1.5", "8", 0, "Not enough change gears!", 0},
        {"SAE tpi", "1.5", "8", 1, "Not enough change gears!", 0},
        {"SAE tpi", "1.5", "8", 2, nullptr, 0}, // no train of four places
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.radios << " '" << c.thread << "' on '" << c.leadScrew
                                        << "', " << c.gears << " gears");
        OpenFresh();
        Choose(c.radios);
        Calculate("2", "8");
        const Lines before = Items(lbResults());
        ASSERT_EQ(before.size(), 5u);
        KeepGears(c.gears);
        edThread()->SetValue(c.thread);
        edLeadScrew()->SetValue(c.leadScrew);
        if (c.message != nullptr) {
            wxTEST_DIALOG(Click(bnCalculate()), ExpectError(c.message));
            SetShow(6); // any dialog here fails the test through the hooks
            EXPECT_EQ(Items(lbResults()), before);
            continue;
        }
        Click(bnCalculate());
        const Lines calculated = Items(lbResults());
        EXPECT_EQ(calculated.size(), c.lines);
        lbResults()->Append("stale");
        SetShow(5);
        EXPECT_EQ(Items(lbResults()), calculated);
    }
}

// Either radio group empties the result list and leaves the other group and
// the entries as they were; the unit label follows the thread type.
TEST_F(WindowTest, UnitSelectionRelabelsAndClearsOnly) {
    const struct {
        const char *choose, *checked, *unit;
    } cases[] = {
        {"Metric", "Metric tpi", "mm"},
        {"DP", "DP tpi", "DP"},
        {"Modulus", "Modulus tpi", "Modulus"},
        {"mm", "Modulus mm", "Modulus"},
        {"SAE", "SAE mm", "tpi"},
        {"tpi", "SAE tpi", "tpi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.choose);
        Calculate("8", "12");
        ASSERT_GT(lbResults()->GetCount(), 0u);
        Choose(c.choose);
        EXPECT_EQ(Checked(), c.checked);
        EXPECT_EQ(stUnits()->GetLabel(), c.unit);
        EXPECT_EQ(lbResults()->GetCount(), 0u);
        EXPECT_EQ(edThread()->GetValue() + " " + edLeadScrew()->GetValue(), "8 12");
    }
}

TEST_F(WindowTest, AddTakesWholeNumbersAboveZeroInNumericOrder) {
    const struct {
        const char *typed, *added; // nullptr: refused
    } cases[] = {
        {"45", "45"},    {"1", "1"},        {"100", "100"},
        {"9", "9"},      {"007", "7"},      {"+7", "7"},
        {" 42", "42"},   {"42 ", nullptr},  {"0", nullptr},
        {"-5", nullptr}, {"3.5", nullptr},  {"12a", nullptr},
        {" ", nullptr},  {"0x1F", nullptr}, {"99999999999999999999", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.typed + "'");
        OpenFresh();
        AddGear(c.typed);
        Lines expected = kDefaultGears;
        if (c.added != nullptr) {
            const auto above = [&c](const std::string& gear) {
                return std::stol(gear) > std::stol(c.added);
            };
            expected.insert(std::find_if(expected.begin(), expected.end(), above), c.added);
        }
        EXPECT_EQ(Items(lbGears()), expected);
        EXPECT_EQ(edAdd()->GetValue(), "");
        EXPECT_FALSE(bnAdd()->IsEnabled());
    }
}

TEST_F(WindowTest, ButtonsFollowTheEntryAndTheSelection) {
    edAdd()->SetValue(" ");
    EXPECT_TRUE(bnAdd()->IsEnabled()) << "any character enables Add";
    edAdd()->SetValue("");
    EXPECT_FALSE(bnAdd()->IsEnabled());
    SelectGear(2);
    EXPECT_TRUE(bnDelete()->IsEnabled());
    AddGear("33");
    EXPECT_TRUE(bnDelete()->IsEnabled()) << "the rebuild drops the selection, not the button";
    const Lines before = Items(lbGears());
    Click(bnDelete());
    EXPECT_EQ(Items(lbGears()), before) << "nothing selected, nothing deleted";
    EXPECT_FALSE(bnDelete()->IsEnabled());
    SelectGear(1);
    Click(bnDelete());
    Lines expected = before;
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(Items(lbGears()), expected);
    EXPECT_FALSE(bnDelete()->IsEnabled());
    EXPECT_EQ(lbGears()->GetSelection(), wxNOT_FOUND);
}

TEST_F(WindowTest, AddAndDeleteRecalculate) {
    // No default train cuts 19 tpi from a 16 tpi lead screw; 16 x (57/60) x (50/40) does.
    Calculate("19", "16");
    const Lines before = Items(lbResults());
    ASSERT_EQ(before.size(), 5u);
    AddGear("57");
    EXPECT_TRUE(lbResults()->GetString(0).EndsWith("Thread = 19.000, Error =  0.000%"));
    SelectGear(lbGears()->FindString("57"));
    Click(bnDelete());
    EXPECT_EQ(Items(lbResults()), before);
}

// Real keys on the shown window: Enter in the add-gear entry adds the gear,
// Enter elsewhere presses the default button, Calculate.
TEST_F(WindowTest, EnterAddsInTheGearEntryAndCalculatesElsewhere) {
    frame->Show();
    frame->Raise();
    wxUIActionSimulator keys;
    const auto enterIn = [&keys](wxWindow* entry, const char* text, auto done) {
        entry->SetFocus();
        wxYield();
        keys.Text(text);
        keys.Char(WXK_RETURN);
        for (int i = 0; i < 100 && !done(); ++i) {
            wxMilliSleep(10);
            wxYield();
        }
    };
    enterIn(edAdd(), "45", [this] { return lbGears()->GetCount() > 14; });
    Lines expected = kDefaultGears;
    expected.insert(expected.begin() + 7, "45");
    EXPECT_EQ(Items(lbGears()), expected);
    enterIn(edThread(), "16", [this] { return lbResults()->GetCount() > 0; });
    EXPECT_EQ(lbResults()->GetCount(), 5u);
}

} // namespace
