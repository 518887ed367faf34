// Editing the gear list, and the settings that carry it and the inputs from
// one run to the next.
#include "gui_harness.h"

#include "VantorelMain.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <wx/config.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kDefaultGears = {"20", "20", "25", "30", "35", "40", "40",
                                                "45", "50", "55", "60", "65", "80", "80"};

// The bytes of a literal that holds NULs, without its terminating one.
template <std::size_t N> std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

class GearsTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        OpenFrame();
    }
};

TEST_F(GearsTest, AddAcceptsWholeNumbersAboveZeroOnly) {
    const struct {
        const char* typed;
        const char* added; // nullptr: refused
    } cases[] = {
        {"42", "42"},     {"007", "7"},   {"+7", "7"},       {" 42", "42"},
        {"42 ", nullptr}, {"0", nullptr}, {"-5", nullptr},   {"3.5", nullptr},
        {"12a", nullptr}, {" ", nullptr}, {"0x1F", nullptr}, {"99999999999999999999", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.typed + "'");
        OpenFreshFrame();
        AddGear(c.typed);
        std::vector<std::string> expected = kDefaultGears;
        if (c.added != nullptr) {
            expected.push_back(c.added);
            std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
                return std::stol(a) < std::stol(b);
            });
        }
        EXPECT_EQ(Items(lbGears()), expected);
        EXPECT_EQ(edAdd()->GetValue(), "");
        EXPECT_FALSE(bnAdd()->IsEnabled());
    }
}

TEST_F(GearsTest, ListStaysInNumericOrderWithDuplicates) {
    AddGear("100");
    AddGear("45");
    AddGear("9");
    EXPECT_EQ(Items(lbGears()),
              (std::vector<std::string>{"9", "20", "20", "25", "30", "35", "40", "40", "45", "45",
                                        "50", "55", "60", "65", "80", "80", "100"}));
}

TEST_F(GearsTest, ButtonsFollowTheEntryAndTheSelection) {
    TypeGear(" ");
    EXPECT_TRUE(bnAdd()->IsEnabled()) << "any character enables Add";
    TypeGear("");
    EXPECT_FALSE(bnAdd()->IsEnabled());

    SelectGear(2);
    EXPECT_TRUE(bnDelete()->IsEnabled());
    AddGear("33");
    EXPECT_TRUE(bnDelete()->IsEnabled()) << "the rebuild drops the selection, not the button";
    EXPECT_EQ(lbGears()->GetSelection(), wxNOT_FOUND);
    const auto before = Items(lbGears());
    Click(bnDelete());
    EXPECT_EQ(Items(lbGears()), before) << "nothing selected, nothing deleted";
    EXPECT_FALSE(bnDelete()->IsEnabled());

    SelectGear(0);
    Click(bnDelete());
    EXPECT_EQ(lbGears()->GetCount(), before.size() - 1);
    EXPECT_EQ(lbGears()->GetString(0), "20");
    EXPECT_FALSE(bnDelete()->IsEnabled());
    EXPECT_EQ(lbGears()->GetSelection(), wxNOT_FOUND);
}

TEST_F(GearsTest, AddAndDeleteRecalculateOnlyWithValidInputs) {
    // No default train cuts 19 tpi from a 16 tpi lead screw; a 57 does.
    Calculate("19", "16");
    ASSERT_EQ(lbResults()->GetCount(), 5u);
    EXPECT_EQ(lbResults()->GetString(0).find("Error =  0.000%"), wxString::npos);
    AddGear("57");
    EXPECT_NE(lbResults()->GetString(0).find("Error =  0.000%"), wxString::npos);

    edThread()->SetValue("abc");
    const auto before = Items(lbResults());
    AddGear("72");
    SelectGear(0);
    Click(bnDelete());
    EXPECT_EQ(Items(lbResults()), before) << "no message, no change";

    edThread()->SetValue("19");
    SelectGear(lbGears()->FindString("57"));
    Click(bnDelete());
    EXPECT_NE(Items(lbResults()), before);
    EXPECT_EQ(lbResults()->GetString(0).find("Error =  0.000%"), wxString::npos);
}

