// The window as a person meets it: its first state, the calculation with its
// messages, the unit selection and the layout.
#include "gui_harness.h"

#include "VantorelMain.h"

#include <wx/app.h>
#include <wx/uiaction.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::string> kDefaultGears = {"20", "20", "25", "30", "35", "40", "40",
                                                "45", "50", "55", "60", "65", "80", "80"};
const char* const kMetricLine = "A = 20, B = 50, C = 65, D = 55, Thread =  1.501, Error =  0.061%";

class WindowTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        OpenFrame();
    }

    // Metric 1.5 on an 8 tpi lead screw, so the list holds known lines.
    void FillResults() const {
        Choose(rbMetric());
        Calculate("1.5", "8");
        ASSERT_EQ(lbResults()->GetCount(), 5u);
    }
};

TEST_F(WindowTest, FirstRunShowsTheDefaults) {
    EXPECT_EQ(frame->GetTitle(), "Vantorel");
    const struct {
        const char* name;
        const char* label;
    } captions[] = {
        {"ID_RADIOBUTTON1", "&SAE"},
        {"ID_RADIOBUTTON2", "&Metric"},
        {"ID_RADIOBUTTON3", "D&P"},
        {"ID_RADIOBUTTON4", "M&odulus"},
        {"ID_STATICTEXT6", "Effective Lead Screw Pitch:"},
        {"ID_RADIOBUTTON5", "tpi"},
        {"ID_RADIOBUTTON6", "mm"},
        {"ID_STATICTEXT1", "Desired &Thread:"},
        {"ID_STATICTEXT2", "tpi"},
        {"ID_BUTTON1", "&Calculate"},
        {"ID_STATICTEXT3", "Available &Gears:"},
        {"ID_BUTTON3", "&Add"},
        {"ID_BUTTON2", "&Delete Gear"},
        {"ID_STATICTEXT4", "Best Combinations:"},
        {"ID_STATICTEXT5", "Number to Show:"},
    };
    for (const auto& caption : captions) {
        SCOPED_TRACE(caption.name);
        wxWindow* control = wxWindow::FindWindowByName(caption.name, frame);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->GetLabel(), caption.label);
        const bool addOrDelete =
            caption.name == std::string("ID_BUTTON3") || caption.name == std::string("ID_BUTTON2");
        EXPECT_EQ(control->IsEnabled(), !addOrDelete);
    }
    EXPECT_TRUE(rbSAE()->GetValue());
    EXPECT_FALSE(rbMetric()->GetValue() || rbDP()->GetValue() || rbModulus()->GetValue());
    EXPECT_TRUE(rbTPI()->GetValue());
    EXPECT_FALSE(rbMM()->GetValue());
    EXPECT_EQ(edLeadScrew()->GetValue(), "16");
    EXPECT_EQ(edThread()->GetValue(), "");
    EXPECT_EQ(edAdd()->GetValue(), "");
    EXPECT_EQ(spShow()->GetValue(), 5);
    EXPECT_EQ(spShow()->GetMin(), 1);
    EXPECT_EQ(spShow()->GetMax(), 99);
    EXPECT_EQ(Items(lbGears()), kDefaultGears);
    EXPECT_EQ(lbGears()->GetSelection(), wxNOT_FOUND);
    EXPECT_EQ(lbResults()->GetCount(), 0u);
    EXPECT_EQ(frame->GetDefaultItem(), bnCalculate());
    EXPECT_TRUE(frame->GetMenuBar() == nullptr && frame->GetStatusBar() == nullptr);
}

TEST_F(WindowTest, KeyboardOrderIsTheCreationOrder) {
    const std::vector<std::string> expected = {
        "ID_RADIOBUTTON1", "ID_RADIOBUTTON2", "ID_RADIOBUTTON3", "ID_RADIOBUTTON4",
        "ID_STATICTEXT6",  "ID_TEXTCTRL3",    "ID_RADIOBUTTON5", "ID_RADIOBUTTON6",
        "ID_STATICTEXT1",  "ID_TEXTCTRL1",    "ID_STATICTEXT2",  "ID_BUTTON1",
        "ID_STATICTEXT3",  "ID_LISTBOX1",     "ID_TEXTCTRL2",    "ID_BUTTON3",
        "ID_BUTTON2",      "ID_STATICTEXT4",  "ID_STATICTEXT5",  "ID_SPINCTRL1",
        "ID_LISTBOX2"};
    std::vector<std::string> order;
    wxWindow* panel = wxWindow::FindWindowByName("ID_PANEL1", frame);
    ASSERT_NE(panel, nullptr);
    for (wxWindow* child : panel->GetChildren()) {
        if (child->GetName() != "groupBox") { // the frame of "Thread Type:"
            order.push_back(child->GetName().ToStdString());
        }
    }
    EXPECT_EQ(order, expected);
    EXPECT_EQ(panel->GetChildren().front()->GetLabel(), "Thread Type:");
}

