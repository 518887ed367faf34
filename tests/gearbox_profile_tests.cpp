// Gearbox positions searched with the change gears, and lathe profiles: how
// they rank, override, save and fail. A train cuts lead x (B/A) x (D/C).
#include "cli_run.h"
#include "shell.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;
using namespace std::string_literals;
namespace fs = std::filesystem;
const std::string kHint = " (try 'vantorel-cli --help')\n";
const std::string kLabelRule = " (1 to 16 letters, digits, '-', '_', '.' or '/')";

Args Words(const std::string& text) {
    std::istringstream in(text);
    return Args(std::istream_iterator<std::string>(in), {});
}

// JSON as parsed, so that only its content counts.
std::string Normal(const std::string& out) {
    const auto json = nlohmann::json::parse(out, nullptr, false);
    return json.is_discarded() ? out : json.dump();
}

// The whole run in one string, so a failing row shows every stream at once.
std::string Outcome(const std::string& args) {
    const CliRun run = RunWith(Words(args));
    return std::to_string(run.status) + "|" + Normal(run.out) + "|" + run.err;
}

TEST(Gearbox, RanksAllPositionsTogetherNamesThemAndChecksTheirLabels) {
    // Gears 20, 30, 40 make only simple trains: lead x D/A. 8 x 40/20 on A
    // ties with 32 x 20/40 on B; next come 8 x 30/20 = 12 and 32 x 20/30.
    const std::string a16 = "A = 20, B = ANY, C = --, D = 40, Thread = 16.000, Error =  0.000%\n";
    const std::string b16 = "A = 40, B = ANY, C = --, D = 20, Thread = 16.000, Error =  0.000%\n";
    const std::string a12 = "A = 20, B = ANY, C = --, D = 30, Thread = 12.000, Error = 25.000%\n";
    const std::string bad = "2||vantorel-cli: --gearbox: ";
    const std::string cases[][2] = {
        {"--gearbox A=8,B=32 -n 3", "0|[A] " + a16 + "[B] " + b16 + "[A] " + a12 + "|"},
        {"--gearbox B=32,A=8 -n 3", "0|[B] " + b16 + "[A] " + a16 + "[A] " + a12 + "|"},
        // 6.35 mm is 4 tpi, 3.175 mm is 8.
        {"-u mm --gearbox X=6.35,M/1=3.175 -n 1", "0|[M/1] " + a16 + "|"},
        {"--gearbox B=32,A=8 -n 1 --format csv",
         "0|rank,a,b,c,d,e,f,simple,thread,unit,error_percent,gearbox\n"
         "1,40,,,20,,,true,16.000000,tpi,0.000000,B\n|"},
        {"--gearbox B=32,A=8 -n 1 --format json",
         R"("d":20,"e":null,"error_percent":0.0,"f":null,"gearbox":"B")"},
        // #1-64 wants 64 tpi: 32 x 40/20 on B.
        {"chart --threads unc --gearbox A=8,B=32",
         "Thread     Wanted       Gearbox      A      B      C      D        Cut     Error\n"
         "#1-64      64 tpi       B           20    ANY     --     40     64.000    0.000%\n"},
        {"chart --threads unc --format csv --gearbox A=8,B=32",
         "unc,#1-64,64.000000,tpi,1,20,,,40,,,true,64.000000,0.000000,B\n"},
        {"-n 1 --gearbox abcdefghijklmnop=8,aZ09-_./=0.001", "0|[abcdefghijklmnop] "},
        {"--gearbox abcdefghijklmnopq=8", bad + "invalid label 'abcdefghijklmnopq'" + kLabelRule},
        {"--gearbox =8", bad + "invalid label ''" + kLabelRule + kHint},
        {"--gearbox a+b=8", bad + "invalid label 'a+b'" + kLabelRule + kHint},
        {"--gearbox a=8,a=9", bad + "label 'a' given twice" + kHint},
        {"--gearbox a=0", bad + "lead screw of position 'a' is not a number above 0" + kHint},
        {"--gearbox a,b=8", bad + "invalid position 'a' (LABEL=VALUE)" + kHint},
        // Plain decimals only, as every number typed; 8 x 40/20 = 16.
        {"--gearbox A=+.8e1 -n 1", "0|[A] " + a16 + "|"},

        {"--gearbox a=8 -l 8", "2||vantorel-cli: --lead-screw excludes --gearbox" + kHint},
    };
    for (const auto& [args, part] : cases) {
        SCOPED_TRACE(args);
        const std::string outcome = Outcome(args + " -g 20,30,40" + (args[0] == 'c' ? "" : " 16"));
        EXPECT_NE(outcome.find(part), std::string::npos) << outcome;
    }
}

