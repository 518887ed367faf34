#include "gearcalc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Gears = std::vector<std::int64_t>;

struct ConversionCase {
    const char* name;
    double converted;
    double expected;
};

TEST(Units, ConvertTypedValuesToThreadsPerInch) {
    const ConversionCase cases[] = {
        {"SAE 13 stays 13", ThreadToTpi(ThreadType::SAE, 13.0), 13.0},
        {"metric 1.5 mm", ThreadToTpi(ThreadType::Metric, 1.5), 16.933333333},
        {"DP 20", ThreadToTpi(ThreadType::DP, 20.0), 6.366197724},
        {"module 1", ThreadToTpi(ThreadType::Modulus, 1.0), 8.085071109},
        {"lead screw 6 mm", LeadScrewToTpi(LeadScrewUnit::MM, 6.0), 4.233333333},
        {"lead screw 8 tpi", LeadScrewToTpi(LeadScrewUnit::TPI, 8.0), 8.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(c.converted, c.expected, 1e-8);
    }
}

TEST(Units, ShownThreadIsTheInverseOfTheConversion) {
    const ThreadType types[] = {ThreadType::SAE, ThreadType::Metric, ThreadType::DP,
                                ThreadType::Modulus};
    for (ThreadType type : types) {
        for (double value : {0.35, 1.5, 8.0, 20.0, 127.0}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(type) << " " << value);
            EXPECT_NEAR(TpiToThread(type, ThreadToTpi(type, value)), value, value * 1e-14);
        }
    }
}

TEST(Units, UsableMeasuresArePositiveAndFinite) {
    for (double bad : {0.0, -0.0, -16.0, double(INFINITY), -double(INFINITY), double(NAN)}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(IsUsableMeasure(bad));
    }
    EXPECT_TRUE(IsUsableMeasure(1e-300));
    EXPECT_TRUE(IsUsableMeasure(16.0));
}

