// The thread dial: where the half-nut may close for a train. Every answer
// here is worked by hand from R = g x (A C E)/(B D F), j0 = R's numerator
// in lowest terms, s = j0 / gcd(j0, T/k).
#include "cli_run.h"
#include "lathe/chart.h"
#include "lathe/dial.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

ReportedTrain Train(std::vector<std::int64_t> gears) {
    ReportedTrain train{gears[0], gears[1], gears[2], gears[3], {}, {}, 0.0, 0.0, ""};
    if (gears.size() == 6) {
        train.E = gears[4];
        train.F = gears[5];
    }
    return train;
}

struct DialRow {
    const char* why;
    LeadScrewUnit unit;
    const char* screw;    // the real screw, with a gearbox
    const char* position; // the gearbox position's screw; "" without a gearbox
    const char* dial;
    std::vector<std::int64_t> train; // A B C D [E F]; B == C is a simple train
    const char* answer;
};

TEST(Dial, AnswersAsWorkedByHand) {
    const auto tpi = LeadScrewUnit::TPI;
    const auto mm = LeadScrewUnit::MM;
    const DialRow rows[] = {
        // The published chart of a 16 tpi lathe with a 16-tooth, 8-mark dial (T/k = 2).
        {"16 tpi: R = 1", tpi, "", "", "16:8", {20, 50, 50, 20}, "anywhere"},
        {"13 tpi: R = 16/13, s = 16/2", tpi, "", "", "16:8", {80, 50, 50, 65}, "1"},
        {"14 tpi: R = 8/7, s = 8/2", tpi, "", "", "16:8", {40, 50, 50, 35}, "1,5"},
        {"12 tpi: R = 4/3, s = 4/2", tpi, "", "", "16:8", {40, 50, 50, 30}, "1,3,5,7"},
        // 4 tpi on an 8 tpi screw is no "any thread": R = 2, s = 2/gcd(2, 2) = 1.
        {"4 tpi on 8: R = 2", tpi, "", "", "16:8", {40, 50, 50, 20}, "1,2,3,4,5,6,7,8"},
        // 1 mm on 16 tpi through 21-50-60-40: R = 63/100.
        {"approximate 1 mm", tpi, "", "", "16:8", {21, 50, 60, 40}, "none"},
        {"j0 = 3 below T, no divisor", tpi, "", "", "16:8", {30, 50, 50, 20}, "none"},
        // T/k = 3 is coprime to j0 = 2: s = 2.
        {"24:8, R = 2", tpi, "", "", "24:8", {40, 50, 50, 20}, "1,3,5,7"},
        // Interchangeable 40:8 and 42:7 on a 2 mm screw, in order.
        {"2.5 mm: R = 5/4, first gear",
         mm,
         "",
         "",
         "40:8,42:7",
         {50, 50, 50, 40},
         "1,2,3,4,5,6,7,8 (gear 40)"},
        {"1.5 mm: R = 3/4, second gear",
         mm,
         "",
         "",
         "40:8,42:7",
         {30, 50, 50, 40},
         "1,2,3,4,5,6,7 (gear 42)"},
        {"1.75 mm: R = 7/8, s = 7", mm, "", "", "40:8,42:7", {35, 50, 50, 40}, "1 (gear 42)"},
        {"1.3 mm: R = 13/20, neither", mm, "", "", "40:8,42:7", {65, 50, 50, 100}, "none"},
        {"several gears, anywhere", mm, "", "", "40:8,42:7", {40, 50, 50, 40}, "anywhere"},
        // Two pairs, and three: (40 20 50)/(45 25 40) = 8/9, s = 4.
        {"two pairs: (40 30)/(20 45) = 4/3", tpi, "", "", "16:8", {40, 20, 30, 45}, "1,3,5,7"},
        {"three pairs: R = 8/9", tpi, "", "", "16:8", {40, 45, 20, 25, 50, 40}, "1,5"},
        // A gearbox position of 16 tpi on a real 8 tpi screw: g = (1/16)/(1/8) = 1/2.
        {"g = 1/2 in tpi", tpi, "8", "16", "16:8", {40, 50, 50, 20}, "anywhere"},
        {"g = 1/2 times 16/7", tpi, "8", "16", "16:8", {80, 50, 50, 35}, "1,5"},
        // In mm g is the pitches' ratio: 3/6; a wrong way round gives R = 4.
        {"g = 1/2 in mm", mm, "6", "3", "16:8", {40, 50, 50, 20}, "anywhere"},
        // 8.4666667 / 2 = 4.23333335 exactly: R = 1/2 x 2; one digit off is none.
        {"many decimals", mm, "8.4666667", "4.23333335", "16:8", {40, 50, 50, 20}, "anywhere"},
        {"many decimals, off", mm, "8.4666667", "4.2333334", "16:8", {40, 50, 50, 20}, "none"},
    };
    for (const DialRow& row : rows) {
        SCOPED_TRACE(row.why);
        std::map<std::string, std::string> positions;
        if (*row.position != '\0') {
            positions["P"] = row.position;
        }
        const DialSetup setup =
            MakeDialSetup(ParseDialGears(row.dial), positions, row.screw, row.unit);
        ReportedTrain train = Train(row.train);
        train.gearbox = positions.empty() ? "" : "P";
        EXPECT_EQ(DialText(setup.AnswerFor(train), setup.NamesGear()), row.answer);
    }
}

