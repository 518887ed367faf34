// vantorel-cli as scripts use it: each output format in each unit, every
// refusal and usage error with its whole message and exit status.
#include "cli/cli.h"
#include "cli_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

CliRun RunWith(std::vector<std::string> args) {
    args.insert(args.begin(), "vantorel-cli");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    std::ostringstream out, err;
    const int status = RunCli(static_cast<int>(args.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

std::string GearFields(const nlohmann::json& train) {
    std::string fields;
    for (const char* place : {"a", "b", "c", "d", "e", "f", "simple"}) {
        fields += "," + (train.at(place).is_null() ? "" : train.at(place).dump());
    }
    return fields;
}

namespace {

const double kPi = 3.141592653589793;

// Expected threads by hand: the lathe cuts lead x (B/A) x (D/C) (x (F/E))
// threads per inch, shown in the unit of the thread type.
TEST(Cli, EachFormatReportsTheTrainInTheUnitOfItsThread) {
    const struct {
        std::vector<std::string> args;
        std::string text;
        std::string csv;
        double shown;
    } rows[] = {
        {{"-l", "8", "-g", "20,30,40", "16"},
         "A = 20, B = ANY, C = --, D = 40, Thread = 16.000, Error =  0.000%",
         "1,20,,,40,,,true,16.000000,tpi,0.000000",
         8.0 * 40 / 20},
        {{"-t", "metric", "-l", "8", "1.5"},
         "A = 20, B = 50, C = 65, D = 55, Thread =  1.501, Error =  0.061%",
         "1,20,50,65,55,,,false,1.500909,mm,0.060569",
         25.4 / (8.0 * 50 / 20 * 55 / 65)},
        {{"-t", "dp", "-u", "mm", "-l", "6", "20"},
         "A = 45, B = 55, C = 65, D = 80, Thread = 20.006, Error =  0.030%",
         "1,45,55,65,80,,,false,20.005948,DP,0.029742",
         25.4 / 6 * 55 / 45 * 80 / 65 * kPi},
        {{"-t", "module", "-l", "8", "1.25"},
         "A = 45, B = 25, C = 55, D = 80, Thread =  1.251, Error =  0.053%",
         "1,45,25,55,80,,,false,1.250659,module,0.052727",
         25.4 / (8.0 * 25 / 45 * 80 / 55) / kPi},
        {{"--pairs", "3", "-t", "metric", "-l", "8", "1.25"},
         "A = 20, B = 80, C = 35, D = 40, E = 45, F = 25, Thread =  1.250, Error =  0.012%",
         "1,20,80,35,40,45,25,false,1.250156,mm,0.012498",
         25.4 / (8.0 * 80 / 20 * 40 / 35 * 25 / 45)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        auto run = [&row](const char* format) {
            std::vector<std::string> args = {"-n", "1", "--format", format};
            args.insert(args.end(), row.args.begin(), row.args.end());
            const CliRun result = RunWith(args);
            EXPECT_EQ(result.status, 0);
            EXPECT_EQ(result.err, "");
            return result.out;
        };
        EXPECT_EQ(run("text"), row.text + "\n");
        EXPECT_EQ(run("csv"),
                  "rank,a,b,c,d,e,f,simple,thread,unit,error_percent\n" + row.csv + "\n");
        const auto json = nlohmann::json::parse(run("json"));
        ASSERT_EQ(json.size(), 1u);
        EXPECT_EQ(row.csv.rfind("1" + GearFields(json[0]) + ",", 0), 0u);
        EXPECT_NE(row.csv.find("," + json[0].at("unit").get<std::string>() + ","),
                  std::string::npos);
        EXPECT_NEAR(json[0].at("thread").get<double>(), row.shown, 1e-9);
    }
}

// The window's rules, as the command line answers them: each refusal and
// usage error with its whole message and exit status, each fit rule on both
// sides of its limit, the gear list's limit of 100 with and without a 101st
// gear that would cut the thread exactly, and the last of a repeated option.
TEST(Cli, AnswersEachCommandLine) {
    // Each fit rule on a gear cover chart's gears, for 19 tpi.
    const std::vector<std::string> cover = {
        "-l", "16", "-n", "1", "-g", "20,20,30,35,40,40,45,50,55,57,60,65,80,80", "19"};
    std::string hundred = "40";
    for (int i = 0; i < 99; ++i) {
        hundred += ",20";
    }
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
        std::string train = ""; // how the first line starts
    } rows[] = {
        {{"--clearance", "0"}, 0, "", "A = 30, B = 50, C = 80, D = 57, "},
        {{"--clearance", "10"}, 0, "", "A = 40, B = 50, C = 60, D = 57, "},
        {{"--min-sum", "257"}, 0, "", "A = 57, B = 55, C = 65, D = 80, "},
        {{"--min-sum", "258"}, 0, "", "A = 55, B = ANY, C = --, D = 65, "},
        {{"--spindle-gear", "45"}, 0, "", "A = 45, B = 20, C = 30, D = 80, "},
        // Leading zeros are not octal: 045 is 45 (not 37), 0257 is 257 (not
        // 175), 010 is 10 (not 8).
        {{"--spindle-gear", "045"}, 0, "", "A = 45, B = 20, C = 30, D = 80, "},
        {{"--min-sum", "0257"}, 0, "", "A = 57, B = 55, C = 65, D = 80, "},
        {{"-n", "1", "-l", "8", "-g", "010,20,40", "32"},
         0,
         "",
         "A = 10, B = ANY, C = --, D = 40, "},
        {{"-n", "1", "-l", "8", "-g", hundred, "50.8"}, 0, "", "A = 20, B = ANY, C = --, D = 40, "},
        {{"-n", "1", "-l", "8", "-g", "127," + hundred, "50.8"},
         0,
         "101 gears given; only the 100 smallest take part",
         "A = 20, B = ANY, C = --, D = 40, "},
        {{"-n", "1", "-l", "8", "-l", "16", "16"}, 0, "", "A = 20, B = 20, C = 40, D = 40, "},
        {{"1,5"}, 2, "THREAD: '1,5' is not a number"},
        {{"0x10"}, 2, "THREAD: '0x10' is not a number"},
        {{"inf"}, 2, "THREAD: 'inf' is not a number"},
        {{"8 "}, 2, "THREAD: '8 ' is not a number"},
        {{"--gearbox", "A=0x10", "8"}, 2, "--gearbox: invalid lead screw '0x10' of position 'A'"},
        {{"--gearbox", "A=0x1p3", "8"}, 2, "--gearbox: invalid lead screw '0x1p3' of position 'A'"},
        {{"--gearbox", "A= 8", "8"}, 2, "--gearbox: invalid lead screw ' 8' of position 'A'"},
        {{""}, 1, "Nothing to convert!"},
        {{"0", "-l", "0", "-g", "20"}, 1, "Nothing to convert!"},
        {{"--", "-16"}, 1, "Nothing to convert!"},
        {{"1e999"}, 1, "Nothing to convert!"},
        {{"-t", "metric", "1e-307"}, 1, "Nothing to convert!"},
        {{"-l", "abc", "8"}, 2, "--lead-screw: 'abc' is not a number"},
        {{"-l", "", "-g", "20", "8"}, 1, "You must enter a lead screw pitch!"},
        {{"-l", "-8", "8"}, 1, "You must enter a lead screw pitch!"},
        {{"-u", "mm", "-l", "1e-307", "8"}, 1, "You must enter a lead screw pitch!"},
        {{"-g", "20", "8"}, 1, "Not enough change gears!"},
        {{"-g", "", "8"}, 1, "Not enough change gears!"},
        {{"--pairs", "3", "-g", "20,30,40,50,60", "8"}, 1, "Not enough change gears!"},
        {{"--pairs", "4", "8"}, 2, "--pairs: '4' is not one of 2, 3"},
        {{"--bogus", "8"}, 2, "unknown option '--bogus'"},
        {{"-t", "inch", "8"}, 2, "--type: 'inch' is not one of sae, metric, dp, module"},
        {{"-u", "cm", "8"}, 2, "--lead-unit: 'cm' is not one of tpi, mm"},
        {{"--format", "xml", "8"}, 2, "--format: 'xml' is not one of text, csv, json"},
        {{"-g", "20,0", "8"}, 2, "--gears: '0' is not a whole number of at least 1"},
        {{"-g", "20,3.5", "8"}, 2, "--gears: '3.5' is not a whole number of at least 1"},
        {{"-g", "20,,30", "8"}, 2, "--gears: '' is not a number"},
        {{"-n", "0", "8"}, 2, "--show: '0' is not a whole number from 1 to 99"},
        {{"-n", "100", "8"}, 2, "--show: '100' is not a whole number from 1 to 99"},
        {{"--clearance", "-1"}, 2, "--clearance: '-1' is not a whole number of at least 0"},
        {{"--min-sum", "-1", "8"}, 2, "--min-sum: '-1' is not a whole number of at least 0"},
        {{"--spindle-gear", "0"}, 2, "--spindle-gear: '0' is not a whole number of at least 1"},
        {{"8", "9"}, 2, "unexpected argument '9'"},
        {{"--", "8", "-n", "3"},
         2,
         "unexpected argument '-n' (arguments after '--' are not options)"},
        {{"chart", "--", "-n", "3"},
         2,
         "unexpected argument '-n' (arguments after '--' are not options)"},
        {{"lathes", "--", "x"}, 2, "unexpected argument 'x'"},
        {{}, 2, "missing THREAD"},
        {{"8", "--show"}, 2, "option '--show' needs a value"},
        {{"--threads", "unc", "8"}, 2, "option '--threads' does not apply to a single thread"},
        {{"chart", "-t", "metric"}, 2, "option '-t' does not apply to chart"},
        {{"chart", "16"}, 2, "unexpected argument '16'"},
        {{"chart", "--threads", "unc,"}, 2, "--threads: unknown thread list ''"},
        {{"chart", "-l", "0"}, 1, "You must enter a lead screw pitch!"},
        {{"chart", "--pairs", "3", "-g", "20,30,40,50,60"}, 1, "Not enough change gears!"},
        {{"lathes", "x"}, 2, "unexpected argument 'x'"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args).substr(0, 80));
        std::vector<std::string> args = row.args;
        if (row.status == 0 && args.size() == 2) {
            args.insert(args.end(), cover.begin(), cover.end());
        }
        const CliRun run = RunWith(args);
        const std::string hint = row.status == 2 ? " (try 'vantorel-cli --help')" : "";
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.out.rfind(row.train, 0), 0u) << run.out;
        EXPECT_EQ(run.out.empty(), row.train.empty());
        EXPECT_EQ(run.err, row.message.empty() ? "" : "vantorel-cli: " + row.message + hint + "\n");
    }
}

// The window's limits on the number to show: 1 to 99, by default 5.
TEST(Cli, ShowsOneTo99Trains) {
    EXPECT_EQ(RunWith({"-n", "1", "8"}).out,
              "A = 20, B = 20, C = 50, D = 25, Thread =  8.000, Error =  0.000%\n");
    for (const auto& [show, lines] :
         {std::pair<const char*, int>{"99", 99}, {"5", 5}, {"010", 10}}) {
        const std::string out = RunWith({"-n", show, "8"}).out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), lines);
    }
    const std::string byDefault = RunWith({"-l", "8", "-g", "20,30,40", "16"}).out;
    EXPECT_EQ(std::count(byDefault.begin(), byDefault.end(), '\n'), 5) << "of 6 trains";
}

