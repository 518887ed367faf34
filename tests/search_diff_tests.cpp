// Compares the fast search with the exhaustive reference loop on random
// inputs, slot by slot and bit for bit.
//
// VANTOREL_DIFF_SEED and VANTOREL_DIFF_CASES run other or more cases, e.g.
//   VANTOREL_DIFF_SEED=7 VANTOREL_DIFF_CASES=200000 ./core_tests --gtest_filter='SearchDiff*'
#include "gearcalc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Gears = std::vector<std::int64_t>;
using Random = std::mt19937_64;

constexpr std::uint64_t kDefaultSeed = 20240605;
constexpr long kDefaultCases = 10000;

// The value of an environment variable, or `fallback` when it is unset or
// not a number.
std::uint64_t EnvironmentNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    return *end == '\0' ? value : fallback;
}

struct SearchInput {
    double desiredTpi = 0.0;
    double leadTpi = 0.0;
    Gears gears;
    int show = 0;
};

std::string Describe(const SearchInput& input, const FitRules& rules = {}) {
    std::ostringstream text;
    text.precision(17);
    text << "desired " << input.desiredTpi << " tpi, lead " << input.leadTpi << " tpi, show "
         << input.show << ", " << input.gears.size() << " gears {";
    for (std::size_t i = 0; i < input.gears.size(); ++i) {
        text << (i == 0 ? "" : ", ") << input.gears[i];
    }
    text << "}";
    if (rules.clearance) {
        text << ", clearance " << *rules.clearance;
    }
    if (rules.minimumSum) {
        text << ", minimum sum " << *rules.minimumSum;
    }
    if (rules.spindleGear) {
        text << ", spindle gear " << *rules.spindleGear;
    }
    return text.str();
}