TEST_F(WindowTest, WindowIdsRiseInDeclarationOrder) {
    const long ids[] = {VantorelFrame::ID_RADIOBUTTON1, VantorelFrame::ID_RADIOBUTTON2,
                        VantorelFrame::ID_RADIOBUTTON3, VantorelFrame::ID_RADIOBUTTON4,
                        VantorelFrame::ID_STATICTEXT6,  VantorelFrame::ID_TEXTCTRL3,
                        VantorelFrame::ID_RADIOBUTTON5, VantorelFrame::ID_RADIOBUTTON6,
                        VantorelFrame::ID_STATICTEXT1,  VantorelFrame::ID_TEXTCTRL1,
                        VantorelFrame::ID_STATICTEXT2,  VantorelFrame::ID_BUTTON1,
                        VantorelFrame::ID_STATICTEXT3,  VantorelFrame::ID_LISTBOX1,
                        VantorelFrame::ID_TEXTCTRL2,    VantorelFrame::ID_BUTTON3,
                        VantorelFrame::ID_BUTTON2,      VantorelFrame::ID_STATICTEXT4,
                        VantorelFrame::ID_STATICTEXT5,  VantorelFrame::ID_SPINCTRL1,
                        VantorelFrame::ID_LISTBOX2,     VantorelFrame::ID_PANEL1};
    for (std::size_t i = 1; i < std::size(ids); ++i) {
        EXPECT_LT(ids[i - 1], ids[i]) << "id " << i;
    }
    EXPECT_EQ(edThread()->GetId(), VantorelFrame::ID_TEXTCTRL1);
}

TEST_F(WindowTest, CalculateListsTheCoresLinesBestFirst) {
    FillResults();
    EXPECT_EQ(lbResults()->GetString(0), kMetricLine);
    EXPECT_EQ(edThread()->GetValue(), "1.5");
}

TEST_F(WindowTest, RefusalsShowOneMessageAndKeepTheResults) {
    const struct {
        const char* thread;
        const char* leadScrew;
        unsigned int gearsLeft;
        const char* message;
    } cases[] = {
        {"", "8", 14, "Nothing to convert!"},
        {"abc", "abc", 14, "Nothing to convert!"},
        {"0", "8", 14, "Nothing to convert!"},
        {"-1.5", "8", 14, "Nothing to convert!"},
        {"inf", "8", 14, "Nothing to convert!"},
        {"nan", "8", 14, "Nothing to convert!"},
        {"1.5 ", "8", 14, "Nothing to convert!"},
        {"1.5", "", 14, "You must enter a lead screw pitch!"},
        {"1.5", "0", 1, "You must enter a lead screw pitch!"},
        {"1.5", "-8", 14, "You must enter a lead screw pitch!"},
        {"1.5", "1e999", 14, "You must enter a lead screw pitch!"},
        {"1.5", "8", 1, "Not enough change gears!"},
        {"1.5", "8", 0, "Not enough change gears!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.thread << " / " << c.leadScrew << " / " << c.gearsLeft);
        OpenFreshFrame();
        FillResults();
        const auto before = Items(lbResults());
        while (lbGears()->GetCount() > c.gearsLeft) {
            lbGears()->Delete(0);
        }
        wxTEST_DIALOG(Calculate(c.thread, c.leadScrew), ExpectError(c.message));
        EXPECT_EQ(Items(lbResults()), before);
    }
}

TEST_F(WindowTest, NumberToShowRecalculates) {
    FillResults();
    SetShow(12);
    ASSERT_EQ(lbResults()->GetCount(), 12u);
    EXPECT_EQ(lbResults()->GetString(0), kMetricLine);
    SetShow(1);
    EXPECT_EQ(Items(lbResults()), std::vector<std::string>{kMetricLine});
}

TEST_F(WindowTest, NumberToShowIsSilentWhenAnInputIsBad) {
    const struct {
        const char* thread;
        const char* leadScrew;
        unsigned int gearsLeft;
    } cases[] = {
        {"abc", "8", 14},  {"0", "8", 14},  {"1.5", "x", 14},
        {"1.5", "-8", 14}, {"1.5", "8", 1}, {"1.5", "8", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.thread << " / " << c.leadScrew << " / " << c.gearsLeft);
        OpenFreshFrame();
        FillResults();
        const auto before = Items(lbResults());
        edThread()->SetValue(c.thread);
        edLeadScrew()->SetValue(c.leadScrew);
        while (lbGears()->GetCount() > c.gearsLeft) {
            lbGears()->Delete(0);
        }
        SetShow(20); // any dialog here fails the test through the hooks
        EXPECT_EQ(Items(lbResults()), before);
    }
}

TEST_F(WindowTest, TwoGearsGiveAnEmptyListWithoutMessage) {
    FillResults();
    while (lbGears()->GetCount() > 2) {
        lbGears()->Delete(0);
    }
    Click(bnCalculate());
    EXPECT_EQ(lbResults()->GetCount(), 0u);
}

TEST_F(WindowTest, UnitLabelFollowsTheThreadType) {
    const struct {
        const char* button;
        const char* unit;
    } cases[] = {
        {"ID_RADIOBUTTON2", "mm"},
        {"ID_RADIOBUTTON3", "DP"},
        {"ID_RADIOBUTTON4", "Modulus"},
        {"ID_RADIOBUTTON1", "tpi"},
    };
    edThread()->SetValue("8");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        FillResults();
        edThread()->SetValue("8");
        Choose(Find<wxRadioButton>(c.button));
        EXPECT_EQ(stUnits()->GetLabel(), c.unit);
        EXPECT_EQ(lbResults()->GetCount(), 0u);
        EXPECT_EQ(edThread()->GetValue(), "8");
        EXPECT_EQ(edLeadScrew()->GetValue(), "8");
        EXPECT_TRUE(rbTPI()->GetValue()) << "the lead-screw group is independent";
    }
}

