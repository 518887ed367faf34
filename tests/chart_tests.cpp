// vantorel-cli's chart, fit rules and machine-readable output.
#include "cli.h"
#include "gearcalc.h"
#include "thread_lists.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Gears = std::vector<std::int64_t>;

const Gears kCoverGears = {20, 20, 30, 35, 40, 40, 45, 50, 55, 57, 60, 65, 80, 80};
const char* const kCoverGearText = "20,20,30,35,40,40,45,50,55,57,60,65,80,80";

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun RunWith(std::vector<std::string> args) {
    args.insert(args.begin(), "vantorel-cli");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(static_cast<int>(args.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

// RFC 4180: fields separated by commas, quoted when they hold one.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            rows.back().back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            rows.back().emplace_back();
        } else if (!quoted && c == '\n') {
            rows.emplace_back(1);
        } else {
            rows.back().back() += c;
        }
    }
    if (rows.back().size() == 1 && rows.back()[0].empty()) {
        rows.pop_back();
    }
    return rows;
}

bool IsPlainNumber(const std::string& text) {
    double value = 0.0;
    return ParseMeasure(text, &value) && text.find(' ') == std::string::npos;
}

TEST(FitRules, EachRuleDropsAndKeepsTheRightTrains) {
    FitRules clearance;
    clearance.clearance = 10;
    FitRules reach;
    reach.minimumSum = 210;
    FitRules spindle;
    spindle.spindleGear = 40;
    const struct {
        const char* name;
        const FitRules& rules;
        GearTrain train;
        bool fits;
    } cases[] = {
        // C + 10 = 90 > A + B = 80: C would hit the spindle's shaft.
        {"clearance, C too big", clearance, {30, 50, 80, 57}, false},
        {"clearance, room on both shafts", clearance, {40, 50, 60, 57}, true},
        // B + 10 = 90 > C + D = 70: B would hit the lead screw's shaft.
        {"clearance, B too big", clearance, {20, 80, 30, 40}, false},
        {"clearance, exactly enough room", clearance, {40, 50, 60, 0}, true},
        {"clearance, simple train", clearance, {20, 90, 90, 20}, true},
        {"reach, 207 teeth", reach, {40, 50, 60, 57}, false},
        {"reach, 217 teeth", reach, {30, 50, 80, 57}, true},
        {"reach, simple train", reach, {20, 30, 30, 40}, true},
        {"spindle gear 40", spindle, {40, 50, 60, 57}, true},
        {"spindle gear 30", spindle, {30, 50, 80, 57}, false},
        {"spindle gear on a simple train", spindle, {20, 30, 30, 40}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.rules.Allows(c.train.A, c.train.B, c.train.C, c.train.D), c.fits);
    }
    EXPECT_TRUE(FitRules{}.Allows(30, 50, 80, 57));
}

// A gear cover chart for a 16 tpi lead screw: 19 tpi needs the 57.
TEST(FitRules, TheSearchFindsTheBestTrainThatFits) {
    const auto free = SearchBestTrains(19.0, 16.0, kCoverGears, 1);
    EXPECT_EQ(free[0].error, 0.0);
    EXPECT_EQ(free[0].A, 30) << "the first exact train met cannot be mounted";
    FitRules clearance;
    clearance.clearance = 10;
    const auto fitting = SearchBestTrains(19.0, 16.0, kCoverGears, 1, clearance);
    EXPECT_EQ(fitting[0].error, 0.0);
    EXPECT_EQ((std::vector<std::int64_t>{fitting[0].A, fitting[0].B, fitting[0].C, fitting[0].D}),
              (std::vector<std::int64_t>{40, 50, 60, 57}));
    // Trains that do not fit never take a slot: all five listed fit.
    for (const GearTrain& train : SearchBestTrains(19.0, 16.0, kCoverGears, 5, clearance)) {
        EXPECT_TRUE(clearance.Allows(train.A, train.B, train.C, train.D));
    }
}

TEST(ThreadLists, AgreeWithTheStandards) {
    const struct {
        const char* list;
        const char* name;
        ThreadType type;
        double value;
    } cases[] = {
        {"metric-coarse", "M10", ThreadType::Metric, 1.5},
        {"metric-coarse", "M64", ThreadType::Metric, 6.0},
        {"metric-fine", "M12x1.25", ThreadType::Metric, 1.25},
        {"unc", "1/2-13", ThreadType::SAE, 13},
        {"unf", "1/2-20", ThreadType::SAE, 20},
        {"bsw", "1/2-12", ThreadType::SAE, 12},
        {"bsp", "G1/2", ThreadType::SAE, 14},
        {"module", "m1.5", ThreadType::Modulus, 1.5},
        {"dp", "20 DP", ThreadType::DP, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " " + c.name);
        const ThreadList* list = FindThreadList(c.list);
        ASSERT_NE(list, nullptr);
        bool found = false;
        for (const StandardThread& thread : list->threads) {
            if (thread.name == c.name) {
                found = true;
                EXPECT_EQ(thread.type, c.type);
                EXPECT_EQ(thread.value, c.value);
            }
        }
        EXPECT_TRUE(found);
    }
    for (const ThreadList& list : BuiltInThreadLists()) {
        SCOPED_TRACE(list.name);
        std::set<std::string> names;
        for (const StandardThread& thread : list.threads) {
            EXPECT_TRUE(names.insert(thread.name).second) << thread.name << " twice";
            EXPECT_GT(thread.value, 0.0);
        }
    }
    EXPECT_EQ(FindThreadList("M10"), nullptr);
}

