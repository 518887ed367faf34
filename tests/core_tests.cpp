// The display-free core against values worked out by hand: each table row is
// one input with its expected result, boundaries on both sides.
#include "core/gearcalc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using namespace std::string_literals;
using Gears = std::vector<std::int64_t>;
using Teeth = std::vector<std::int64_t>; // A, B, C, D and for three pairs E, F

Gears Repeated(int count, std::int64_t teeth, Gears tail = {}) {
    Gears gears(static_cast<std::size_t>(count), teeth);
    gears.insert(gears.end(), tail.begin(), tail.end());
    return gears;
}

// The thread a train cuts, by the lathe's own arithmetic: the lead screw
// turns (B/A) x (D/C) (x (F/E)) times per turn of the spindle.
double Cut(double leadTpi, const Teeth& t) {
    double ratio = 1.0;
    for (std::size_t i = 0; i < t.size(); i += 2) {
        ratio *= static_cast<double>(t[i + 1]) / static_cast<double>(t[i]);
    }
    return leadTpi * ratio;
}

TEST(Units, EveryThreadTypeAndLeadUnitConvertsBothWays) {
    const struct {
        ThreadType type;
        double value;
        double tpi;
    } threads[] = {{ThreadType::SAE, 13.0, 13.0},        {ThreadType::Metric, 1.5, 16.933333},
                   {ThreadType::Metric, 25.4, 1.0},      {ThreadType::DP, 20.0, 6.366198},
                   {ThreadType::Modulus, 1.0, 8.085071}, {ThreadType::Modulus, 2.0, 4.042536}};
    for (const auto& row : threads) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(row.type) << " " << row.value);
        EXPECT_NEAR(ThreadToTpi(row.type, row.value), row.tpi, 5e-7);
        EXPECT_NEAR(TpiToThread(row.type, row.tpi), row.value, 5e-6);
    }
    EXPECT_EQ(LeadScrewToTpi(LeadScrewUnit::TPI, 8.0), 8.0);
    EXPECT_NEAR(LeadScrewToTpi(LeadScrewUnit::MM, 6.0), 4.233333, 5e-7);
}