// Profiles in a fresh $XDG_CONFIG_HOME for each test, and installed ones
// in a folder of its own beside it.
class Lathes : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantorel-lathes-XXXXXX";
        root_ = mkdtemp(pattern);
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
        setenv("VANTOREL_TEST_INSTALLED_LATHES", (root_ + "/installed").c_str(), 1);
        dir_ = root_ + "/vantorel/lathes/";
        fs::create_directories(dir_);
    }
    void TearDown() override {
        unsetenv("VANTOREL_TEST_INSTALLED_LATHES");
        fs::remove_all(root_);
    }
    std::string File(const std::string& name) const { return dir_ + name + ".json"; }
    std::string root_, dir_;
};

TEST_F(Lathes, CommandLineOptionsOverrideTheProfile) {
    // The same lathe as a profile and as options.
    std::ofstream(File("p")) << R"({"lead_unit": "mm", "gears": [20, 30, 40, 50, 60, 70],
        "gearbox": [{"label": "A", "lead_screw": 2.54}, {"label": "B", "lead_screw": 2}],
        "clearance": 10, "min_sum": 170, "spindle_gear": 30, "pairs": 2})";
    const std::string direct = "-u mm --gearbox A=2.54,B=2 -g 20,30,40,50,60,70 --clearance 10 "
                               "--min-sum 170 --spindle-gear 30 --pairs 2 ";
    const std::string cases[] = {
        "-u tpi",        "-l 3",        "--gearbox C=3",     "-g 20,25,30,35,40,45,50",
        "--clearance 0", "--min-sum 0", "--spindle-gear 20", "--pairs 3"};
    const std::string thread = " -n 3 -t metric 2";
    for (const std::string& given : cases) {
        SCOPED_TRACE(given);
        // The option replaces its own, and -l the gearbox.
        const std::string option = given[1] == 'l' ? "--gearbox" : given.substr(0, given.find(' '));
        const std::size_t at = direct.find(option + " ");
        const std::size_t end = direct.find(' ', at + option.size() + 1);
        EXPECT_EQ(Outcome("--lathe p " + given + thread),
                  Outcome(direct.substr(0, at) + given + direct.substr(end) + thread));
        EXPECT_NE(Outcome("--lathe p " + given + thread), Outcome("--lathe p" + thread));
    }
}

TEST_F(Lathes, SaveWritesTheOptionsToLoadAgainAndReplacesOnlyWithForce) {
    const std::string first = R"({"name":"r","lead_unit":"mm","gears":[20,30,40],"clearance":5,
        "min_sum":100,"spindle_gear":20,"pairs":2,"gearbox":[{"label":"A","lead_screw":2.5},{"label":"B/2","lead_screw":1.25}]})";
    const std::string cases[][3] = {
        {"-u mm --gearbox A=2.5,B/2=1.25 -g 30,20,40 --clearance 5 --min-sum 100 --spindle-gear 20",
         "0||", first},
        {"-l 8",
         "1||vantorel-cli: lathe 'r' exists (" + File("r") + "); give --force to replace it\n",
         first},
        {"-l 8 --pairs 3 --force", "0||",
         R"({"name":"r","lead_unit":"tpi","lead_screw":8.0,"pairs":3,
             "gears":[20,20,25,30,35,40,40,45,50,55,60,65,80,80]})"},
    };
    std::string saved;
    for (const auto& [options, outcome, file] : cases) {
        SCOPED_TRACE(options);
        EXPECT_EQ(Outcome("lathes --save r " + options), outcome);
        std::ostringstream text;
        text << std::ifstream(File("r")).rdbuf();
        EXPECT_EQ(Normal(text.str()), Normal(file));
        saved = outcome == "0||" ? options.substr(0, options.find(" --force")) : saved;
        EXPECT_EQ(Outcome("--lathe r -n 2 16"), Outcome(saved + " -n 2 16"));
    }
}

// Options name the same setting before a command's name or after it, so a
// profile given before `lathes` is the one saved, never the defaults.
TEST_F(Lathes, OptionsBeforeTheCommandCountAsAfterIt) {
    ASSERT_EQ(Outcome("lathes --save r -u mm -l 2.5 -g 30,20,40 --clearance 5"), "0||");
    const std::string cases[][2] = {
        {"--lathe r lathes --save a", R"({"name":"a","lead_unit":"mm","lead_screw":2.5,
            "gears":[20,30,40],"clearance":5,"pairs":2})"},
        {"lathes --lathe r --save b", R"({"name":"b","lead_unit":"mm","lead_screw":2.5,
            "gears":[20,30,40],"clearance":5,"pairs":2})"},
        {"-l 3 --lathe r lathes --save c", R"({"name":"c","lead_unit":"mm","lead_screw":3.0,
            "gears":[20,30,40],"clearance":5,"pairs":2})"},
    };
    for (const auto& [command, file] : cases) {
        SCOPED_TRACE(command);
        EXPECT_EQ(Outcome(command), "0||");
        std::ostringstream text;
        text << std::ifstream(File(file.substr(9, 1))).rdbuf();
        EXPECT_EQ(Normal(text.str()), Normal(file));
    }
}