// With a spindle gear that is not the smallest driver, every train of three
// pairs starts from it, as A, and cuts lead x (B/A) x (D/C) x (F/E).
TEST(Cli, ThreePairTrainsStartFromTheSpindleGear) {
    for (const int spindle : {45, 65, 80}) {
        SCOPED_TRACE(spindle);
        const CliRun run = RunWith({"--pairs", "3", "--spindle-gear", std::to_string(spindle), "-n",
                                    "99", "--format", "json", "-l", "8", "7"});
        const auto trains = nlohmann::json::parse(run.out);
        EXPECT_EQ(trains.size(), 99u);
        for (const auto& t : trains) {
            EXPECT_EQ(t.at("a"), spindle);
            const double cut = 8.0 * t.at("b").get<double>() / t.at("a").get<double>() *
                               t.at("d").get<double>() / t.at("c").get<double>() *
                               t.at("f").get<double>() / t.at("e").get<double>();
            EXPECT_NEAR(t.at("thread").get<double>(), cut, 1e-9);
        }
    }
}

TEST(Cli, HelpAndVersion) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> shown;
    } rows[] = {
        {{"--help"},
         {"Usage: vantorel-cli [options] THREAD\n       vantorel-cli chart [options]\n",
          "  -u, --lead-unit tpi|mm ", "(default 20,20,25,30,35,40,40,45,50,55,60,65,80,80)",
          "      --pairs 2|3 ", "\nThread lists: metric-coarse metric-fine unc unf bsw bsp",
          "Exit status: 0", "\n  vantorel-cli -t metric -l 8 -n 3 1.5\n"}},
        {{"chart", "-h"}, {"Usage: vantorel-cli chart [options]\n", "      --threads LIST "}},
        {{"--version"}, {"vantorel-cli 0."}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0]);
        const CliRun run = RunWith(row.args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        for (const std::string& text : row.shown) {
            EXPECT_NE(run.out.find(text), std::string::npos) << text;
        }
    }
}