TEST(Units, OnlyPositiveFiniteMeasuresAreUsable) {
    const struct {
        double value;
        bool usable;
    } rows[] = {{0.0, false},      {4.9e-324, true}, {-4.9e-324, false}, {DBL_MAX, true},
                {INFINITY, false}, {-16.0, false},   {NAN, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(IsUsableMeasure(row.value), row.usable);
    }
}

TEST(Parsing, TheWholeTextMustBeOneNumber) {
    const struct {
        std::string text;
        bool accepted;
        double value;
    } rows[] = {
        // clang-format off
        {"16", true, 16}, {"1.5", true, 1.5}, {" 8", true, 8}, {"+7", true, 7}, {"-5", true, -5},
        {"1e1", true, 10}, {"8 ", false, 0}, {"", false, 0}, {"1,5", false, 0}, {"12a", false, 0},
        {"1e999", false, 0}, {"8\0001"s, false, 0},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("'" + row.text + "'");
        double value = -1.0;
        EXPECT_EQ(ParseMeasure(row.text, &value), row.accepted);
        EXPECT_EQ(value, row.accepted ? row.value : -1.0);
    }
}

TEST(FitRuleLimits, EachRuleAtItsLimitAndOnePast) {
    const struct {
        const char* name;
        Teeth teeth;
        char rule; // 'K' clearance, 'S' minimum sum, 'A' spindle gear
        std::int64_t limit;
    } rows[] = {
        {"B + K <= C + D", {60, 40, 20, 30}, 'K', 10},
        {"C + K <= A + B", {20, 30, 40, 60}, 'K', 10},
        {"A + B + C + D >= S", {60, 40, 20, 30}, 'S', 150},
        {"A is the spindle gear", {20, 30, 40, 60}, 'A', 20},
        {"three: B + K <= C + D", {100, 60, 20, 50, 10, 100}, 'K', 10},
        {"three: C + K <= A + B", {20, 30, 40, 60, 20, 80}, 'K', 10},
        {"three: D + K <= E + F", {50, 50, 50, 60, 30, 40}, 'K', 10},
        {"three: E + K <= C + D", {50, 50, 30, 40, 60, 80}, 'K', 10},
        {"three: A + ... + F >= S", {20, 40, 30, 45, 75, 25}, 'S', 235},
        {"three: A is the spindle gear", {20, 40, 30, 45, 75, 25}, 'A', 20},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Teeth& t = row.teeth;
        for (const std::int64_t limit : {row.limit, row.limit + 1}) {
            const FitRules rules{row.rule == 'K' ? std::optional(limit) : std::nullopt,
                                 row.rule == 'S' ? std::optional(limit) : std::nullopt,
                                 row.rule == 'A' ? std::optional(limit) : std::nullopt};
            EXPECT_EQ(t.size() == 4 ? rules.Allows(t[0], t[1], t[2], t[3])
                                    : rules.AllowsThreePairs(t[0], t[1], t[2], t[3], t[4], t[5]),
                      limit == row.limit);
        }
    }
    // A simple train's idler bridges any gap, but it starts from the spindle.
    EXPECT_TRUE((FitRules{1000, 1000, {}}.Allows(20, 30, 30, 40)));
    EXPECT_FALSE((FitRules{1000, 1000, 30}.Allows(20, 30, 30, 40)));
}

// The trains a search found, as tooth counts, with each thread checked
// against the one the lathe cuts.
template <class Train> std::vector<Teeth> Found(const std::vector<Train>& trains, double leadTpi) {
    std::vector<Teeth> found;
    for (const Train& train : trains) {
        Teeth teeth = {train.A, train.B, train.C, train.D};
        if constexpr (std::is_same_v<Train, ThreePairTrain>) {
            teeth.insert(teeth.end(), {train.E, train.F});
        } else if (train.IsEmpty()) {
            continue;
        }
        EXPECT_NEAR(train.thread, Cut(leadTpi, teeth), 1e-9);
        found.push_back(teeth);
    }
    return found;
}

// Six gears the ratio 1 cuts in six ways: 20 x 30 x 75 = 25 x 40 x 45 and more.
const Gears kRatioOneGears = {20, 25, 30, 40, 45, 50, 60, 75};

TEST(Searches, FindTheBestTrainsInOrder) {
    const struct {
        const char* name;
        int pairs;
        double desiredTpi;
        double leadTpi;
        Gears gears;
        int show;
        FitRules rules;
        std::vector<Teeth> trains; // best first
    } rows[] = {
        // clang-format off
        {"three gears: simple trains only, the sixth and worst left out", 2, 16, 8, {20, 30, 40}, 5, {},
         {{20, 30, 30, 40}, {20, 40, 40, 30}, {30, 20, 20, 40}, {40, 20, 20, 30}, {30, 40, 40, 20}}},
        {"two gears: no train", 2, 16, 8, {20, 40}, 5, {}, {}},
        {"equal errors keep the order met", 2, 16, 8, {20, 25, 40, 50}, 2, {},
         {{20, 25, 25, 40}, {25, 20, 20, 50}}},
        {"the same, gears listed the other way", 2, 16, 8, {25, 20, 50, 40}, 2, {},
         {{25, 20, 20, 50}, {20, 25, 25, 40}}},
        {"two gears of one size are two gears", 2, 8, 8, {20, 20, 30}, 1, {}, {{20, 30, 30, 20}}},
        {"the hundredth gear takes part", 2, 16, 8, Repeated(99, 20, {40}), 1, {}, {{20, 20, 20, 40}}},
        {"the hundred-and-first does not", 2, 16, 8, Repeated(100, 20, {40}), 1, {}, {{20, 20, 20, 20}}},
        {"the spindle gear limits A", 2, 16, 8, {20, 30, 40}, 5, FitRules{{}, {}, 40},
         {{40, 20, 20, 30}, {40, 30, 30, 20}}},
        {"beyond 32 bits", 2, 1, 1, {5'000'000'000, 5'000'000'000, 7}, 1, {},
         {{5'000'000'000, 7, 7, 5'000'000'000}}},
        {"smallest driver against largest driven first", 3, 70, 8, {20, 30, 40, 50, 60, 70}, 1, {},
         {{20, 70, 30, 60, 40, 50}}},
        {"five gears: no train", 3, 70, 8, {20, 30, 40, 50, 60}, 99, {}, {}},
        {"a desired thread of 0 finds nothing", 3, 0, 8, {20, 30, 40, 50, 60, 70}, 99, {}, {}},
        {"a driver never faces a driven gear of its size", 3, 27, 8, {20, 20, 20, 30, 30, 30}, 99, {},
         {{20, 30, 20, 30, 20, 30}, {30, 20, 30, 20, 30, 20}}},
        {"equal errors by drivers, then driven, ascending", 3, 8, 8, kRatioOneGears, 4, {},
         {{20, 45, 30, 40, 75, 25}, {20, 60, 45, 30, 50, 25}, {20, 50, 60, 45, 75, 40},
          {25, 50, 30, 45, 60, 20}}},
        {"clearance at its limit: E + K = C + D", 3, 8, 8, {20, 25, 30, 40, 45, 75}, 1, FitRules{0, {}, {}},
         {{20, 40, 30, 45, 75, 25}}},
        {"one past: the next arrangement that fits", 3, 8, 8, {20, 25, 30, 40, 45, 75}, 1, FitRules{1, {}, {}},
         {{75, 45, 20, 40, 30, 25}}},
        {"the hundredth gear takes part", 3, 40.5, 8, Repeated(50, 20, Repeated(49, 30, {45})), 1, {},
         {{20, 45, 20, 30, 20, 30}}},
        {"the hundred-and-first does not", 3, 40.5, 8, Repeated(50, 20, Repeated(50, 30, {45})), 1, {},
         {{20, 30, 20, 30, 20, 30}}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const double d = row.desiredTpi;
        const double lead = row.leadTpi;
        EXPECT_EQ(
            row.pairs == 2
                ? Found(SearchBestTrains(d, lead, row.gears, row.show, row.rules), lead)
                : Found(SearchBestThreePairTrains(d, lead, row.gears, row.show, row.rules), lead),
            row.trains);
    }
}

TEST(Searches, HoldAsManyTrainsAsAskedUpToTheTable) {
    for (const int show : {0, 1, 99, 100, 101}) {
        SCOPED_TRACE(show);
        const std::size_t expected = static_cast<std::size_t>(std::min(show, kMaxTrains));
        EXPECT_EQ(SearchBestTrains(16.0, 8.0, {20, 30, 40}, show).size(), expected);
        EXPECT_EQ(SearchBestThreePairTrains(8.0, 8.0, kRatioOneGears, show).size(), expected);
    }
}

TEST(ResultLine, FormatsEveryTrainShape) {
    const double metric = 25.4 / 1.5;
    const double cut = Cut(8.0, {20, 50, 65, 55});
    const double cut3 = Cut(8.0, {20, 80, 35, 40, 45, 25});
    const struct {
        std::string line;
        std::string expected;
    } rows[] = {
        {FormatResultLines({GearTrain{}, {20, 30, 30, 40, 16.0, 0.0}}, 16.0, ThreadType::SAE).at(0),
         "A = 20, B = ANY, C = --, D = 40, Thread = 16.000, Error =  0.000%"},
        {FormatResultLine({20, 50, 65, 55, cut, metric - cut}, metric, ThreadType::Metric),
         "A = 20, B = 50, C = 65, D = 55, Thread =  1.501, Error =  0.061%"},
        {FormatResultLine({20, 80, 25, 80, 1024.0, 1008.0}, 16.0, ThreadType::SAE),
         "A = 20, B = 80, C = 25, D = 80, Thread =1024.000, Error =6300.000%"},
        {FormatResultLine({20, 40, 30, 60, 4.0, 1.0}, 5.0, ThreadType::DP),
         "A = 20, B = 40, C = 30, D = 60, Thread = 12.566, Error = 20.000%"},
        {FormatResultLine({40, 20, 20, 30, 25.4 / 3.141592653589793, 0.0}, 1.0,
                          ThreadType::Modulus),
         "A = 40, B = ANY, C = --, D = 30, Thread =  1.000, Error =  0.000%"},
        {FormatThreePairLine({20, 70, 30, 60, 40, 50, 70.0, 0.0}, 70.0, ThreadType::SAE),
         "A = 20, B = 70, C = 30, D = 60, E = 40, F = 50, Thread = 70.000, Error =  0.000%"},
        {FormatThreePairLine({20, 80, 35, 40, 45, 25, cut3, 20.32 - cut3}, 20.32,
                             ThreadType::Metric),
         "A = 20, B = 80, C = 35, D = 40, E = 45, F = 25, Thread =  1.250, Error =  0.012%"},
        {FormatThreePairLine({20, 70, 30, 60, 40, 50, 7.0, 1.0}, 8.0, ThreadType::DP),
         "A = 20, B = 70, C = 30, D = 60, E = 40, F = 50, Thread = 21.991, Error = 12.500%"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expected);
        EXPECT_EQ(row.line, row.expected);
    }
}

TEST(ResultLine, IsWholeHoweverLongItsNumbers) {
    // 16 tpi wanted as 1e-200 tpi: an error of 1.6e203 percent, 204 digits long.
    const std::string lines[] = {
        FormatResultLine({20, 30, 30, 40, 16.0, 16.0}, 1e-200, ThreadType::SAE),
        FormatThreePairLine({20, 70, 30, 60, 40, 50, 16.0, 16.0}, 1e-200, ThreadType::SAE)};
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        EXPECT_EQ(line.size() - line.find("Error =1"), std::string("Error =").size() + 204 + 5);
        EXPECT_EQ(line.substr(line.size() - 5), ".000%");
    }
}

} // namespace