TEST_F(Lathes, BadProfilesNameFileAndFieldWriteNothingAndShowInTheList) {
    const std::string cases[][2] = {
        {"{\n\"lead_screw\": tru\n}", "line 2: not valid JSON"},
        {R"({"colour": 1})", "field 'colour': unknown field"},
        {R"({"gears": "20"})", "field 'gears': expected a list of tooth counts"},
        {R"({"pairs": 4})", "field 'pairs': expected 2 or 3"},
        {R"({"gears": [1, 0]})", "field 'gears[1]': expected a whole number >= 1"},
        {R"({"clearance": 0, "min_sum": -1})", "field 'min_sum': expected a whole number >= 0"},
        {R"({"min_sum":0,"spindle_gear":0})", "field 'spindle_gear': expected a whole number >= 1"},
        {R"({"gearbox": [{"label": "A", "lead_screw": 0}]})",
         "field 'gearbox[0].lead_screw': expected a number above 0"},
        {R"({"gearbox": [{"label": "A", "lead_screw": 1}, {"label": "A", "lead_screw": 2}]})",
         "field 'gearbox[1].label': label 'A' given twice"},
        // 25.4 mm / 1.41e-307 is past the largest double, about 1.798e308.
        {R"({"lead_screw": 1.41e-307, "lead_unit": "mm"})",
         "field 'lead_screw': a pitch too small to give threads per inch"},
        {R"({"lead_unit": "mm", "gearbox": [{"label": "A", "lead_screw": 1.42e-307},
                                            {"label": "B", "lead_screw": 1.41e-307}]})",
         "field 'gearbox[1].lead_screw': a pitch too small to give threads per inch"},
        {"{\"lead_screw\": 8}\n\0garbage"s, "line 2: not valid JSON"},
        {R"({"gearbox": [{"label": "abcdefghijklmnop", "lead_screw": 1},
                         {"label": "abcdefghijklmnopq", "lead_screw": 1}]})",
         "field 'gearbox[1].label': invalid label 'abcdefghijklmnopq'" + kLabelRule},
    };
    for (const auto& [json, problem] : cases) {
        SCOPED_TRACE(json);
        std::ofstream(File("bad")) << json;
        EXPECT_EQ(Outcome("--lathe bad 16"),
                  "2||vantorel-cli: " + File("bad") + ": " + problem + "\n");
        EXPECT_EQ(Outcome("lathes --save new --lathe bad").substr(0, 3), "2||");
        EXPECT_FALSE(fs::exists(File("new")));
    }
    std::ofstream(File("small"))
        << R"({"lead_unit": "mm", "lead_screw": 1.5, "gears": [20, 30, 40]})";
    std::ofstream(File("box"))
        << R"({"gearbox":[{"label":"A","lead_screw":2},{"label":"B","lead_screw":3}]})";
    EXPECT_EQ(Outcome("lathes"),
              "2|box                  2 gearbox positions      no gears  " + File("box") +
                  "\nsmall                lead screw 1.5 mm        3 gears   " + File("small") +
                  "\n|vantorel-cli: " + File("bad") + ": " + std::end(cases)[-1][1] + "\n");
    EXPECT_EQ(Outcome("--lathe nope 16"),
              "2||vantorel-cli: unknown lathe 'nope' (known: bad, box, small)\n");
}

// Each failure to save is one line and status 1, whatever is in the way;
// nothing is made but the profile.
TEST_F(Lathes, EachFailureToSaveIsOneLine) {
    const std::string folder = root_ + "/vantorel/lathes";
    const std::string cases[][3] = {
        {"ln -s loop.json loop.json", "loop",
         "lathe 'loop' exists (" + File("loop") + "); give --force to replace it"},
        {"ln -s loop.json loop.json", "loop --force",
         "cannot write " + File("loop") + ": Too many levels of symbolic links"},
        {"ln -s gone/x.json dangling.json", "dangling",
         "cannot write " + File("dangling") + ": No such file or directory"},
        {"cd .. && rm -r lathes && touch lathes", "p",
         "cannot write " + folder + "/p.json: Not a directory"},
    };
    for (const auto& [setup, save, message] : cases) {
        SCOPED_TRACE(setup + " / " + save);
        const std::string before = Shell(dir_, setup + " && cd " + root_ + " && find . | sort");
        EXPECT_EQ(Outcome("lathes -l 8 --save " + save), "1||vantorel-cli: " + message + "\n");
        EXPECT_EQ(Shell(root_, "find . | sort"), before);
        Shell(root_, "rm -rf vantorel && mkdir -p vantorel/lathes");
    }
}