TEST_F(WindowTest, LeadScrewUnitClearsResultsOnly) {
    FillResults();
    Choose(rbMM());
    EXPECT_EQ(lbResults()->GetCount(), 0u);
    EXPECT_EQ(edLeadScrew()->GetValue(), "8");
    EXPECT_EQ(stUnits()->GetLabel(), "mm");
    EXPECT_TRUE(rbMetric()->GetValue()) << "the thread-type group is independent";
    // 8 is now read as an 8 mm pitch.
    Click(bnCalculate());
    ASSERT_GT(lbResults()->GetCount(), 0u);
    EXPECT_NE(lbResults()->GetString(0), kMetricLine);
    Choose(rbTPI());
    EXPECT_EQ(lbResults()->GetCount(), 0u);
}

TEST_F(WindowTest, EditingTheEntriesStartsNoCalculation) {
    FillResults();
    const auto before = Items(lbResults());
    edThread()->SetValue("2");
    edLeadScrew()->SetValue("6");
    EXPECT_EQ(Items(lbResults()), before);
}

TEST_F(WindowTest, GrowingGivesTheExtraHeightToTheLists) {
    frame->Show();
    wxYield();
    const wxSize first = frame->GetSize();
    EXPECT_EQ(frame->GetMinSize(), first);
    const wxRect calculateBefore = bnCalculate()->GetRect();
    const int gearsBefore = lbGears()->GetSize().y;
    const int resultsBefore = lbResults()->GetSize().y;
    const int panelWidth = wxWindow::FindWindowByName("ID_PANEL1", frame)->GetSize().x;

    frame->SetSize(first.x + 200, first.y + 150);
    frame->Layout();
    wxYield();
    EXPECT_EQ(bnCalculate()->GetRect(), calculateBefore) << "the top band keeps its place";
    EXPECT_EQ(lbGears()->GetSize().y, gearsBefore + 150);
    EXPECT_EQ(lbResults()->GetSize().y, resultsBefore + 150);
    EXPECT_EQ(wxWindow::FindWindowByName("ID_PANEL1", frame)->GetSize().x, panelWidth);
    EXPECT_GT(lbResults()->GetSize().x, lbGears()->GetSize().x);

    frame->SetSize(first.x - 100, first.y - 100);
    wxYield();
    EXPECT_GE(frame->GetSize().x, first.x);
    EXPECT_GE(frame->GetSize().y, first.y);
}

// A real click and real keys on the shown window, as a person would.
TEST_F(WindowTest, RealInputCalculates) {
    frame->Show();
    frame->Raise();
    wxYield();
    wxUIActionSimulator input;
    edThread()->SetFocus();
    wxYield();
    EXPECT_EQ(wxWindow::FindFocus(), edThread());
    input.Text("16");
    wxYield();
    edLeadScrew()->SetValue("8");
    input.MouseMove(bnCalculate()->GetScreenRect().GetPosition() + wxPoint(10, 10));
    wxYield();
    input.MouseClick();
    for (int i = 0; i < 20 && lbResults()->GetCount() == 0; ++i) {
        wxMilliSleep(20);
        wxYield();
    }
    EXPECT_EQ(edThread()->GetValue(), "16");
    ASSERT_EQ(lbResults()->GetCount(), 5u);
    EXPECT_EQ(lbResults()->GetString(0).substr(0, 4), "A = ");
}

} // namespace