TEST(Parsing, MeasuresMustBeWholeNumbers) {
    const struct {
        std::string text;
        bool accepted;
        double value;
    } cases[] = {
        {"16", true, 16.0},
        {"1.5", true, 1.5},
        {" 8", true, 8.0},
        {"+8", true, 8.0},
        {"1e1", true, 10.0},
        {"8 ", false, 0},
        {"", false, 0},
        {"1,5", false, 0},
        {"abc", false, 0},
        {"16tpi", false, 0},
        {"1e999", false, 0},
        {std::string("8\0"
                     "1",
                     3),
         false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        double value = -1.0;
        EXPECT_EQ(ParseMeasure(c.text, &value), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST(Parsing, ToothCountsAreBaseTenIntegers) {
    const struct {
        std::string text;
        bool accepted;
        long value;
    } cases[] = {
        {"42", true, 42},
        {"007", true, 7},
        {"+7", true, 7},
        {" 42", true, 42},
        {"-5", true, -5},
        {"42 ", false, 0},
        {"3.5", false, 0},
        {"12a", false, 0},
        {"0x10", false, 0},
        {"", false, 0},
        {"99999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        long value = -1;
        EXPECT_EQ(ParseWholeNumber(c.text, &value), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(value, c.value);
        }
    }
}

struct ExpectedTrain {
    std::int64_t A, B, C, D;
    double thread;
};

void ExpectTable(const std::vector<GearTrain>& table, const std::vector<ExpectedTrain>& expected) {
    ASSERT_GE(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "slot " << i);
        if (i >= expected.size()) {
            EXPECT_TRUE(table[i].IsEmpty());
            continue;
        }
        EXPECT_EQ(table[i].A, expected[i].A);
        EXPECT_EQ(table[i].B, expected[i].B);
        EXPECT_EQ(table[i].C, expected[i].C);
        EXPECT_EQ(table[i].D, expected[i].D);
        EXPECT_NEAR(table[i].thread, expected[i].thread, 1e-9);
    }
}

TEST(Search, ThreeGearsGiveOnlySimpleTrainsBestFirst) {
    const auto table = SearchBestTrains(16.0, 8.0, {20, 30, 40}, 5);
    ASSERT_EQ(table.size(), 5u);
    // The sixth simple train, 40 to 20 at 4 tpi, is the worst and left out.
    ExpectTable(table, {{20, 30, 30, 40, 16.0},
                        {20, 40, 40, 30, 12.0},
                        {30, 20, 20, 40, 32.0 / 3.0},
                        {40, 20, 20, 30, 6.0},
                        {30, 40, 40, 20, 16.0 / 3.0}});
    EXPECT_EQ(table[0].error, 0.0);
}

TEST(Search, TwoGearsAdmitNoTrain) {
    const auto table = SearchBestTrains(16.0, 8.0, {20, 40}, 5);
    ASSERT_EQ(table.size(), 5u);
    for (const GearTrain& slot : table) {
        EXPECT_TRUE(slot.IsEmpty());
        EXPECT_EQ(slot.error, kEmptyError);
    }
}

TEST(Search, GearsOfEqualSizeAreDistinctGears) {
    // Only the second 20 lets a 20 drive a 20 through the 30.
    EXPECT_TRUE(SearchBestTrains(8.0, 8.0, {20, 30}, 1)[0].IsEmpty());
    ExpectTable(SearchBestTrains(8.0, 8.0, {20, 20, 30}, 1), {{20, 30, 30, 20, 8.0}});
}

bool SameTrain(const GearTrain& x, const GearTrain& y) {
    const bool swapped = ((x.A == y.A && x.C == y.C) || (x.A == y.C && x.C == y.A)) &&
                         ((x.B == y.B && x.D == y.D) || (x.B == y.D && x.D == y.B));
    const bool sameSimple = x.A == y.A && x.D == y.D && x.B == x.C && y.B == y.C;
    return swapped || sameSimple;
}

TEST(Search, EachTrainIsListedOnceWhateverItsArrangement) {
    const Gears gearSets[] = {{20, 30, 40, 50},
                              {20, 20, 25, 30, 35, 40, 40, 45, 50, 55, 60, 65, 80, 80},
                              {24, 24, 24, 36, 36, 48}};
    for (const Gears& gears : gearSets) {
        const auto table = SearchBestTrains(12.0, 8.0, gears, 99);
        for (std::size_t i = 0; i < table.size(); ++i) {
            for (std::size_t j = i + 1; j < table.size() && !table[i].IsEmpty(); ++j) {
                SCOPED_TRACE(testing::Message() << "slots " << i << " and " << j);
                EXPECT_FALSE(!table[j].IsEmpty() && SameTrain(table[i], table[j]));
            }
        }
    }
}

TEST(Search, CompoundTrainWithEqualStudGearsCountsAsTheSimpleTrain) {
    const auto table = SearchBestTrains(16.0, 8.0, {20, 30, 30, 40}, 99);
    int found = 0;
    for (const GearTrain& slot : table) {
        found += slot.A == 20 && slot.D == 40 && slot.B == 30 && slot.C == 30;
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(FormatResultLine(table[0], 16.0, ThreadType::SAE),
              "A = 20, B = ANY, C = --, D = 40, Thread = 16.000, Error =  0.000%");
}

TEST(Search, OnlyTheFirstHundredGearsTakePart) {
    Gears gears(kMaxGears, 20);
    gears.push_back(40); // would cut 16 tpi exactly from an 8 tpi lead screw
    const auto table = SearchBestTrains(16.0, 8.0, gears, 3);
    ExpectTable(table, {{20, 20, 20, 20, 8.0}});
}

TEST(Search, AmongEqualErrorsTheFirstMetStays) {
    // 20 to 40 and 25 to 50 both cut 16 tpi exactly; 20 to 40 is met first.
    ExpectTable(SearchBestTrains(16.0, 8.0, {20, 25, 40, 50}, 1), {{20, 25, 25, 40, 16.0}});
    ExpectTable(SearchBestTrains(16.0, 8.0, {25, 20, 50, 40}, 1), {{25, 20, 20, 50, 16.0}});
}

TEST(Search, TableIsSortedByErrorAndHoldsTheBest) {
    const Gears gears = {20, 20, 25, 30, 35, 40, 40, 45, 50, 55, 60, 65, 80, 80};
    const auto table = SearchBestTrains(ThreadToTpi(ThreadType::Metric, 1.5), 8.0, gears, 10);
    for (std::size_t i = 1; i < table.size(); ++i) {
        EXPECT_LE(table[i - 1].error, table[i].error);
    }
    ExpectTable({table[0]}, {{20, 50, 65, 55, 8.0 * (50.0 / 20.0) * (55.0 / 65.0)}});
}

TEST(Search, KeepsToothCountsBeyondThirtyTwoBits) {
    const std::int64_t huge = 5'000'000'000;
    const auto table = SearchBestTrains(1.0, 1.0, {huge, huge, 7}, 1);
    ExpectTable(table, {{huge, 7, 7, huge, 1.0}});
    EXPECT_EQ(FormatResultLine(table[0], 1.0, ThreadType::SAE),
              "A = 5000000000, B = ANY, C = --, D = 5000000000, Thread =  1.000, Error =  0.000%");
}

TEST(Search, OutOfRangeCountsToShowAreClamped) {
    EXPECT_TRUE(SearchBestTrains(16.0, 8.0, {20, 30, 40}, 0).empty());
    EXPECT_EQ(SearchBestTrains(16.0, 8.0, {20, 30, 40}, 500).size(),
              static_cast<std::size_t>(kMaxTrains));
}

TEST(ResultLine, FormatsBothTrainShapes) {
    const double metricTpi = ThreadToTpi(ThreadType::Metric, 1.5);
    const double cut = 8.0 * (50.0 / 20.0) * (55.0 / 65.0);
    const struct {
        GearTrain train;
        double desiredTpi;
        ThreadType type;
        const char* line;
    } cases[] = {
        {{20, 30, 30, 40, 16.0, 0.0},
         16.0,
         ThreadType::SAE,
         "A = 20, B = ANY, C = --, D = 40, Thread = 16.000, Error =  0.000%"},
        {{20, 50, 65, 55, cut, std::fabs(metricTpi - cut)},
         metricTpi,
         ThreadType::Metric,
         "A = 20, B = 50, C = 65, D = 55, Thread =  1.501, Error =  0.061%"},
        {{40, 20, 20, 30, 6.0, 10.0},
         16.0,
         ThreadType::SAE,
         "A = 40, B = ANY, C = --, D = 30, Thread =  6.000, Error = 62.500%"},
        {{20, 80, 25, 80, 1024.0, 1008.0},
         16.0,
         ThreadType::SAE,
         "A = 20, B = 80, C = 25, D = 80, Thread =1024.000, Error =6300.000%"},
        {{20, 40, 30, 60, 4.0, 0.0},
         4.0,
         ThreadType::DP,
         "A = 20, B = 40, C = 30, D = 60, Thread = 12.566, Error =  0.000%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(FormatResultLine(c.train, c.desiredTpi, c.type), c.line);
    }
}

TEST(ResultLine, EmptySlotsAreNotListed) {
    const std::vector<GearTrain> table = {{20, 30, 30, 40, 16.0, 0.0}, GearTrain{}, GearTrain{}};
    const auto lines = FormatResultLines(table, 16.0, ThreadType::SAE);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "A = 20, B = ANY, C = --, D = 40, Thread = 16.000, Error =  0.000%");
}

} // namespace
