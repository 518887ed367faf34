// The settings that carry the gear list and the inputs from one run to the
// next, through real saves and loads of the store file.
#include "gui_fixture.h"

namespace {

const std::string kDefaults = kFirstRun.substr(0, 42);

// Every stored key with each value it can take, written by closing the
// window and read back by the next one; the desired thread is not stored,
// and an unusable lead screw at exit leaves the stored one.
TEST_F(WindowTest, EveryStoredInputSurvivesARestart) {
    const struct {
        const char *radios, *typedLead;
        int show;
        const char *gear, *unusable, *state, *stored;
    } cases[] = {
        {"SAE mm", "16.0", 1, "127", "abc", "SAE mm tpi 16 1",
         "Type=0\nLeadScrew=16\nLeadScrewType=1\nShow=1\n"},
        {"Metric tpi", "2.5", 99, "7", "", "Metric tpi mm 2.5 99",
         "Type=1\nLeadScrew=2.5\nLeadScrewType=0\nShow=99\n"},
        // Kept to the last digit typed, not rounded to six.
        {"DP mm", "0.333333333", 17, "1000", "0", "DP mm DP 0.333333333 17",
         "Type=2\nLeadScrew=0.333333333\nLeadScrewType=1\nShow=17\n"},
        {"Modulus tpi", "1e-300", 2, "45", "-3", "Modulus tpi Modulus 1e-300 2",
         "Type=3\nLeadScrew=1e-300\nLeadScrewType=0\nShow=2\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radios);
        OpenFresh();
        AddGear(c.gear);
        SelectGear(0);
        Click(bnDelete());
        Choose(c.radios);
        edLeadScrew()->SetValue(c.typedLead);
        SetShow(c.show);
        edThread()->SetValue("12");
        const std::string state = State().substr(0, State().find(' ') + 1) + c.state;
        Reopen();
        EXPECT_EQ(State(), state);
        EXPECT_EQ(edThread()->GetValue(), "");
        const std::string text = StoredText();
        EXPECT_EQ(text.substr(text.find("Count=")),
                  "Count=14\n[Settings]\n" + std::string(c.stored));
    }
}

// What the store holds, however it came there, is read within the bounds of
// the window; a save and a load then give the same state back.
TEST_F(WindowTest, StoredValuesAreReadWithinTheirBounds) {
    const struct {
        const char *content, *state; // state without gears: the default ones
    } cases[] = {
        {"[Settings]\nType=7\nLeadScrewType=2\nShow=100\n", " SAE tpi tpi 16 99"},
        {"[Settings]\nType=-1\nShow=0\nLeadScrew=-4\n", " SAE tpi tpi -4 1"},
        {"[Settings]\nType=1\nShow=99\nLeadScrewType=1\n", " Metric mm mm 16 99"},
        {"[Settings]\nType=2\nShow=1\nLeadScrewType=0\n", " DP tpi DP 16 1"},
        {"[Settings]\nType=3\nShow=-5\nLeadScrew=0.0254\n", " Modulus tpi Modulus 0.0254 1"},
        {"[Gears]\nCount=0\n0=40\n", " SAE tpi tpi 16 5"},
        {"[Gears]\nCount=1\n0=40\n1=50\n", "40, SAE tpi tpi 16 5"},
        {"[Gears]\nCount=5\n0=40\n1=35\n4=99\n5=77\n", "35,40,99, SAE tpi tpi 16 5"},
        {"[Gears]\nCount=3\n0=40\n1=0\n2=-30\n", "40, SAE tpi tpi 16 5"},
        {"[Gears]\nCount=2000000000\n0=40\n7=50\n", "40,50, SAE tpi tpi 16 5"},
        // As "%g" shows it where that reads back, with more digits where not:
        // 25.4/3 to eight digits, a seven-digit whole number, not 1e+05.
        {"[Settings]\nLeadScrew=8.4666667\n", " SAE tpi tpi 8.4666667 5"},
        {"[Settings]\nLeadScrew=1234567\n", " SAE tpi tpi 1234567 5"},
        {"[Settings]\nLeadScrew=100000\n", " SAE tpi tpi 100000 5"},
        {"[Settings]\nLeadScrew=0.333333\n", " SAE tpi tpi 0.333333 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        OpenOnStore("printf '" + std::string(c.content) + "' >vantorel.conf");
        const std::string expected = (c.state[0] == ' ' ? kDefaults : "") + c.state;
        EXPECT_EQ(State(), expected);
        Reopen();
        EXPECT_EQ(State(), expected);
    }
}

TEST_F(WindowTest, EmptyGearListAtExitGivesTheDefaultsBack) {
    KeepGears(0);
    Reopen();
    EXPECT_EQ(State(), kFirstRun);
    EXPECT_EQ(StoredText().substr(0, 17), "[Gears]\nCount=0\n[");
}

// Damage gives the defaults with no dialog and nothing logged; a store that
// is not a regular file blocks neither the start nor the save, and stays.
TEST_F(WindowTest, DamagedStoresGiveDefaultsSilently) {
    for (const char* damage : {
             "printf 'not\\n[[[\\n=\\n[Gears]\\nCount=abc\\n0=forty\\n' >vantorel.conf",
             "printf '\\177ELF\\2\\1\\1\\0\\0\\377\\376[Gears\\n\\0=\\n' >vantorel.conf",
             "printf '[Gears]\\nC\\0\\0ount=5\\n0=40\\n' >vantorel.conf",
             "mkdir vantorel.conf",
             "mkfifo vantorel.conf",
             "mkfifo fifo && ln -s fifo vantorel.conf",
         }) {
        SCOPED_TRACE(damage);
        const std::string kind = OpenOnStore("rm -rf vantorel.conf && " + std::string(damage) +
                                             " && stat -Lc %F vantorel.conf");
        EXPECT_EQ(State(), kFirstRun);
        Reopen(); // on what the first one saved
        EXPECT_EQ(State(), kFirstRun);
        EXPECT_EQ(LoggedProblems(), Lines());
        const std::string now = Shell(store, "stat -Lc %F vantorel.conf");
        EXPECT_EQ(now, kind == "regular file\n" ? now : kind) << "left as it was";
    }
}

// A NUL byte anywhere makes the whole store untrusted: the window starts on
// the defaults, yet the file stays byte for byte until the close saves.
TEST_F(WindowTest, StoreWithANulByteStaysUntilTheClose) {
    const std::string damaged =
        "printf '[Gears]\\nCount=1\\n0=57\\n[Other]\\nx=\\0\\n' >vantorel.conf";
    OpenOnStore(damaged + " && cp vantorel.conf before");
    EXPECT_EQ(State(), kFirstRun);
    EXPECT_EQ(Shell(store, "cmp vantorel.conf before && echo same"), "same\n");
    Reopen(); // the close saves the window's settings, and only them, in its place
    const std::string saved = StoredText();
    EXPECT_NE(saved.find("\nCount=14\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("Other"), std::string::npos) << saved;
}

} // namespace
