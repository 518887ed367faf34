// The window as a person meets it: its first state and layout, the
// calculation with its three messages, the unit selection and the gear list.
#include "gui_fixture.h"

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
    EXPECT_EQ(State(), kFirstRun);
    EXPECT_EQ(frame->GetDefaultItem(), bnCalculate());
}

// Calculate shows the first message that applies and keeps the results, or
// lists the best trains: the thread shown is lead x (B/A) x (D/C) in the unit
// of the type (trains of equal error may come in either order, so only the
// best's thread and error are compared). The silent recalculation (Number to
// Show, an added or deleted gear) runs exactly when Calculate would.
TEST_F(WindowTest, CalculateChecksItsInputsAndListsTheBestTrains) {
    const char *const nothing = "Nothing to convert!", *const noLead =
                                                           "You must enter a lead screw pitch!";
    const struct {
        const char *radios, *thread, *leadScrew;
        unsigned int gears;
        const char *message, *best; // best: the end of the first line, "" for none
    } cases[] = {
        {"Metric tpi", "1.5", "8", 14, nullptr, "Thread =  1.501, Error =  0.061%"},
        {"Metric mm", "1.5", "3.175", 14, nullptr, "Thread =  1.501, Error =  0.061%"}, // 25.4/8
        // 8 x (25/20) x (65/50) = 13 tpi exactly.
        {"SAE tpi", "13", "8", 14, nullptr, "Thread = 13.000, Error =  0.000%"},
        // 8 x (35/40) x (50/55) = 6.3636 tpi, pi x 6.3636 = 19.992 DP.
        {"DP tpi", "20", "8", 14, nullptr, "Thread = 19.992, Error =  0.040%"},
        // (25.4/3) x (35/30) x (45/55) = 8.0815 tpi, 25.4 / (pi x 8.0815) = 1.0004.
        {"Modulus mm", "1", "3", 14, nullptr, "Thread =  1.000, Error =  0.040%"},
        {"SAE tpi", "", "8", 14, nothing, ""},
        {"SAE tpi", "abc", "abc", 1, nothing, ""},
        {"SAE tpi", "0", "8", 14, nothing, ""},
        {"SAE tpi", "inf", "8", 14, nothing, ""},
        {"SAE tpi", "1.5 ", "8", 14, nothing, ""},
        {"Metric tpi", "1e-307", "8", 14, nothing, ""}, // 25.4 / 1e-307 overflows
        {"Metric tpi", "1e-306", "8", 14, nullptr, ""}, // no train comes near
        {"SAE tpi", "1.5", "", 14, noLead, ""},
        {"SAE tpi", "1.5", "0", 1, noLead, ""},
        {"SAE tpi", "1.5", "-8", 14, noLead, ""},
        {"SAE tpi", "1.5", "1e999", 14, noLead, ""},
        {"SAE mm", "16", "1e-307", 14, noLead, ""},
        {"SAE tpi", "16", "1e-307", 14, nullptr, "Thread =  0.000, Error =100.000%"},
        {"SAE tpi", "1.5", "8", 0, "Not enough change gears!", ""},
        {"SAE tpi", "1.5", "8", 1, "Not enough change gears!", ""},
        {"SAE tpi", "1.5", "8", 2, nullptr, ""}, // no train of four places
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.radios << " '" << c.thread << "' on '" << c.leadScrew
                                        << "', " << c.gears << " gears");
        OpenFresh();
        Choose(c.radios);
        Calculate("2", "8");
        const Lines before = Items(lbResults());
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
        ASSERT_EQ(calculated.size(), *c.best != 0 ? 5u : 0u);
        EXPECT_TRUE(calculated.empty() || wxString(calculated[0]).EndsWith(c.best));
        lbResults()->Append("stale");
        SetShow(5);
        EXPECT_EQ(Items(lbResults()), calculated);
    }
}

// Either radio group empties the result list and leaves the other group and
// the entries as they were; the unit label follows the thread type.
TEST_F(WindowTest, UnitSelectionRelabelsAndClearsOnly) {
    for (const auto& [choose, expected] :
         std::vector<std::pair<const char*, const char*>>{{"Metric", "Metric tpi mm"},
                                                          {"DP", "DP tpi DP"},
                                                          {"Modulus", "Modulus tpi Modulus"},
                                                          {"mm", "Modulus mm Modulus"},
                                                          {"SAE", "SAE mm tpi"},
                                                          {"tpi", "SAE tpi tpi"}}) {
        SCOPED_TRACE(choose);
        Calculate("8", "12");
        ASSERT_GT(lbResults()->GetCount(), 0u);
        Choose(choose);
        EXPECT_EQ(State(),
                  "20,20,25,30,35,40,40,45,50,55,60,65,80,80, " + std::string(expected) + " 12 5");
        EXPECT_EQ(lbResults()->GetCount(), 0u);
        EXPECT_EQ(edThread()->GetValue(), "8");
    }
}

TEST_F(WindowTest, AddTakesWholeNumbersAboveZeroInNumericOrder) {
    const struct {
        const char *typed, *added; // nullptr: refused
        int at = 0;                // where it goes among the default gears
    } cases[] = {{"45", "45", 7},  {"1", "1", 0},     {"100", "100", 14},
                 {"9", "9", 0},    {"007", "7", 0},   {"+7", "7", 0},
                 {" 42", "42", 7}, {"42 ", nullptr},  {"0", nullptr},
                 {"-5", nullptr},  {"3.5", nullptr},  {"12a", nullptr},
                 {" ", nullptr},   {"0x1F", nullptr}, {"99999999999999999999", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.typed + "'");
        OpenFresh();
        AddGear(c.typed);
        Lines expected = kDefaultGears;
        if (c.added != nullptr) {
            expected.insert(expected.begin() + c.at, c.added);
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
}

// The search has room for 100 trains: Number to Show goes from 1 to 99.
// The default gears make far more than 99 trains for 13 tpi, so the list
// holds as many lines as the control shows.
TEST_F(WindowTest, NumberToShowStopsAt99) {
    Calculate("13", "8");
    const std::pair<int, int> cases[] = {{0, 1}, {1, 1}, {2, 2}, {98, 98}, {99, 99}, {100, 99}};
    for (const auto& [asked, shown] : cases) {
        SCOPED_TRACE(asked);
        SetShow(asked);
        EXPECT_EQ(spShow()->GetValue(), shown);
        EXPECT_EQ(lbResults()->GetCount(), static_cast<unsigned int>(shown));
    }
}

TEST_F(WindowTest, AddAndDeleteRecalculate) {
    // No default train cuts 19 tpi from a 16 tpi lead screw; 16 x (57/60) x (50/40) does.
    Calculate("19", "16");
    const Lines before = Items(lbResults());
    ASSERT_EQ(before.size(), 5u);
    edAdd()->SetValue("57");
    Send(edAdd(), wxEVT_TEXT_ENTER); // Enter in the entry adds, as Add does
    EXPECT_TRUE(lbResults()->GetString(0).EndsWith("Thread = 19.000, Error =  0.000%"));
    SelectGear(lbGears()->FindString("57"));
    Click(bnDelete());
    EXPECT_EQ(Items(lbResults()), before);
}

} // namespace