std::string Reduced(const ExactRatio& ratio) {
    const Whole most = ~Whole{0};
    const auto text = [](std::optional<Whole> value) {
        if (!value) {
            return std::string("too big");
        }
        std::string digits;
        for (Whole rest = *value; rest != 0 || digits.empty(); rest /= 10) {
            digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(rest % 10)));
        }
        return digits;
    };
    return text(ratio.NumeratorUpTo(most)) + "/" + text(ratio.DenominatorUpTo(most));
}

TEST(Dial, ReducesWhatWouldOverflowIfMultipliedOut) {
    const std::int64_t big = std::numeric_limits<std::int64_t>::max(); // 2^63 - 1
    const auto ratio = [](const char* screw, const char* position,
                          std::vector<std::int64_t> gears) {
        return CutOverScrew(Train(gears), GearboxFactor(*ExactDecimal(position),
                                                        *ExactDecimal(screw), LeadScrewUnit::MM));
    };
    // 84666667 x 10^7 x 100 x 99 x 98 is about 8e20: past 64 bits. The
    // factors 10^7 cancel; 21166667 is prime to 2, 3, 5, 7 and 11, and
    // 84666667 to 97, 89 and 83, so R = (84666667 x 970200)/(21166667 x 716539).
    EXPECT_EQ(Reduced(ratio("2.1166667", "8.4666667", {100, 97, 99, 89, 98, 83})),
              "82143600323400/15166742405513");
    // 8.4666667 / 2.116666675 = 4 exactly; the gears cancel to 1.
    EXPECT_EQ(Reduced(ratio("2.116666675", "8.4666667", {100, 99, 99, 98, 98, 100})), "4/1");
    // Tooth counts of 2^63 - 1 and 2^63 - 2 (coprime) cancel: 40/20.
    EXPECT_EQ(Reduced(ratio("1", "1", {big, big - 1, big - 1, big, 40, 20})), "2/1");
    // (2^63 - 1)^3 does not fit in 128 bits; it is told, not wrapped.
    const ExactRatio huge = ratio("1", "1", {big, 1, big, 1, big, 1});
    EXPECT_EQ(Reduced(huge), "too big/1");
    EXPECT_EQ(DialText(ReadDial(huge, {{16, 8}}), false), "none");
    // (2^63 - 1) x 2 takes 65 bits.
    EXPECT_EQ(Reduced(ratio("1", "1", {big, 1, big, 1, 2, big})), "18446744073709551614/1");
}

TEST(Dial, ReadsDecimalsExactlyAsTyped) {
    const char* const cases[][2] = {
        {"8.4666667", "84666667/10000000"},
        {"+3.250", "13/4"},
        {"0.0625", "1/16"},
        {"1.5e2", "150/1"},
        {"25E-1", "5/2"},
        {".5", "1/2"},
        {"7.", "7/1"},
        {"1e38", "100000000000000000000000000000000000000/1"},
        {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678/1"},
    };
    for (const auto& [text, reduced] : cases) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(ExactDecimal(text));
        EXPECT_EQ(Reduced(*ExactDecimal(text)), reduced);
    }
    for (const char* bad : {"", "0", "0.000", "-1", "abc", ".", "1e", "1e39", "1e-39", " 1", "0x10",
                            "inf", "1,5", "123456789012345678901234567890123456789"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ExactDecimal(bad));
    }
}

std::string Outcome(const std::string& args) {
    std::istringstream in(args);
    const CliRun run =
        RunWith(std::vector<std::string>(std::istream_iterator<std::string>(in), {}));
    return std::to_string(run.status) + "|" + run.out + "|" + run.err;
}