// The real program, its stdout a full disk, closed, or a file past the
// file-size limit: an error, not a cut file passed off as success.
TEST(Cli, LostOutputIsAnError) {
    const std::string errors = testing::TempDir() + "vantorel_cli_stderr";
    const std::string big = testing::TempDir() + "vantorel_cli_big";
    const struct {
        std::string args;
        const char* reason;
        const char* limit = "";
    } rows[] = {
        {"chart --threads all >/dev/full", "No space left on device"},
        {"-n 1 8 >&-", "Bad file descriptor"},
        {"-n 99 --format json 8 >" + big, "File too large", "ulimit -f 1; "},
        {"chart -o - --format pdf >" + big, "File too large", "ulimit -f 1; "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args);
        // A sanitizer build would list its leak suppressions on the same stream.
        const std::string command = "export LSAN_OPTIONS=$LSAN_OPTIONS:print_suppressions=0; " +
                                    std::string(row.limit) + VANTOREL_CLI_PATH + " " + row.args +
                                    " 2>" + errors;
        const int status = std::system(command.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 1);
        std::stringstream text;
        text << std::ifstream(errors).rdbuf();
        EXPECT_EQ(text.str(),
                  std::string("vantorel-cli: cannot write the output: ") + row.reason + "\n");
    }
}

} // namespace