TEST(Chart, TextShowsOneRowPerThreadWithSimpleTrainsAsTheWindowDoes) {
    const CliRun run = RunWith(
        {"chart", "-l", "16", "-g", kCoverGearText, "--threads", "unc", "--clearance", "10"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Fit rules: clearance 10 teeth"), std::string::npos);
    EXPECT_NE(run.out.find("Unified coarse (UNC)"), std::string::npos);
    EXPECT_NE(run.out.find("1/2-13     13 tpi"), std::string::npos) << run.out;
    EXPECT_NE(
        run.out.find("3/8-16     16 tpi           20    ANY     --     20     16.000    0.000%"),
        std::string::npos)
        << run.out;
    EXPECT_EQ(FindThreadList("unc")->threads.size() + 5,
              static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')));
}

TEST(Chart, CsvParsesBackWithPlainNumbers) {
    const CliRun run = RunWith({"chart", "-l", "8", "--threads", "metric-coarse,dp", "-n", "2",
                                "--min-sum", "400", "--format", "csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = ParseCsv(run.out);
    ASSERT_GT(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"list", "name", "wanted", "unit", "rank", "a", "b",
                                                 "c", "d", "simple", "thread", "error_percent"}));
    const std::size_t threads =
        FindThreadList("metric-coarse")->threads.size() + FindThreadList("dp")->threads.size();
    std::set<std::string> named;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto& row = rows[i];
        SCOPED_TRACE(i);
        ASSERT_EQ(row.size(), 12u);
        named.insert(row[1]);
        if (row[4].empty()) {
            continue; // no train fits this thread
        }
        const bool simple = row[9] == "true";
        EXPECT_TRUE(simple || row[9] == "false");
        EXPECT_EQ(row[6].empty(), simple);
        for (int field : {2, 10, 11}) {
            EXPECT_TRUE(IsPlainNumber(row[static_cast<std::size_t>(field)])) << row[field];
        }
        if (!simple) {
            long sum = 0;
            for (int field : {5, 6, 7, 8}) {
                sum += std::stol(row[static_cast<std::size_t>(field)]);
            }
            EXPECT_GE(sum, 400) << "the reach rule holds in every listed train";
        }
    }
    EXPECT_EQ(named.size(), threads);
}

TEST(Chart, JsonParsesBackWithNamedFields) {
    const CliRun run = RunWith({"chart", "-l", "6", "-u", "mm", "--threads", "module",
                                "--spindle-gear", "40", "--format", "json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto chart = nlohmann::json::parse(run.out);
    ASSERT_TRUE(chart.is_array());
    ASSERT_EQ(chart.size(), FindThreadList("module")->threads.size());
    for (const auto& entry : chart) {
        EXPECT_EQ(entry.at("list"), "module");
        EXPECT_EQ(entry.at("unit"), "module");
        ASSERT_EQ(entry.at("trains").size(), 1u);
        const auto& train = entry.at("trains")[0];
        EXPECT_EQ(train.at("a"), 40);
        EXPECT_EQ(train.at("b").is_null(), train.at("simple").get<bool>());
        EXPECT_EQ(train.at("c").is_null(), train.at("simple").get<bool>());
        EXPECT_GT(train.at("thread").get<double>(), 0.0);
        EXPECT_GE(train.at("error_percent").get<double>(), 0.0);
    }
}

TEST(Chart, SingleCalculationFormatsAgreeWithTheText) {
    const std::vector<std::string> inputs = {"-l", "8", "-g", "20,30,40", "16"};
    auto with = [&](const char* format) {
        std::vector<std::string> args = {"--format", format};
        args.insert(args.end(), inputs.begin(), inputs.end());
        return RunWith(args);
    };
    const CliRun text = RunWith(inputs);
    EXPECT_EQ(with("text").out, text.out);
    const auto json = nlohmann::json::parse(with("json").out);
    const auto csv = ParseCsv(with("csv").out);
    ASSERT_EQ(json.size(), 5u);
    ASSERT_EQ(csv.size(), 6u);
    EXPECT_EQ(json[0].at("a"), 20);
    EXPECT_TRUE(json[0].at("b").is_null());
    EXPECT_EQ(json[0].at("d"), 40);
    EXPECT_EQ(json[0].at("thread"), 16.0);
    EXPECT_EQ(json[0].at("error_percent"), 0.0);
    EXPECT_EQ(csv[1], (std::vector<std::string>{"1", "20", "", "", "40", "true", "16.000000", "tpi",
                                                "0.000000"}));
    EXPECT_EQ(nlohmann::json::parse(RunWith({"--format", "json", "-g", "20,30", "16"}).out),
              nlohmann::json::array());
}

TEST(Chart, RejectsArgumentsThatDoNotApply) {
    const struct {
        std::vector<std::string> args;
        const char* named;
    } cases[] = {
        {{"chart", "--threads", "acme"}, "'acme'"},  {{"chart", "--threads", "unc,"}, "''"},
        {{"chart", "-t", "metric"}, "'-t'"},         {{"chart", "16"}, "'16'"},
        {{"--threads", "unc", "16"}, "'--threads'"}, {{"--format", "xml", "16"}, "'xml'"},
        {{"--clearance", "-1", "16"}, "'-1'"},       {{"--min-sum", "x", "16"}, "'x'"},
        {{"--spindle-gear", "0", "16"}, "'0'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliRun run = RunWith(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunWith({"chart", "-l", "0"}).err,
              "vantorel-cli: You must enter a lead screw pitch!\n");
    EXPECT_EQ(RunWith({"chart", "-g", "20"}).status, 1);
}

} // namespace