TEST(Dial, EveryOutputSaysIt) {
    // 12 tpi on 16 tpi through A = 40, D = 30: R = 4/3.
    const std::string line = "A = 40, B = ANY, C = --, D = 30, Thread = 12.000, Error =  0.000%";
    const std::string cases[][2] = {
        {"--dial 16:8 12", "0|" + line + ", Dial = 1,3,5,7\n|"},
        {"--dial 15:5,16:8 12", "0|" + line + ", Dial = 1,3,5,7 (gear 16)\n|"},
        // 32 tpi through A = 20, D = 40: R = 1/2.
        {"--dial 16:8 32", "0|A = 20, B = ANY, C = --, D = 40, Thread = 32.000, Error =  "
                           "0.000%, Dial = anywhere\n|"},
        {"--dial 16:8 --format csv 12",
         "0|rank,a,b,c,d,e,f,simple,thread,unit,error_percent,dial_gear,dial_marks\n"
         "1,40,,,30,,,true,12.000000,tpi,0.000000,16,\"1,3,5,7\"\n|"},
        // 16 x 40/30 = 21.333 tpi: R = 3/4 and 3 does not divide 16.
        {"--dial 16:8 --format csv 21.3",
         "0|rank,a,b,c,d,e,f,simple,thread,unit,error_percent,dial_gear,dial_marks\n"
         "1,30,,,40,,,true,21.333333,tpi,0.156495,,none\n|"},
    };
    for (const auto& [args, outcome] : cases) {
        SCOPED_TRACE(args);
        EXPECT_EQ(Outcome("-n 1 -g 20,30,40 " + args), outcome);
    }
    const auto json = [](const char* thread) {
        return nlohmann::json::parse(
            RunWith({"-g", "20,30,40", "--dial", "16:8", "--format", "json", "-n", "2", thread})
                .out);
    };
    EXPECT_EQ(json("12")[0]["dial"],
              nlohmann::json::parse(R"({"gear": 16, "marks": [1, 3, 5, 7]})"));
    EXPECT_EQ(json("12")[1]["dial"], nullptr); // 10.667 tpi through 30/20: R = 3/2
    EXPECT_EQ(json("32")[0]["dial"], nlohmann::json::parse(R"({"anywhere": true})"));
}

TEST(Dial, ChartsHaveADialColumnAndAKey) {
    const CliRun run =
        RunWith({"chart", "--threads", "unc", "-l", "32", "-g", "20,30,40", "--dial", "16:8"});
    EXPECT_NE(run.out.find("Dial 16 teeth, 8 marks\nDial marks are counted from the mark of the "
                           "first pass, which is 1; anywhere: close the half-nut at any point; "
                           "none: keep the nut closed and reverse\n"),
              std::string::npos);
    // #1-64 wants 64 tpi: 32 x 40/20 needs A = 20, D = 40, so R = 1/2.
    EXPECT_NE(run.out.find("Error  Dial\n#1-64      64 tpi           20    ANY     --     40     "
                           "64.000    0.000%  anywhere\n"),
              std::string::npos)
        << run.out;
    const CliRun csv = RunWith({"chart", "--threads", "unc", "-l", "32", "-g", "20,30,40", "--dial",
                                "16:8", "--format", "csv"});
    EXPECT_NE(
        csv.out.find(",error_percent,dial_gear,dial_marks\n"
                     "unc,#1-64,64.000000,tpi,1,20,,,40,,,true,64.000000,0.000000,,anywhere\n"),
        std::string::npos);
}

TEST(Dial, RefusesBadDialsNamingTheOptionOrField) {
    const std::string hint = " (try 'vantorel-cli --help')\n";
    const std::string cases[][2] = {
        {"--dial 16:0", "--dial: dial gear '16:0': marks must be a whole number of at least 1"},
        {"--dial 0:8", "--dial: dial gear '0:8': teeth must be a whole number from 1 to 1000"},
        {"--dial 1001:1",
         "--dial: dial gear '1001:1': teeth must be a whole number from 1 to 1000"},
        {"--dial 16:5", "--dial: dial gear '16:5': marks (5) must divide teeth (16)"},
        {"--dial 16:-8", "--dial: invalid dial gear '16:-8' (TEETH:MARKS)"},
        {"--dial 16:8,16", "--dial: invalid dial gear '16' (TEETH:MARKS)"},
        {"--dial 16:8 --dial-screw 0", "--dial-screw: '0' is not a decimal above 0"},
        {"--dial 16:8 --dial-screw 8", "option '--dial-screw' applies only with a gearbox"},
        {"--dial-screw 8", "option '--dial-screw' needs a dial (--dial)"},
        {"--gearbox A=8 --dial 16:8",
         "a dial on a gearbox needs --dial-screw, the real lead screw"},
        {"--gearbox A=1e-50 --dial 16:8 --dial-screw 8",
         "lead screw '1e-50' of gearbox position 'A' cannot be read as an exact decimal"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args);
        EXPECT_EQ(Outcome(args + " 16"), "2||vantorel-cli: " + message + hint);
    }
}