int Uniform(Random& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

double UniformReal(Random& random, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
}

bool Chance(Random& random, double probability) {
    return std::bernoulli_distribution(probability)(random);
}

// The exhaustive loop needs about a quarter of a second at 100 gears and
// grows with the fourth power of the count, so most cases are small and only
// one in four hundred (a few dozen per default run) has 90 to 120 gears. That
// keeps the default run at about twenty seconds on two cores.
int GearCount(Random& random) {
    const double pick = UniformReal(random, 0.0, 1.0);
    if (pick < 0.85) {
        return Uniform(random, 0, 16);
    }
    if (pick < 0.965) {
        return Uniform(random, 17, 28);
    }
    if (pick < 0.9975) {
        return Uniform(random, 29, 40);
    }
    return Uniform(random, 90, 120);
}

// Tooth counts of several kinds: any size up to a few hundred, a handful of
// sizes repeated many times, a usual workshop range, and now and then sizes
// beyond what a double holds exactly. Large lists get no handful of sizes:
// their table never fills, and the exhaustive loop then runs the duplicate
// test on every one of its quadruples, which takes it many seconds.
Gears DrawGears(Random& random, int count) {
    std::vector<std::int64_t> pool;
    const double fewSizes = count > 40 ? 0.0 : 25.0;
    const int kind = std::discrete_distribution<int>({35.0, fewSizes, 30.0, 10.0})(random);
    if (kind == 1) {
        for (int i = Uniform(random, 1, 8); i > 0; --i) {
            pool.push_back(Uniform(random, 1, 300));
        }
    }
    Gears gears;
    for (int i = 0; i < count; ++i) {
        switch (kind) {
        case 0:
            gears.push_back(Uniform(random, 1, 300));
            break;
        case 1:
            gears.push_back(pool[static_cast<std::size_t>(
                Uniform(random, 0, static_cast<int>(pool.size()) - 1))]);
            break;
        case 2:
            gears.push_back(Uniform(random, 12, 127));
            break;
        default:
            gears.push_back(std::uniform_int_distribution<std::int64_t>(
                (std::int64_t{1} << 53) - 64, std::numeric_limits<std::int64_t>::max())(random));
            break;
        }
    }
    if (Chance(random, 0.3)) {
        std::sort(gears.begin(), gears.end());
    }
    return gears;
}

// A desired thread as the user would type it, in any of the four types.
double TypedThreadTpi(Random& random) {
    const ThreadType type = static_cast<ThreadType>(Uniform(random, 0, 3));
    switch (type) {
    case ThreadType::SAE:
        return ThreadToTpi(type, UniformReal(random, 2.0, 80.0));
    case ThreadType::Metric:
        return ThreadToTpi(type, UniformReal(random, 0.2, 6.0));
    case ThreadType::DP:
        return ThreadToTpi(type, UniformReal(random, 4.0, 64.0));
    case ThreadType::Modulus:
        break;
    }
    return ThreadToTpi(type, UniformReal(random, 0.2, 5.0));
}

double TypedLeadTpi(Random& random) {
    if (Chance(random, 0.5)) {
        return LeadScrewToTpi(LeadScrewUnit::MM, UniformReal(random, 1.0, 12.0));
    }
    return LeadScrewToTpi(LeadScrewUnit::TPI, static_cast<double>(Uniform(random, 2, 16)));
}

// The thread of a random admissible train, so that at least one train, and
// often many, hits the target exactly.
double ThreadOfSomeTrain(Random& random, const Gears& gears, double leadTpi) {
    const int n = static_cast<int>(std::min<std::size_t>(gears.size(), kMaxGears));
    const int a = Uniform(random, 0, n - 1);
    int b = a;
    while (b == a) {
        b = Uniform(random, 0, n - 1);
    }
    int d = a;
    while (d == a || d == b) {
        d = Uniform(random, 0, n - 1);
    }
    // c may be b: the simple train, the only kind three gears make.
    int c = a;
    while (c == a || c == d) {
        c = Uniform(random, 0, n - 1);
    }
    const auto G = [&](int i) { return static_cast<double>(gears[static_cast<std::size_t>(i)]); };
    return ((G(b) / G(a)) * (G(d) / G(c))) * leadTpi;
}

// Values the front-ends refuse but the core must still take.
double RefusedMeasure(Random& random) {
    const double values[] = {0.0,
                             -0.0,
                             -16.0,
                             -UniformReal(random, 0.1, 100.0),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    return values[Uniform(random, 0, 6)];
}

int DrawShow(Random& random) {
    const double pick = UniformReal(random, 0.0, 1.0);
    if (pick < 0.02) {
        return Uniform(random, -3, 0);
    }
    if (pick < 0.04) {
        return Uniform(random, 100, 150);
    }
    return Uniform(random, 1, 99);
}

// Fit rules that keep some trains and drop others.
FitRules DrawRules(Random& random, const Gears& gears) {
    FitRules rules;
    if (Chance(random, 0.5)) {
        rules.clearance = Uniform(random, -10, 60);
    }
    if (Chance(random, 0.5)) {
        rules.minimumSum = Uniform(random, 0, 500);
    }
    if (Chance(random, 0.3) && !gears.empty()) {
        rules.spindleGear =
            gears[static_cast<std::size_t>(Uniform(random, 0, static_cast<int>(gears.size()) - 1))];
    }
    return rules;
}

SearchInput DrawInput(Random& random) {
    SearchInput input;
    input.gears = DrawGears(random, GearCount(random));
    input.show = DrawShow(random);
    input.leadTpi = TypedLeadTpi(random);
    input.desiredTpi = TypedThreadTpi(random);
    const double pick = UniformReal(random, 0.0, 1.0);
    const bool canHit = input.gears.size() >= 3;
    if (pick < 0.35 && canHit) {
        input.desiredTpi = ThreadOfSomeTrain(random, input.gears, input.leadTpi);
    } else if (pick < 0.40) {
        // Out of every train's reach: no error gets below the empty threshold.
        input.desiredTpi = Chance(random, 0.5) ? 1e9 : 1e-9;
    } else if (pick < 0.46 && input.gears.size() <= 16) {
        (Chance(random, 0.5) ? input.desiredTpi : input.leadTpi) = RefusedMeasure(random);
    }
    return input;
}

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Empty when both tables agree in every slot and every bit, otherwise the
// first difference.
std::string FirstDifference(const std::vector<GearTrain>& fast,
                            const std::vector<GearTrain>& reference) {
    if (fast.size() != reference.size()) {
        return "table sizes " + std::to_string(fast.size()) + " and " +
               std::to_string(reference.size());
    }
    for (std::size_t i = 0; i < fast.size(); ++i) {
        const GearTrain& x = fast[i];
        const GearTrain& y = reference[i];
        const bool same = x.A == y.A && x.B == y.B && x.C == y.C && x.D == y.D &&
                          Bits(x.thread) == Bits(y.thread) && Bits(x.error) == Bits(y.error);
        if (!same) {
            std::ostringstream text;
            text.precision(17);
            text << "slot " << i << ": fast " << x.A << "/" << x.B << "/" << x.C << "/" << x.D
                 << " " << x.thread << " " << x.error << ", reference " << y.A << "/" << y.B << "/"
                 << y.C << "/" << y.D << " " << y.thread << " " << y.error;
            return text.str();
        }
    }
    return {};
}

TEST(SearchDiff, FastSearchGivesTheReferenceTableBitForBit) {
    const std::uint64_t seed = EnvironmentNumber("VANTOREL_DIFF_SEED", kDefaultSeed);
    const auto cases = static_cast<long>(EnvironmentNumber("VANTOREL_DIFF_CASES", kDefaultCases));
    Random random(seed);
    for (long i = 0; i < cases; ++i) {
        const SearchInput input = DrawInput(random);
        // One case in four asks only for trains that fit.
        const FitRules rules = Chance(random, 0.25) ? DrawRules(random, input.gears) : FitRules{};
        const auto fast =
            SearchBestTrains(input.desiredTpi, input.leadTpi, input.gears, input.show, rules);
        const auto reference = SearchBestTrainsReference(input.desiredTpi, input.leadTpi,
                                                         input.gears, input.show, rules);
        const std::string difference = FirstDifference(fast, reference);
        ASSERT_EQ(difference, "") << "VANTOREL_DIFF_SEED=" << seed << ", case " << i << " of "
                                  << cases << ": " << Describe(input, rules);
    }
}

// Hand-picked inputs at the edges the random draw reaches only by luck.
TEST(SearchDiff, EdgeInputsGiveTheReferenceTable) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::int64_t huge = std::numeric_limits<std::int64_t>::max();
    const SearchInput inputs[] = {
        {16.0, 8.0, {}, 5},
        {16.0, 8.0, {20}, 5},
        {16.0, 8.0, {20, 40}, 5},
        {16.0, 8.0, {20, 30, 40}, 1},
        {8.0, 8.0, Gears(24, 20), 99},
        {8.0, 8.0, Gears(20, 1), 99},
        {16.0, 8.0, {huge, huge - 1, huge - 2, 1, 2}, 99},
        {16.0, 8.0, {0, 20, 30, 40}, 10},
        {16.0, 8.0, {-20, 20, 30, 40}, 10},
        {nan, 8.0, {20, 30, 40, 50}, 10},
        {16.0, nan, {20, 30, 40, 50}, 10},
        {inf, 8.0, {20, 30, 40, 50}, 10},
        {16.0, inf, {20, 30, 40, 50}, 10},
        {0.0, 8.0, {20, 30, 40, 50}, 10},
        {-16.0, 8.0, {20, 30, 40, 50}, 10},
        {16.0, -8.0, {20, 30, 40, 50}, 10},
        {1e300, 8.0, {20, 30, 40, 50}, 10},
        {1e-300, 4.9e-324, {20, 30, 40, 50}, 10},
        // An eviction in the middle of an (a, b) block lets a later
        // quadruple in, although one with the same gear sizes was turned
        // away earlier in the block.
        {9.3900184842883565,
         3.0,
         {120, 110, 127, 110, 38,  110, 38,  54, 30,  127, 62, 38,
          54,  127, 30,  127, 127, 30,  127, 62, 127, 30,  127},
         72},
        {16.0, 8.0, {20, 30, 40, 50}, 0},
        {16.0, 8.0, {20, 30, 40, 50}, 1000},
    };
    for (const SearchInput& input : inputs) {
        SCOPED_TRACE(Describe(input));
        const auto fast =
            SearchBestTrains(input.desiredTpi, input.leadTpi, input.gears, input.show);
        const auto reference =
            SearchBestTrainsReference(input.desiredTpi, input.leadTpi, input.gears, input.show);
        EXPECT_EQ(FirstDifference(fast, reference), "");
    }
}

} // namespace