// A new profile gets the mode of any new file, 0666 less the umask; one
// replaced keeps its own.
TEST_F(Lathes, SavedProfilesHaveTheModeOfNewFilesOrKeepTheirOwn) {
    const mode_t before = umask(027);
    EXPECT_EQ(Outcome("lathes --save r -l 8"), "0||");
    EXPECT_EQ(Shell(dir_, "stat -c %a r.json"), "640\n");
    Shell(dir_, "chmod 604 r.json");
    EXPECT_EQ(Outcome("lathes --save r -l 9 --force"), "0||");
    EXPECT_EQ(Shell(dir_, "stat -c %a r.json; grep -c 9 r.json"), "604\n1\n");
    umask(before);
}

// Two real processes at once save each of 20 new names without --force:
// one of each pair wins, the other is told the profile exists, and the
// file is whole.
TEST_F(Lathes, OfTwoSavesAtOnceExactlyOneWins) {
    const std::string save = std::string(VANTOREL_CLI_PATH) + " lathes --save r$i";
    // Each process has an error file of its own: lines that two processes
    // write at once into one file may interleave.
    const std::string run = "for i in $(seq 20); do (" + save + " -l 8; echo $? >>s) 2>e8.$i & (" +
                            save + " -l 9; echo $? >>s) 2>e9.$i & done; wait; cat e8.* e9.* >e; ";
    EXPECT_EQ(Shell(root_, run + "sort s | uniq -c | tr -s ' '; grep -c exists e; wc -l <e"),
              " 20 0\n 20 1\n20\n20\n");
    for (int i = 1; i <= 20; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Outcome("--lathe r" + std::to_string(i) + " -n 1 -g 20,30,40 16").substr(0, 8),
                  "0|A = 20");
    }
}

// A folder of profiles that cannot be read is said, with what can be read;
// a lookup by name stops there unless an earlier folder held the name. The
// user's profile wins over an installed one of its name.
TEST_F(Lathes, FoldersThatCannotBeReadAreSaidAndTheUsersProfilesWin) {
    const std::string installed = root_ + "/installed";
    fs::create_directories(installed);
    std::ofstream(installed + "/same.json") << R"({"lead_screw": 8})";
    std::ofstream(installed + "/inst.json") << R"({"lead_screw": 4})";
    std::ofstream(File("same")) << R"({"lead_screw": 16})";
    const std::string inst =
        "inst                 lead screw 4 tpi         no gears  " + installed + "/inst.json\n";
    const std::string same =
        "same                 lead screw 16 tpi        no gears  " + File("same") + "\n";
    const std::string sameInstalled =
        "same                 lead screw 8 tpi         no gears  " + installed + "/same.json\n";
    EXPECT_EQ(Outcome("lathes"), "0|" + inst + same + "|");
    EXPECT_EQ(Outcome("--lathe same -n 2 16"), Outcome("-l 16 -n 2 16"));
    EXPECT_EQ(Outcome("--lathe inst -n 2 16"), Outcome("-l 4 -n 2 16"));
    const std::string user = root_ + "/vantorel/lathes";
    const std::string loop = ": Too many levels of symbolic links\n";
    const std::string cases[][4] = {
        // The folder made a link to itself, then what `lathes`, `--lathe
        // same` and `--lathe inst` say.
        {installed, "1|" + same + "|vantorel-cli: cannot read " + installed + loop, "0|",
         "2||vantorel-cli: cannot read " + installed + loop},
        {user, "1|" + inst + sameInstalled + "|vantorel-cli: cannot read " + user + loop,
         "2||vantorel-cli: cannot read " + user + loop,
         "2||vantorel-cli: cannot read " + user + loop},
    };
    for (const auto& [folder, listing, loadSame, loadInst] : cases) {
        SCOPED_TRACE(folder);
        fs::rename(folder, root_ + "/aside");
        fs::create_directory_symlink(fs::path(folder).filename(), folder);
        EXPECT_EQ(Outcome("lathes"), listing);
        EXPECT_EQ(Outcome("--lathe same 16").substr(0, loadSame.size()), loadSame);
        EXPECT_EQ(Outcome("--lathe inst 16").substr(0, loadInst.size()), loadInst);
        fs::remove(folder);
        fs::rename(root_ + "/aside", folder);
    }
}

} // namespace