// Profiles in a fresh $XDG_CONFIG_HOME.
class DialProfiles : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantorel-dial-XXXXXX";
        root_ = mkdtemp(pattern);
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
        fs::create_directories(root_ + "/vantorel/lathes");
    }
    void TearDown() override { fs::remove_all(root_); }
    std::string Write(const std::string& json) const {
        const std::string file = root_ + "/vantorel/lathes/p.json";
        std::ofstream(file) << json;
        return file;
    }
    std::string root_;
};

TEST_F(DialProfiles, GiveTheDialAndTheRealScrewOfAGearbox) {
    // Position A drives like 16 tpi on the real 8 tpi screw: g = 1/2, and
    // 32 tpi through A = 20, D = 40 makes R = 1/4.
    Write(R"({"lead_screw": 8, "gearbox": [{"label": "A", "lead_screw": 16}],
              "gears": [20, 30, 40], "dial": [{"teeth": 16, "marks": 8}]})");
    const std::string train = "0|[A] A = 20, B = ANY, C = --, D = 40, Thread = 32.000, ";
    const std::string same = train + "Error =  0.000%, Dial = anywhere\n|";
    EXPECT_EQ(Outcome("--lathe p -n 1 32"), same);
    EXPECT_EQ(Outcome("--gearbox A=16 --dial-screw 8 -g 20,30,40 --dial 16:8 -n 1 32"), same);
    // --dial-screw overrides: 48 tpi makes g = 3 and R = 3/2.
    EXPECT_EQ(Outcome("--lathe p --dial-screw 48 -n 1 32"),
              train + "Error =  0.000%, Dial = none\n|");
    // On the real screw alone g = 1: 4 tpi through 40/20 makes R = 2.
    EXPECT_EQ(Outcome("--lathe p -l 8 -n 1 4"),
              "0|A = 40, B = ANY, C = --, D = 20, Thread =  4.000, Error =  0.000%, "
              "Dial = 1,2,3,4,5,6,7,8\n|");
    // A position typed with more digits than a double holds is read as typed:
    // g = 846666670000000001/846666670000000000, and R's numerator is as large.
    for (const auto& [position, dial] :
         {std::pair{"8.4666667", "anywhere"}, std::pair{"8.46666670000000001", "none"}}) {
        SCOPED_TRACE(position);
        EXPECT_NE(
            Outcome(std::string("-u mm --gearbox A=") + position +
                    " --dial-screw 8.4666667 -g 20,30,40 --dial 16:8 -n 1 -t metric 4.23333335")
                .find(std::string("D = 40, Thread =  4.233, Error =  0.000%, Dial = ") + dial +
                      "\n"),
            std::string::npos);
    }
    EXPECT_EQ(Outcome("lathes --save q --lathe p"), "0||");
    std::ifstream saved(root_ + "/vantorel/lathes/q.json");
    const auto json = nlohmann::json::parse(saved);
    EXPECT_EQ(json["lead_screw"], 8);
    EXPECT_EQ(json["dial"], nlohmann::json::parse(R"({"teeth": 16, "marks": 8})"));
}

TEST_F(DialProfiles, BadDialsNameTheField) {
    const std::string cases[][2] = {
        {R"({"dial": {"teeth": 16, "marks": 0}})",
         "field 'dial.marks': expected a whole number >= 1"},
        {R"({"dial": [{"teeth": 16, "marks": 8}, {"teeth": 16, "marks": 5}]})",
         "field 'dial[1]': marks (5) must divide teeth (16)"},
        {R"({"dial": [{"teeth": 16}]})",
         "field 'dial[0]': expected an object with teeth and marks"},
        {R"({"dial": {"teeth": 16, "marks": 8, "colour": 1}})",
         "field 'dial.colour': unknown field"},
        {R"({"dial": []})", "field 'dial': expected a dial gear or a list of them"},
        {R"({"gearbox": [{"label": "A", "lead_screw": 2}], "dial": {"teeth": 16, "marks": 8}})",
         "field 'dial': a dial on a gearbox needs the real screw's pitch as lead_screw"},
        {R"({"lead_screw": 8, "gearbox": [{"label": "A", "lead_screw": 2}]})",
         "field 'gearbox': a lathe has a lead screw or a gearbox, not both"},
    };
    for (const auto& [json, problem] : cases) {
        SCOPED_TRACE(json);
        const std::string file = Write(json);
        EXPECT_EQ(Outcome("--lathe p 16"), "2||vantorel-cli: " + file + ": " + problem + "\n");
    }
}

} // namespace