TEST_F(GearsTest, DeletingDownToOneGearKeepsTheResults) {
    Calculate("16", "8");
    while (lbGears()->GetCount() > 1) {
        SelectGear(0);
        Click(bnDelete());
    }
    const auto before = Items(lbResults());
    SelectGear(0);
    Click(bnDelete());
    EXPECT_EQ(lbGears()->GetCount(), 0u);
    EXPECT_EQ(Items(lbResults()), before);
}

class SettingsTest : public FrameTest {};

TEST_F(SettingsTest, EveryStoredInputSurvivesARestart) {
    OpenFrame();
    AddGear("127");
    SelectGear(0);
    Click(bnDelete());
    Choose(rbDP());
    edLeadScrew()->SetValue("2.5");
    Choose(rbMM());
    SetShow(17);
    edThread()->SetValue("12");
    const auto gears = Items(lbGears());

    OpenFrame();
    EXPECT_EQ(Items(lbGears()), gears);
    EXPECT_TRUE(rbDP()->GetValue());
    EXPECT_EQ(stUnits()->GetLabel(), "DP");
    EXPECT_EQ(edLeadScrew()->GetValue(), "2.5");
    EXPECT_TRUE(rbMM()->GetValue());
    EXPECT_EQ(spShow()->GetValue(), 17);
    EXPECT_EQ(edThread()->GetValue(), "") << "the desired thread is not stored";
    EXPECT_EQ(lbResults()->GetCount(), 0u);

    const std::string stored = ReadSettingsFile();
    EXPECT_NE(stored.find("[Gears]\n0=20\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("13=127\nCount=14\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("[Settings]\nType=2\nLeadScrew=2.5\nLeadScrewType=1\nShow=17\n"),
              std::string::npos)
        << stored;
}

TEST_F(SettingsTest, EmptyGearListAtExitGivesTheDefaultsBack) {
    OpenFrame();
    while (lbGears()->GetCount() > 0) {
        SelectGear(0);
        Click(bnDelete());
    }
    OpenFrame();
    EXPECT_EQ(Items(lbGears()), kDefaultGears);
    EXPECT_NE(ReadSettingsFile().find("Count=0"), std::string::npos);
}

TEST_F(SettingsTest, UnusableLeadScrewAtExitKeepsTheStoredOne) {
    for (const char* typed : {"abc", "", "0", "-3", "inf"}) {
        SCOPED_TRACE(typed);
        OpenFrame();
        edLeadScrew()->SetValue("12.7");
        OpenFrame();
        edLeadScrew()->SetValue(typed);
        OpenFrame();
        EXPECT_EQ(edLeadScrew()->GetValue(), "12.7");
    }
}

TEST_F(SettingsTest, StoredValuesAreReadAsTheWindowWroteThem) {
    const struct {
        const char* content;
        std::vector<std::string> gears;
        const char* typeButton;
        bool mm;
        const char* leadScrew;
        int show;
    } cases[] = {
        {"[Settings]\nType=7\nLeadScrewType=2\nShow=500\n", kDefaultGears, "ID_RADIOBUTTON1", false,
         "16", 99},
        {"[Settings]\nType=-1\nShow=0\nLeadScrew=0.333333333\n", kDefaultGears, "ID_RADIOBUTTON1",
         false, "0.333333", 1},
        {"[Settings]\nType=3\nLeadScrewType=1\nLeadScrew=-4\n", kDefaultGears, "ID_RADIOBUTTON4",
         true, "-4", 5},
        {"[Gears]\nCount=3\n0=40\n2=30\n", {"30", "40"}, "ID_RADIOBUTTON1", false, "16", 5},
        {"[Gears]\nCount=3\n0=40\n1=0\n2=-30\n", {"40"}, "ID_RADIOBUTTON1", false, "16", 5},
        {"[Gears]\nCount=0\n0=40\n", kDefaultGears, "ID_RADIOBUTTON1", false, "16", 5},
        {"[Gears]\nCount=2\n0=40\n1=35\n2=99\n", {"35", "40"}, "ID_RADIOBUTTON1", false, "16", 5},
        {"[Settings]\nType=1\n", kDefaultGears, "ID_RADIOBUTTON2", false, "16", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        CloseFrame();
        WriteSettingsFile(c.content);
        OpenFrame();
        EXPECT_EQ(Items(lbGears()), c.gears);
        EXPECT_TRUE(Find<wxRadioButton>(c.typeButton)->GetValue());
        EXPECT_EQ(rbMM()->GetValue(), c.mm);
        EXPECT_EQ(rbTPI()->GetValue(), !c.mm);
        EXPECT_EQ(edLeadScrew()->GetValue(), c.leadScrew);
        EXPECT_EQ(spShow()->GetValue(), c.show);
    }
}

TEST_F(SettingsTest, HugeStoredCountLoadsAtOnce) {
    // Read index by index this would take minutes; CTest's time-out fails it.
    WriteSettingsFile("[Gears]\nCount=2000000000\n0=40\n1=50\n");
    OpenFrame();
    EXPECT_EQ(Items(lbGears()), (std::vector<std::string>{"40", "50"}));
}

TEST_F(SettingsTest, MissingConfigDirectoryIsCreated) {
    setenv("XDG_CONFIG_HOME", (storeDirectory + "/config/deeper/still").c_str(), 1);
    OpenFrame();
    AddGear("77");
    CloseFrame();
    EXPECT_TRUE(LoggedProblems().empty());
    struct stat info;
    ASSERT_EQ(stat((storeDirectory + "/config/deeper/still/vantorel.conf").c_str(), &info), 0);
    OpenFrame();
    const auto gears = Items(lbGears());
    EXPECT_NE(std::find(gears.begin(), gears.end(), "77"), gears.end());
}

TEST_F(SettingsTest, DamagedStoresGiveDefaultsSilently) {
    const std::string binary = Bytes("\x7f"
                                     "ELF\x02\x01\x01\0\0\xff\xfe[Gears\n\0=\n");
    const struct {
        const char* name;
        std::string content;
        bool directory;
    } cases[] = {
        {"garbage lines", "this is not\n[[[\n=\n[Gears]\nCount=abc\n0=forty\n", false},
        {"binary", binary, false},
        {"NUL inside a key", Bytes("[Gears]\nC\0\0ount=5\n0=40\n"), false},
        {"directory in its place", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CloseFrame();
        std::system(("rm -rf '" + SettingsPath() + "'").c_str());
        if (c.directory) {
            delete wxConfigBase::Set(nullptr);
            std::system(("mkdir -p '" + SettingsPath() + "'").c_str());
        } else {
            WriteSettingsFile(c.content);
        }
        LoggedProblems().clear();
        OpenFrame(); // any dialog fails the test through the hooks
        EXPECT_EQ(Items(lbGears()), kDefaultGears);
        EXPECT_TRUE(rbSAE()->GetValue());
        EXPECT_EQ(edLeadScrew()->GetValue(), "16");
        CloseFrame();
        EXPECT_TRUE(LoggedProblems().empty()) << LoggedProblems().front();
        // What was saved over the damage must read back as it was written.
        delete wxConfigBase::Set(nullptr);
        OpenFrame();
        EXPECT_EQ(Items(lbGears()), kDefaultGears);
    }
}

TEST_F(SettingsTest, FailedSaveKeepsTheEarlierFileWhole) {
    OpenFrame();
    AddGear("91");
    CloseFrame();
    const std::string earlier = ReadSettingsFile();
    ASSERT_NE(earlier.find("91"), std::string::npos);

    OpenFrame();
    for (int i = 0; i < 200; ++i) { // a save far larger than the space left
        AddGear("1000");
    }
    // As if the disk were full: every write past this size fails.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small = {static_cast<rlim_t>(earlier.size()), limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    CloseFrame();
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(ReadSettingsFile(), earlier);
    EXPECT_TRUE(LoggedProblems().empty());
    delete wxConfigBase::Set(nullptr); // an unsaved store must not write at exit either
    EXPECT_EQ(ReadSettingsFile(), earlier);
}

} // namespace
