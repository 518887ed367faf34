#include "core/three_pair_search.h"

#include "core/units.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Wide enough that no sum or product of two tooth counts can overflow.
__extension__ using Wide = __int128;

// The distinct sizes of the gears that take part, ascending, and how many
// gears of each there are.
struct GearSizes {
    std::vector<std::int64_t> teeth;
    std::vector<int> count;
};

GearSizes SizesOf(const std::vector<std::int64_t>& gears) {
    std::vector<std::int64_t> taking(
        gears.begin(), gears.begin() + static_cast<std::ptrdiff_t>(
                                           std::min<std::size_t>(gears.size(), kMaxGears)));
    std::sort(taking.begin(), taking.end());
    GearSizes sizes;
    for (const std::int64_t teeth : taking) {
        if (teeth <= 0) {
            continue;
        }
        if (sizes.teeth.empty() || sizes.teeth.back() != teeth) {
            sizes.teeth.push_back(teeth);
            sizes.count.push_back(0);
        }
        ++sizes.count.back();
    }
    return sizes;
}

// Whether the sizes i <= j <= k are three gears of the list.
bool Available(const GearSizes& sizes, int i, int j, int k) {
    const int uses = 1 + (j == i) + (k == i);
    return sizes.count[i] >= uses && !(k == j && j != i && sizes.count[j] < 2);
}

// The nearest float to `value` (not negative, at most the largest float, or
// infinite) on the side asked for: bounds kept as floats stay bounds.
float FloatNotBelow(double value) {
    const float near = static_cast<float>(value);
    if (static_cast<double>(near) >= value) {
        return near;
    }
    std::uint32_t bits = 0;
    std::memcpy(&bits, &near, sizeof bits);
    ++bits;
    float above = 0.0F;
    std::memcpy(&above, &bits, sizeof above);
    return above;
}

float FloatNotAbove(double value) {
    const float near = static_cast<float>(value);
    if (static_cast<double>(near) <= value || near == 0.0F) {
        return near;
    }
    std::uint32_t bits = 0;
    std::memcpy(&bits, &near, sizeof bits);
    --bits;
    float below = 0.0F;
    std::memcpy(&below, &bits, sizeof below);
    return below;
}

// A choice of three gears for one side of a train: the indices of their
// sizes, ascending, and the product of their teeth. Kept small, since every
// choice of up to a hundred sizes is held at once.
struct Choice {
    double product;
    std::array<std::uint8_t, 3> size;
    // Under rules, a bit for each order of kOrders in which the three gears
    // can take their side's places (A, C, E or B, D, F) and still fit; each
    // distinct arrangement of the gears once.
    std::uint8_t orders = 0;
};

// The orders of a side's three gears: gear order[m] takes the side's place m.
constexpr std::array<std::array<int, 3>, 6> kOrders{
    {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}}};

// For each way the three gears of a side can fit its three places (bit
// 3g + m: gear g fits place m), the orders in which they all fit.
constexpr std::array<std::uint8_t, 512> OrdersThatFit() {
    std::array<std::uint8_t, 512> table{};
    for (std::size_t fits = 0; fits < table.size(); ++fits) {
        for (std::size_t o = 0; o < kOrders.size(); ++o) {
            bool all = true;
            for (int m = 0; m < 3; ++m) {
                all = all && (fits >> (3 * kOrders[o][m] + m) & 1U) != 0;
            }
            if (all) {
                table[fits] = static_cast<std::uint8_t>(table[fits] | 1U << o);
            }
        }
    }
    return table;
}
constexpr std::array<std::uint8_t, 512> kOrdersThatFit = OrdersThatFit();

// The orders in which gear g comes before gear g + 1: where the two have
// one size, the others repeat these.
constexpr std::array<std::uint8_t, 2> OrdersWithFirstBefore() {
    std::array<std::uint8_t, 2> orders{};
    for (int gear = 0; gear < 2; ++gear) {
        for (std::size_t o = 0; o < kOrders.size(); ++o) {
            const auto& order = kOrders[o];
            const auto at = [&](int g) { return order[0] == g ? 0 : order[1] == g ? 1 : 2; };
            if (at(gear) < at(gear + 1)) {
                orders[gear] = static_cast<std::uint8_t>(orders[gear] | 1U << o);
            }
        }
    }
    return orders;
}
constexpr std::array<std::uint8_t, 2> kOrdersWithFirstBefore = OrdersWithFirstBefore();

// Calls `visit` with each order whose bit is set in `orders`.
template <class Visit> void ForEachOrder(std::uint8_t orders, Visit visit) {
    for (unsigned rest = orders; rest != 0; rest &= rest - 1) {
        visit(kOrders[static_cast<std::size_t>(__builtin_ctz(rest))]);
    }
}

bool ShareASize(const Choice& x, const Choice& y) {
    for (const std::uint8_t mine : x.size) {
        for (const std::uint8_t theirs : y.size) {
            if (mine == theirs) {
                return true;
            }
        }
    }
    return false;
}

Choice ChoiceOf(const GearSizes& sizes, int i, int j, int k) {
    const auto teeth = [&](int index) { return static_cast<double>(sizes.teeth[index]); };
    return {
        (teeth(i) * teeth(j)) * teeth(k),
        {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(j), static_cast<std::uint8_t>(k)}};
}

// Every choice of three gears from the sizes, each choice once.
std::vector<Choice> ChoicesOf(const GearSizes& sizes) {
    const int m = static_cast<int>(sizes.teeth.size());
    std::vector<Choice> choices;
    choices.reserve(static_cast<std::size_t>(m * (m + 1) * (m + 2) / 6));
    for (int i = 0; i < m; ++i) {
        for (int j = i; j < m; ++j) {
            for (int k = j; k < m; ++k) {
                if (Available(sizes, i, j, k)) {
                    choices.push_back(ChoiceOf(sizes, i, j, k));
                }
            }
        }
    }
    return choices;
}

// Sorts the choices by product, keeping the order of equal products: a
// radix sort on the bits of the products, which, being positive doubles,
// order as their bit patterns do. Products of tooth counts leave most low
// bits zero, and a byte that is the same in every product needs no pass.
void SortByProduct(std::vector<Choice>& choices) {
    std::vector<Choice> sorted(choices.size());
    for (int shift = 0; shift < 64; shift += 8) {
        std::array<std::size_t, 257> start{};
        const auto digit = [shift](const Choice& choice) {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &choice.product, sizeof bits);
            return static_cast<std::size_t>(bits >> shift & 0xFF);
        };
        for (const Choice& choice : choices) {
            ++start[digit(choice) + 1];
        }
        if (std::count(start.begin() + 1, start.end(), choices.size()) == 1) {
            continue;
        }
        std::partial_sum(start.begin(), start.end(), start.begin());
        for (const Choice& choice : choices) {
            sorted[start[digit(choice)]++] = choice;
        }
        choices.swap(sorted);
    }
}

using Arrangement = std::array<std::int64_t, 6>; // A, B, C, D, E, F

// Whether `x` is to be shown rather than `y`: the larger step first, pair by
// pair (B/A, then D/C, then F/E, compared exactly); then smaller A, then
// smaller C.
bool Precedes(const Arrangement& x, const Arrangement& y) {
    for (int pair = 0; pair < 6; pair += 2) {
        const Wide left = Wide{x[pair + 1]} * y[pair];
        const Wide right = Wide{y[pair + 1]} * x[pair];
        if (left != right) {
            return left > right;
        }
    }
    return x[0] != y[0] ? x[0] < y[0] : x[2] < y[2];
}

bool AnyRule(const FitRules& rules) {
    return rules.clearance || rules.minimumSum || rules.spindleGear || rules.check;
}

// The arrangement shown of the drivers and driven gears (each ascending), by
// trying all of them; none when none fits.
std::optional<Arrangement> FirstFitting(const std::array<std::int64_t, 3>& drivers,
                                        const std::array<std::int64_t, 3>& driven,
                                        const FitRules& rules) {
    std::optional<Arrangement> best;
    std::array<std::int64_t, 3> x = drivers;
    do {
        std::array<std::int64_t, 3> y = driven;
        do {
            const Arrangement candidate{x[0], y[0], x[1], y[1], x[2], y[2]};
            if (rules.AllowsThreePairs(x[0], y[0], x[1], y[1], x[2], y[2]) &&
                (!best || Precedes(candidate, *best))) {
                best = candidate;
            }
        } while (std::next_permutation(y.begin(), y.end()));
    } while (std::next_permutation(x.begin(), x.end()));
    return best;
}

// The largest step first is plainly the smallest driver against the largest
// driven gear, and so on; when that one fits, as it mostly does, no other
// needs trying.
std::optional<Arrangement> Shown(const std::array<std::int64_t, 3>& drivers,
                                 const std::array<std::int64_t, 3>& driven, const FitRules& rules) {
    const Arrangement first{drivers[0], driven[2], drivers[1], driven[1], drivers[2], driven[0]};
    if (!AnyRule(rules) ||
        rules.AllowsThreePairs(first[0], first[1], first[2], first[3], first[4], first[5])) {
        return first;
    }
    return FirstFitting(drivers, driven, rules);
}

// A train with what orders it: its error, then its drivers and driven gears,
// each ascending.
struct RankedTrain {
    ThreePairTrain train;
    std::array<std::int64_t, 6> sizes;
};

bool Better(const RankedTrain& x, const RankedTrain& y) {
    if (x.train.error != y.train.error) {
        return x.train.error < y.train.error;
    }
    return x.sizes < y.sizes;
}

// The best trains offered so far, at most `show`, worst on top.
class BestTrains {
public:
    explicit BestTrains(int show)
        : capacity_(static_cast<std::size_t>(std::min(show, kMaxTrains))) {
        heap_.reserve(capacity_);
    }

    // No train with a larger error can get in any more.
    double Bound() const {
        return heap_.size() < capacity_ ? kEmptyError : heap_.front().train.error;
    }

    // The gears of the worst train once the table is full of exact trains,
    // when only a train whose gears come first can still get in; otherwise
    // none.
    const std::array<std::int64_t, 6>* WorstOfExact() const {
        if (heap_.size() < capacity_ || heap_.front().train.error != 0.0) {
            return nullptr;
        }
        return &heap_.front().sizes;
    }

    void Offer(const RankedTrain& train) {
        if (!(train.train.error < kEmptyError)) {
            return;
        }
        if (heap_.size() < capacity_) {
            heap_.push_back(train);
            std::push_heap(heap_.begin(), heap_.end(), Better);
            return;
        }
        if (Better(train, heap_.front())) {
            std::pop_heap(heap_.begin(), heap_.end(), Better);
            heap_.back() = train;
            std::push_heap(heap_.begin(), heap_.end(), Better);
        }
    }

    std::size_t Size() const { return heap_.size(); }

    std::vector<ThreePairTrain> Sorted() {
        std::sort_heap(heap_.begin(), heap_.end(), Better);
        std::vector<ThreePairTrain> trains;
        for (const RankedTrain& ranked : heap_) {
            trains.push_back(ranked.train);
        }
        return trains;
    }

private:
    std::size_t capacity_;
    std::vector<RankedTrain> heap_;
};

// The gears as both searches see them: their sizes and every choice of
// three (sorted by product for the fast search).
struct Layout {
    GearSizes sizes;
    std::vector<Choice> choices;
};

// What both searches share: the gears, and how one train is judged.
class Judge {
public:
    Judge(double desiredTpi, double leadTpi, std::shared_ptr<const Layout> layout,
          const FitRules& rules)
        : desired_(desiredTpi), lead_(leadTpi), rules_(rules), layout_(std::move(layout)) {}

    const std::vector<Choice>& Choices() const { return layout_->choices; }
    const GearSizes& Sizes() const { return layout_->sizes; }

    std::array<std::int64_t, 3> Teeth(const Choice& choice) const {
        const std::vector<std::int64_t>& teeth = layout_->sizes.teeth;
        return {teeth[choice.size[0]], teeth[choice.size[1]], teeth[choice.size[2]]};
    }

    // Whether the train can be mounted at all; if so, it is offered.
    bool Offer(const Choice& drivers, const Choice& driven, BestTrains& best) const {
        if (ShareASize(drivers, driven)) {
            return false;
        }
        const auto driverTeeth = Teeth(drivers);
        const auto drivenTeeth = Teeth(driven);
        const std::optional<Arrangement> shown = Shown(driverTeeth, drivenTeeth, rules_);
        if (!shown) {
            return false;
        }
        const auto [A, B, C, D, E, F] = *shown;
        const auto quotient = [](std::int64_t driving, std::int64_t drivenBy) {
            return static_cast<double>(drivenBy) / static_cast<double>(driving);
        };
        const double thread = ((quotient(A, B) * quotient(C, D)) * quotient(E, F)) * lead_;
        const double error = std::fabs(desired_ - thread);
        best.Offer({{A, B, C, D, E, F, thread, error},
                    {driverTeeth[0], driverTeeth[1], driverTeeth[2], drivenTeeth[0], drivenTeeth[1],
                     drivenTeeth[2]}});
        return true;
    }

private:
    double desired_;
    double lead_;
    const FitRules& rules_;
    std::shared_ptr<const Layout> layout_;
};

bool Searchable(double desiredTpi, double leadTpi, int show) {
    return show > 0 && IsUsableMeasure(desiredTpi) && IsUsableMeasure(leadTpi);
}

// A condition in teeth that every arrangement that fits meets: the sum of
// each gear's teeth (in the order A, B, C, D, E, F) times its coefficient,
// -1, 0 or 1, is at least `least`.
// Kept as the gears it counts, each with its sign, since narrowing by it is
// what the search does most under rules.
struct LinearRule {
    std::array<std::uint8_t, 6> gear{};
    std::array<bool, 6> added{};
    int terms = 0;
    Wide least;

    LinearRule(const std::array<int, 6>& coefficient, Wide atLeast) : least(atLeast) {
        for (int i = 0; i < 6; ++i) {
            if (coefficient[i] != 0) {
                gear[terms] = static_cast<std::uint8_t>(i);
                added[terms++] = coefficient[i] > 0;
            }
        }
    }
};

// The one place where the fit rules become conditions linear in teeth, for
// the search to skip what they refuse; a rule added to FitRules adds its
// terms here. With a clearance K, the sum of the first two conditions
// (B and C cancel) and of the last two (D and E cancel) narrow the gears
// most.
std::vector<LinearRule> LinearRulesOf(const FitRules& rules) {
    std::vector<LinearRule> linear;
    if (rules.clearance) {
        const Wide K = *rules.clearance;
        linear.push_back({{0, -1, 1, 1, 0, 0}, K});    // B + K <= C + D
        linear.push_back({{1, 1, -1, 0, 0, 0}, K});    // C + K <= A + B
        linear.push_back({{0, 0, 0, -1, 1, 1}, K});    // D + K <= E + F
        linear.push_back({{0, 0, 1, 1, -1, 0}, K});    // E + K <= C + D
        linear.push_back({{1, 0, 0, 1, 0, 0}, 2 * K}); // A + D >= 2K
        linear.push_back({{0, 0, 1, 0, 0, 1}, 2 * K}); // C + F >= 2K
    }
    if (rules.minimumSum) {
        linear.push_back({{1, 1, 1, 1, 1, 1}, *rules.minimumSum});
    }
    if (rules.spindleGear) {
        linear.push_back({{1, 0, 0, 0, 0, 0}, *rules.spindleGear});
        linear.push_back({{-1, 0, 0, 0, 0, 0}, -Wide{*rules.spindleGear}});
    }
    return linear;
}

// Inclusive bounds on the teeth of one gear of an arrangement.
struct Range {
    Wide low;
    Wide high;

    bool operator==(const Range& other) const { return low == other.low && high == other.high; }
};
using Roles = std::array<Range, 6>;

enum class Narrowing { kUnchanged, kNarrowed, kEmptied };

// Narrows every gear's range by one rule. The most the rule's left side can
// reach stays as it is while it narrows: a gear counted with its high end
// only ever gets a higher low end, and one counted with its low end a lower
// high end.
Narrowing Narrow(const LinearRule& rule, Roles& roles) {
    Wide most = 0;
    for (int term = 0; term < rule.terms; ++term) {
        const Range& range = roles[rule.gear[term]];
        most += rule.added[term] ? range.high : -range.low;
    }
    Narrowing narrowing = Narrowing::kUnchanged;
    for (int term = 0; term < rule.terms; ++term) {
        Range& range = roles[rule.gear[term]];
        if (rule.added[term] && rule.least - (most - range.high) > range.low) {
            range.low = rule.least - (most - range.high);
            narrowing = Narrowing::kNarrowed;
        } else if (!rule.added[term] && most + range.low - rule.least < range.high) {
            range.high = most + range.low - rule.least;
            narrowing = Narrowing::kNarrowed;
        }
        if (range.low > range.high) {
            // No train fits. Narrowing on would feed this range's ends back
            // into the others round after round, without bound.
            return Narrowing::kEmptied;
        }
    }
    return narrowing;
}

// The teeth each gear of a fitting arrangement can have: the sizes at hand,
// narrowed by the rules in turn until none narrows any more. A range left
// empty means that no train fits.
Roles RolesOf(const std::vector<LinearRule>& linear, Wide smallest, Wide largest) {
    Roles roles;
    roles.fill({smallest, largest});
    // Each round narrows by at least a tooth; a bounded number of rounds
    // leaves ranges that are still sound, only wider.
    for (int round = 0; round < 256; ++round) {
        bool narrowed = false;
        for (const LinearRule& rule : linear) {
            const Narrowing narrowing = Narrow(rule, roles);
            if (narrowing == Narrowing::kEmptied) {
                return roles;
            }
            narrowed = narrowed || narrowing == Narrowing::kNarrowed;
        }
        if (!narrowed) {
            break;
        }
    }
    return roles;
}

// What the drivers of a train ask of its driven gears B, D and F, in each
// order they may take: with clearance K, B + K <= C + D, C + K <= A + B,
// D + K <= E + F and E + K <= C + D.
struct DriverPlan {
    struct Arrangement {
        Wide leastB;      // C + K - A
        Wide leastD;      // E + K - C
        Wide mostBOverD;  // C - K
        Wide leastFOverD; // K - E

        bool Admits(Wide B, Wide D, Wide F) const {
            return B >= leastB && D >= leastD && B - D <= mostBOverD && F - D >= leastFOverD;
        }

        // Bounds on the B, D and F within `roles` that could be admitted:
        // the least each can be, B first, then the most, F first. A range
        // left empty means that none can.
        std::array<Range, 3> Bounds(const Roles& roles) const {
            const Wide lowB = std::max(roles[1].low, leastB);
            const Wide lowD = std::max({roles[3].low, leastD, lowB - mostBOverD});
            const Wide lowF = std::max(roles[5].low, lowD + leastFOverD);
            const Wide highD = std::min(roles[3].high, roles[5].high - leastFOverD);
            const Wide highB = std::min(roles[1].high, highD + mostBOverD);
            return {{{lowB, highB}, {lowD, highD}, {lowF, roles[5].high}}};
        }
    };
    std::array<Arrangement, 6> arrangement;
    int arrangements = 0;
    // The loosest of each bound over the arrangements: what no arrangement
    // admits, none of them does.
    Arrangement loosest{};
};

// What a choice of three gears must have for a train with it on one side to
// pass the fit rules, whatever the other side and the arrangement; the test
// of a whole train without arranging it. Any fitting train passes them; with
// rules that turn most trains away, most fail them at once.
//
// Clearance K: B + K <= C + D with C + K <= A + B gives 2K <= A + D, and
// D + K <= E + F with E + K <= C + D gives 2K <= C + F. A and C are two of the
// drivers, D and F two of the driven gears, so with the sides ascending
// (d1 <= d2 <= d3, v1 <= v2 <= v3) 2K <= min(d2 + v3, d3 + v2).
class QuickRules {
public:
    QuickRules(const FitRules& rules, const Judge& judge)
        : rules_(rules), linear_(LinearRulesOf(rules)),
          twiceClearance_(2 * Wide{rules.clearance.value_or(0)}) {
        if (linear_.empty()) {
            return;
        }
        // With three gears or more, every size is in some choice; the
        // largest sum is that of the three largest gears.
        const GearSizes& sizes = judge.Sizes();
        int gears = 0;
        for (std::size_t i = sizes.teeth.size(); i-- > 0 && gears < 3;) {
            for (int n = 0; n < sizes.count[i] && gears < 3; ++n, ++gears) {
                largestSum_ += sizes.teeth[i];
            }
        }
        if (gears < 3) {
            largestSum_ = 0;
            return;
        }
        largest_ = sizes.teeth.back();
        roles_ = RolesOf(linear_, sizes.teeth.front(), largest_);
        constexpr std::int64_t kWordLimit = std::int64_t{1} << 59;
        const auto small = [&](const std::optional<std::int64_t>& rule, std::int64_t limit) {
            return !rule || (*rule<limit&& * rule> - limit);
        };
        inWords_ = small(rules_.clearance, kWordLimit) &&
                   small(rules_.minimumSum, 4 * kWordLimit) && largest_ < kWordLimit &&
                   std::all_of(roles_.begin(), roles_.end(),
                               [](const Range& range) { return range.low <= range.high; });
        if (inWords_) {
            for (int k = 0; k < 3; ++k) {
                drivenPlaces_[k] = {static_cast<std::int64_t>(roles_[2 * k + 1].low),
                                    static_cast<std::int64_t>(roles_[2 * k + 1].high)};
            }
        }
        for (const std::int64_t teeth : sizes.teeth) {
            const auto fits = [&](int place) {
                return teeth >= roles_[place].low && teeth <= roles_[place].high ? 1U : 0U;
            };
            for (int side = 0; side < 2; ++side) {
                placesOf_[side].push_back(static_cast<std::uint8_t>(
                    fits(side) | fits(side + 2) << 1 | fits(side + 4) << 2));
            }
        }
    }

    bool AnyRule() const { return !linear_.empty(); }
    const Roles& Places() const { return roles_; }

    // Narrows `roles` by the rules for a few rounds; returns whether every
    // range still holds a tooth count.
    bool Narrows(Roles& roles) const {
        for (int round = 0; round < 4; ++round) {
            bool narrowed = false;
            for (const LinearRule& rule : linear_) {
                const Narrowing narrowing = Narrow(rule, roles);
                if (narrowing == Narrowing::kEmptied) {
                    return false;
                }
                narrowed = narrowed || narrowing == Narrowing::kNarrowed;
            }
            if (!narrowed) {
                break;
            }
        }
        return std::all_of(roles.begin(), roles.end(),
                           [](const Range& range) { return range.low <= range.high; });
    }

    // The orders in which the choice may take the drivers' places; none
    // when it cannot drive whatever it meets.
    std::uint8_t DriverOrders(const Choice& choice,
                              const std::array<std::int64_t, 3>& teeth) const {
        if (!Reaches(Sum(teeth) + largestSum_) || !Clears(teeth[1] + largest_)) {
            return 0;
        }
        return OrdersOf(choice, 0);
    }

    std::uint8_t DrivenOrders(const Choice& choice,
                              const std::array<std::int64_t, 3>& teeth) const {
        if (!Reaches(Sum(teeth) + largestSum_) || !Clears(teeth[1] + largest_)) {
            return 0;
        }
        return OrdersOf(choice, 1);
    }

    // The least sum B + D + F that the minimum sum leaves beside drivers A,
    // C and E; none but what any gears have without it.
    Wide DrivenSumNeeded(Wide A, Wide C, Wide E) const {
        return rules_.minimumSum ? *rules_.minimumSum - A - C - E : Wide{0};
    }

    // The rules on sums alone, which no arrangement changes.
    bool SumsMayFit(const std::array<std::int64_t, 3>& drivers,
                    const std::array<std::int64_t, 3>& driven) const {
        return Reaches(Sum(drivers) + Sum(driven)) &&
               Clears(std::min(Wide{drivers[1]} + driven[2], Wide{drivers[2]} + driven[1]));
    }

    // Whether DrivenProducts can work in 64 bits: every gear and the
    // clearance below 2^59 teeth, the minimum sum below 2^61, so that no sum
    // of their terms comes near 2^63.
    bool ReachesInWords() const { return inWords_; }

    // The least and most product of driven gears B, D and F within their
    // places' ranges that the clearance rule and the minimum sum can admit
    // beside the drivers A, C and E; the least above the most when none can.
    // For the clearance, the least each gear can be, B first, then the most,
    // F first; for the sum, the least product of three such gears whose sum
    // reaches what the drivers leave.
    std::pair<double, double> DrivenProducts(std::int64_t A, std::int64_t C, std::int64_t E) const {
        std::array<std::int64_t, 3> low = {drivenPlaces_[0].first, drivenPlaces_[1].first,
                                           drivenPlaces_[2].first};
        std::array<std::int64_t, 3> high = {drivenPlaces_[0].second, drivenPlaces_[1].second,
                                            drivenPlaces_[2].second};
        if (rules_.clearance) {
            const std::int64_t K = *rules_.clearance;
            low[0] = std::max(low[0], C + K - A);
            low[1] = std::max({low[1], E + K - C, low[0] - C + K});
            low[2] = std::max(low[2], low[1] + K - E);
            high[1] = std::min(high[1], high[2] - K + E);
            high[0] = std::min(high[0], high[1] + C - K);
        }
        for (int k = 0; k < 3; ++k) {
            if (low[k] > high[k]) {
                return {1.0, 0.0};
            }
        }
        const double most = Product(high);
        if (!rules_.minimumSum) {
            return {Product(low), most};
        }
        return {LeastProductReaching(low, high, *rules_.minimumSum - A - C - E), most};
    }

    // The least product of three gears within [low, high] whose teeth sum
    // to at least `sum`; above any product when none does. The product
    // grows with every gear, so the least has the sum itself, and its log
    // is concave, so the least lies at a corner of that plane within the
    // box: two gears at an end of their ranges, the third making up the sum.
    static double LeastProductReaching(const std::array<std::int64_t, 3>& low,
                                       const std::array<std::int64_t, 3>& high, std::int64_t sum) {
        if (low[0] + low[1] + low[2] >= sum) {
            return Product(low);
        }
        double least = std::numeric_limits<double>::infinity();
        for (int free = 0; free < 3; ++free) {
            const int x = (free + 1) % 3;
            const int y = (free + 2) % 3;
            for (const std::int64_t atX : {low[x], high[x]}) {
                for (const std::int64_t atY : {low[y], high[y]}) {
                    const std::int64_t rest = sum - atX - atY;
                    if (rest >= low[free] && rest <= high[free]) {
                        std::array<std::int64_t, 3> corner{};
                        corner[free] = rest;
                        corner[x] = atX;
                        corner[y] = atY;
                        least = std::min(least, Product(corner));
                    }
                }
            }
        }
        return least;
    }

    static double Product(const std::array<std::int64_t, 3>& teeth) {
        return (static_cast<double>(teeth[0]) * static_cast<double>(teeth[1])) *
               static_cast<double>(teeth[2]);
    }

    // What a choice of drivers asks of the driven gears, worked out once for
    // all the driven choices it meets.
    DriverPlan PlanFor(const Choice& drivers, const std::array<std::int64_t, 3>& teeth) const {
        DriverPlan plan;
        if (!rules_.clearance) {
            return plan;
        }
        const Wide K = *rules_.clearance;
        ForEachOrder(drivers.orders, [&](const std::array<int, 3>& order) {
            const Wide A = teeth[order[0]];
            const Wide C = teeth[order[1]];
            const Wide E = teeth[order[2]];
            plan.arrangement[plan.arrangements++] = {C + K - A, E + K - C, C - K, K - E};
        });
        if (plan.arrangements == 0) {
            return plan;
        }
        plan.loosest = plan.arrangement[0];
        for (int i = 1; i < plan.arrangements; ++i) {
            const DriverPlan::Arrangement& x = plan.arrangement[i];
            DriverPlan::Arrangement& loosest = plan.loosest;
            loosest.leastB = std::min(loosest.leastB, x.leastB);
            loosest.leastD = std::min(loosest.leastD, x.leastD);
            loosest.mostBOverD = std::max(loosest.mostBOverD, x.mostBOverD);
            loosest.leastFOverD = std::min(loosest.leastFOverD, x.leastFOverD);
        }
        return plan;
    }

    // Whether some arrangement of the drivers of `plan` and the `driven`
    // gears, in the orders they may take, can pass the rules that bound
    // teeth; the rest are left to the judge.
    bool MayFit(const DriverPlan& plan, const Choice& driven,
                const std::array<std::int64_t, 3>& teeth) const {
        if (!rules_.clearance) {
            return driven.orders != 0;
        }
        bool clears = false;
        ForEachOrder(driven.orders, [&](const std::array<int, 3>& order) {
            const Wide B = teeth[order[0]];
            const Wide D = teeth[order[1]];
            const Wide F = teeth[order[2]];
            if (clears || !plan.loosest.Admits(B, D, F)) {
                return;
            }
            for (int i = 0; i < plan.arrangements && !clears; ++i) {
                clears = plan.arrangement[i].Admits(B, D, F);
            }
        });
        return clears;
    }

private:
    // The orders in which the sizes of `side` each lie in the range of the
    // place they take, the places being `first`, `first` + 2 and `first` + 4.
    std::uint8_t OrdersOf(const Choice& side, int first) const {
        const std::vector<std::uint8_t>& places = placesOf_[first];
        std::uint8_t orders = kOrdersThatFit[places[side.size[0]] | places[side.size[1]] << 3 |
                                             places[side.size[2]] << 6];
        if (side.size[0] == side.size[1]) {
            orders &= kOrdersWithFirstBefore[0];
        }
        if (side.size[1] == side.size[2]) {
            orders &= kOrdersWithFirstBefore[1];
        }
        return orders;
    }

    static Wide Sum(const std::array<std::int64_t, 3>& side) {
        return Wide{side[0]} + side[1] + side[2];
    }
    bool Reaches(Wide sum) const { return !rules_.minimumSum || sum >= *rules_.minimumSum; }
    bool Clears(Wide sum) const { return !rules_.clearance || sum >= twiceClearance_; }

    const FitRules& rules_;
    Wide largest_ = 0;
    Wide largestSum_ = 0;
    std::vector<LinearRule> linear_;
    Wide twiceClearance_;
    // What each gear of a fitting arrangement can be.
    Roles roles_{};
    bool inWords_ = false;
    // The ranges of B, D and F, when DrivenProducts works in 64 bits.
    std::array<std::pair<std::int64_t, std::int64_t>, 3> drivenPlaces_{};
    // For the drivers' places A, C, E and then the driven B, D, F, for each
    // size a bit for each of the three places whose range holds its teeth.
    std::array<std::vector<std::uint8_t>, 2> placesOf_;
};

// The gears of the last search in this thread, with every choice of three
// sorted by product: a chart searches one gear list for many threads, and
// sorting the choices costs more than most searches.
std::shared_ptr<const Layout> SortedLayoutFor(const std::vector<std::int64_t>& gears) {
    thread_local std::shared_ptr<const Layout> last;
    GearSizes sizes = SizesOf(gears);
    if (last && last->sizes.teeth == sizes.teeth && last->sizes.count == sizes.count) {
        return last;
    }
    auto layout = std::make_shared<Layout>();
    layout->choices = ChoicesOf(sizes);
    SortByProduct(layout->choices);
    layout->sizes = std::move(sizes);
    last = layout;
    return last;
}

// Meet in the middle: the train cuts about lead x Q / P, where P is the
// product of the drivers' tooth counts and Q of the driven ones. With every
// choice of three gears sorted by its product, the driven choices that can
// still get in beside one choice of drivers are one run of that order around
// the point where Q / P is the wanted ratio; that point only moves up as the
// drivers' product grows. Each run is walked outward from that point,
// nearest first, for as long as a train there could still get in, so that
// only trains near the best are ever judged.
class FastSearch {
public:
    FastSearch(double desiredTpi, double leadTpi, const std::vector<std::int64_t>& gears,
               const FitRules& rules)
        : desired_(desiredTpi), lead_(leadTpi), anyRule_(AnyRule(rules)),
          judge_(desiredTpi, leadTpi, SortedLayoutFor(gears), rules), quick_(rules, judge_),
          drivers_(quick_.AnyRule() ? driversKept_ : judge_.Choices()),
          driven_(quick_.AnyRule() ? drivenKept_ : judge_.Choices()) {
        // Without rules every choice may drive and be driven: one list serves.
        if (!quick_.AnyRule()) {
            return;
        }
        driversKept_.reserve(judge_.Choices().size());
        drivenKept_.reserve(judge_.Choices().size());
        for (Choice choice : judge_.Choices()) {
            const auto teeth = judge_.Teeth(choice);
            choice.orders = quick_.DriverOrders(choice, teeth);
            if (choice.orders != 0) {
                driversKept_.push_back(choice);
            }
            choice.orders = quick_.DrivenOrders(choice, teeth);
            if (choice.orders != 0) {
                drivenKept_.push_back(choice);
            }
        }
    }

    // Passes over ever wider bands around the wanted thread, until one finds
    // `show` trains that fit, all within the band: every train outside it is
    // then worse than all of them. Without rules one pass does: every train
    // fits, so the walk beside each choice of drivers is bounded by the worst
    // of the best trains met so far, which soon holds it to a few trains.
    // Under rules the first band is the worst of the nearest trains that
    // fit, which settles the search at once when they are enough. Where they
    // rarely fit, the drivers are tried by their reach (BandByReach). Either
    // way a band that holds too few trains widens per pass, so that the work
    // follows the trains near enough to be among the best. The trains in a
    // band grow about as its width, so it widens by the share of the table
    // still empty, at least fourfold: every pass costs something for each
    // choice of drivers, however narrow its band.
    std::vector<ThreePairTrain> Run(int show) {
        const std::optional<double> first = FirstBand(show);
        double band = first ? *first : BandByReach();
        for (;;) {
            BestTrains best(show);
            if (leastErrors_.empty()) {
                ForEachDriverChoice([&](std::size_t i) { TryRun(i, band, best); });
            } else {
                for (const ReachOfDrivers& next : DriversWithin(band)) {
                    if (next.leastError > std::min(band, best.Bound()) + desired_ * kSlack) {
                        break;
                    }
                    TryRun(next.drivers, band, best);
                }
            }
            if (best.Bound() <= band || !(band < kEmptyError)) {
                return best.Sorted();
            }
            // A pass that tries only the drivers that can reach its band
            // costs little, and one wider than it need be much, since the
            // trains that fit lie far apart: such bands double.
            const double found = static_cast<double>(best.Size());
            const double widening =
                leastErrors_.empty() ? std::clamp(show / found, 4.0, kMostWidening) : 2.0;
            band = std::min(band * widening, kEmptyError);
        }
    }

private:
    // A driven choice next to where a choice of drivers meets the wanted
    // ratio, with the error that ratio estimates.
    struct Nearby {
        double error;
        std::uint32_t drivers;
        std::uint32_t driven;
    };

    // Under rules, the worst of the best trains that fit among the nearest
    // ones beside each choice of drivers, when there are enough of them.
    // They are tried in rounds, those estimated nearest first, until the
    // estimates left are all beyond the worst of the best found: where most
    // trains fit, the first round settles it. None where too few fit, or
    // where, after each kFirstRound of them, they are seen to fit rarely.
    std::optional<double> FirstBand(int show) {
        if (!anyRule_) {
            return kEmptyError;
        }
        BestTrains nearest(show);
        std::vector<Nearby> round;
        double tried = -1.0;
        std::size_t offered = 0;
        std::size_t fitting = 0;
        for (const double limit : RoundLimits()) {
            round.clear();
            ForEachDriverChoice([&](std::size_t i) {
                ForEachNearby(i, [&](std::size_t j, double error) {
                    if (error > tried && error <= limit) {
                        round.push_back(
                            {error, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
                    }
                });
            });
            std::sort(round.begin(), round.end(),
                      [](const Nearby& x, const Nearby& y) { return x.error < y.error; });
            for (const Nearby& next : round) {
                if (next.error > nearest.Bound() + desired_ * kSlack) {
                    break;
                }
                if (OutOfReach(drivers_[next.drivers], nearest)) {
                    continue;
                }
                ++offered;
                fitting += Offer(drivers_[next.drivers], driven_[next.driven], nearest);
                if (offered % kFirstRound == 0 && fitting * kRarely < offered) {
                    return std::nullopt;
                }
            }
            if (nearest.Bound() <= limit) {
                break;
            }
            tried = limit;
        }
        if (!(nearest.Bound() < kEmptyError)) {
            return std::nullopt;
        }
        return nearest.Bound();
    }
    // Fewer than one in this many of the nearest trains fit: rarely.
    static constexpr std::size_t kRarely = 128;

    // Calls `visit` with the driven choice on either side of where the
    // drivers meet the wanted ratio, and the error that ratio estimates.
    template <class Visit> void ForEachNearby(std::size_t drivers, Visit visit) const {
        const std::size_t middle = middles_[drivers];
        const std::size_t last = std::min(middle + 1, driven_.size());
        for (std::size_t j = middle > 0 ? middle - 1 : middle; j < last; ++j) {
            visit(j,
                  std::fabs(desired_ - lead_ * (driven_[j].product / drivers_[drivers].product)));
        }
    }

    // The estimated errors within which lie about kFirstRound of the nearest
    // trains, then four times as many, and so on, ending with all of them:
    // found from those beside every kSampled-th choice of drivers, which
    // needs no list of them all.
    std::vector<double> RoundLimits() {
        std::vector<double> sample;
        ForEachDriverChoice([&](std::size_t i) {
            if (i % kSampled == 0) {
                ForEachNearby(i, [&](std::size_t, double error) { sample.push_back(error); });
            }
        });
        std::sort(sample.begin(), sample.end());
        std::vector<double> limits;
        for (std::size_t count = kFirstRound / kSampled; count < sample.size(); count *= 4) {
            limits.push_back(sample[count]);
        }
        limits.push_back(std::numeric_limits<double>::infinity());
        return limits;
    }
    // Enough for the best of a search where most trains fit.
    static constexpr std::size_t kFirstRound = 1024;
    static constexpr std::size_t kSampled = 16;

    // The relative slack between the estimate lead x Q / P and the thread
    // the arrangement shown really cuts: their roundings come to some twenty
    // units in the last place, 2e-15. No wider: with gears of a hundred
    // million teeth every train lies within 1e-9 of the others, and a wider
    // slack would let every one of them into the walk.
    static constexpr double kSlack = 1e-13;
    // How many times wider the band grows at most in one pass, when a pass
    // found no train at all.
    static constexpr double kMostWidening = 256.0;
    // The first band, as a share of the wanted thread, when the nearest
    // trains are too few to set it.
    static constexpr double kFirstBand = 1e-4;

    // Calls `visit` with the index of each choice of drivers, once
    // middles_ holds, for it, the first driven choice whose product is not
    // below the drivers' times the wanted ratio. Every pass visits the same
    // points, so the first keeps them for the others.
    template <class Visit> void ForEachDriverChoice(Visit visit) {
        if (!middles_.empty()) {
            for (std::size_t i = 0; i < drivers_.size(); ++i) {
                visit(i);
            }
            return;
        }
        const double ratio = desired_ / lead_;
        middles_.resize(drivers_.size());
        std::size_t middle = 0;
        for (std::size_t i = 0; i < drivers_.size(); ++i) {
            const double point = drivers_[i].product * ratio;
            while (middle < driven_.size() && driven_[middle].product < point) {
                ++middle;
            }
            middles_[i] = static_cast<std::uint32_t>(middle);
            visit(i);
        }
    }

    const DriverPlan& PlanOf(const Choice& drivers) {
        if (planned_ != &drivers) {
            plan_ = quick_.PlanFor(drivers, judge_.Teeth(drivers));
            planned_ = &drivers;
        }
        return plan_;
    }

    bool Offer(const Choice& drivers, const Choice& driven, BestTrains& best) {
        if (quick_.AnyRule()) {
            const auto driverTeeth = judge_.Teeth(drivers);
            const auto drivenTeeth = judge_.Teeth(driven);
            if (!quick_.SumsMayFit(driverTeeth, drivenTeeth)) {
                return false;
            }
            // A choice of drivers is offered its driven choices one after
            // another, so what it asks of them is worked out once, when first
            // needed: most drivers meet no driven choice that gets this far.
            if (!quick_.MayFit(PlanOf(drivers), driven, drivenTeeth)) {
                return false;
            }
        }
        return judge_.Offer(drivers, driven, best);
    }

    // Whether no train with these drivers can get in any more: the table is
    // full of exact trains, and ties go to the drivers that come first.
    bool OutOfReach(const Choice& drivers, const BestTrains& best) const {
        const auto* worst = best.WorstOfExact();
        if (worst == nullptr) {
            return false;
        }
        const auto teeth = judge_.Teeth(drivers);
        return std::lexicographical_compare(worst->begin(), worst->begin() + 3, teeth.begin(),
                                            teeth.end());
    }

    // The thread `deviation` from the one wanted, widened by more than the
    // rounding of an error |desired - thread|, which is absolute: a thread
    // far below the one wanted can still round to an error at the limit.
    double Thread(double deviation) const {
        return desired_ + deviation +
               std::copysign((desired_ + std::fabs(deviation)) * 1e-15, deviation);
    }

    // Outward from the middle, nearest first on either side, so that the
    // limit tightens early even when the first pass found too few trains.
    // The products of driven choices that can still get in beside drivers.
    struct Window {
        double low;
        double high;

        // Wider by the slack, for products multiplied in another order than
        // a choice's own.
        Window Widened() const { return {low * (1.0 - kSlack), high * (1.0 + kSlack)}; }

        // Whether a product within [least, most], so multiplied, may lie in
        // the window.
        bool MayHold(double least, double most) const {
            const Window wide = Widened();
            return least <= most && most >= wide.low && least <= wide.high;
        }
    };

    // The limit changes seldom, so its factors are kept.
    Window WindowOf(const Choice& drivers, double limit) {
        if (limit != windowLimit_) {
            windowLimit_ = limit;
            windowFactors_ = {(Thread(-limit) / lead_) * (1.0 - kSlack),
                              (Thread(limit) / lead_) * (1.0 + kSlack)};
        }
        return {windowFactors_.low * drivers.product, windowFactors_.high * drivers.product};
    }

    // Outward from the middle, nearest first on either side, so that the
    // limit tightens early even when the first pass found too few trains.
    void TryRun(std::size_t i, double bound, BestTrains& best) {
        const Choice& drivers = drivers_[i];
        const std::size_t middle = middles_[i];
        if (OutOfReach(drivers, best)) {
            return;
        }
        if (quick_.AnyRule() && TryPlaces(i, std::min(bound, best.Bound()), best)) {
            return;
        }
        const auto limit = [&] { return std::min(bound, best.Bound()); };
        Window window = WindowOf(drivers, limit());
        std::size_t down = middle;
        std::size_t up = middle;
        bool downward = true;
        bool upward = true;
        while (downward || upward) {
            downward = downward && down > 0 && driven_[down - 1].product >= window.low;
            if (downward) {
                Offer(drivers, driven_[--down], best);
                window = WindowOf(drivers, limit());
            }
            upward = upward && up < driven_.size() && driven_[up].product <= window.high;
            if (upward) {
                Offer(drivers, driven_[up++], best);
                window = WindowOf(drivers, limit());
            }
        }
    }
    // A walk this short is left to be walked.
    static constexpr std::size_t kShortWalk = 32;
    // Judging a driven choice met on the walk costs about as much as this
    // many steps over the boxes.
    static constexpr std::size_t kStepsPerJudgement = 16;

    // Where the rules let few driven choices fit beside the drivers, they
    // are found from the teeth each driven gear can have in each arrangement
    // of the drivers, rather than by walking every driven choice near the
    // wanted ratio. Returns whether it took the drivers on: it leaves them to
    // the walk when that is the shorter.
    bool TryPlaces(std::size_t i, double limit, BestTrains& best) {
        const Choice& drivers = drivers_[i];
        const std::size_t middle = middles_[i];
        const Window window = WindowOf(drivers, limit);
        const double wanted = drivers.product * (desired_ / lead_);
        if (!reach_.empty() && !reach_[i].Meets(window, wanted)) {
            return true;
        }
        // Mostly the walk is short; a walk of more than kShortWalk choices
        // has more than half of them on one side.
        const std::size_t half = kShortWalk / 2;
        if (!(middle > half && driven_[middle - half - 1].product >= window.low) &&
            !(middle + half < driven_.size() && driven_[middle + half].product <= window.high)) {
            return false;
        }
        const std::size_t walk =
            FirstNotBelow(window.high, middle) - FirstNotBelow(window.low, middle);
        if (walk <= kShortWalk) {
            return false;
        }
        if (!ReachOf(i, wanted).Meets(window, wanted)) {
            return true;
        }
        std::vector<Roles>& boxes = boxes_;
        boxes.clear();
        std::size_t volume = 0;
        const std::array<std::int64_t, 3> teeth = judge_.Teeth(drivers);
        const DriverPlan& plan = PlanOf(drivers);
        int arrangement = 0;
        ForEachOrder(drivers.orders, [&](const std::array<int, 3>& order) {
            // Most orders leave no room, or none near the wanted ratio,
            // which the plan shows at once.
            if (plan.arrangements > 0 &&
                !MayMeet(plan.arrangement[arrangement++].Bounds(quick_.Places()), window)) {
                return;
            }
            Roles roles = quick_.Places();
            for (int k = 0; k < 3; ++k) {
                roles[2 * k] = {teeth[order[k]], teeth[order[k]]};
            }
            if (quick_.Narrows(roles) && !HoldsDrivenRanges(boxes, roles)) {
                const std::size_t steps = StepsOver(roles, window);
                if (steps > 0) {
                    volume += steps;
                    boxes.push_back(roles);
                }
            }
        });
        if (volume >= walk * kStepsPerJudgement) {
            return false;
        }
        found_.clear();
        for (const Roles& box : boxes) {
            Gather(box, window);
        }
        std::sort(found_.begin(), found_.end());
        found_.erase(std::unique(found_.begin(), found_.end()), found_.end());
        for (const std::uint32_t key : found_) {
            Choice driven =
                ChoiceOf(judge_.Sizes(), static_cast<int>(key >> 16),
                         static_cast<int>(key >> 8 & 0xFF), static_cast<int>(key & 0xFF));
            driven.orders = quick_.DrivenOrders(driven, judge_.Teeth(driven));
            Offer(drivers, driven, best);
        }
        return true;
    }

    // The first driven choice whose product is not below `product`, searched
    // outward from `hint` in ever longer steps: it is mostly near.
    std::size_t FirstNotBelow(double product, std::size_t hint) const {
        const std::size_t size = driven_.size();
        std::size_t low = 0;
        std::size_t high = hint;
        std::size_t step = 1;
        if (hint < size && driven_[hint].product < product) {
            low = hint + 1;
            while (low + step - 1 < size && driven_[low + step - 1].product < product) {
                low += step;
                step *= 2;
            }
            high = std::min(low + step - 1, size);
        } else {
            while (high >= step && driven_[high - step].product >= product) {
                high -= step;
                step *= 2;
            }
            low = high >= step ? high - step + 1 : 0;
        }
        const auto first = std::lower_bound(
            driven_.begin() + static_cast<std::ptrdiff_t>(low),
            driven_.begin() + static_cast<std::ptrdiff_t>(high), product,
            [](const Choice& choice, double bound) { return choice.product < bound; });
        return static_cast<std::size_t>(first - driven_.begin());
    }

    // The sizes within a range of teeth, as indices first..last-1.
    std::pair<std::size_t, std::size_t> IndicesOf(const Range& range) const {
        const std::vector<std::int64_t>& teeth = judge_.Sizes().teeth;
        const auto below = [](std::int64_t size, Wide bound) { return size < bound; };
        const auto first = std::lower_bound(teeth.begin(), teeth.end(), range.low, below);
        const auto last =
            std::upper_bound(teeth.begin(), teeth.end(), range.high,
                             [](Wide bound, std::int64_t size) { return bound < size; });
        return {static_cast<std::size_t>(first - teeth.begin()),
                static_cast<std::size_t>(std::max(first, last) - teeth.begin())};
    }

    // A choice of drivers with the least error any train with it that fits
    // can have, as far as its reach shows.
    struct ReachOfDrivers {
        float leastError;
        std::uint32_t drivers;
    };

    // Where even the nearest trains beside the drivers mostly do not fit,
    // those that do lie far from the wanted thread, and a band near it
    // holds next to none of them. The drivers are then tried in the order
    // of the least error their reach allows, and each pass ends where that
    // passes its band: every pass tries only the drivers that can reach it.
    double BandByReach() {
        leastErrors_.reserve(drivers_.size());
        float leastOfAll = std::numeric_limits<float>::max();
        for (std::size_t i = 0; i < drivers_.size(); ++i) {
            const Reach& reach = ReachOf(i, drivers_[i].product * (desired_ / lead_));
            // Below the wanted product the thread falls short by at least
            // the share missing, above it overshoots by the share over.
            const double least =
                std::max(0.0, std::min(1.0 - static_cast<double>(reach.highestBelow),
                                       static_cast<double>(reach.lowestAbove) - 1.0));
            // Rounded down, as a float, to stay a bound; beyond the largest
            // float is only further than that.
            leastErrors_.push_back(FloatNotAbove(
                std::min(desired_ * least, double{std::numeric_limits<float>::max()})));
            leastOfAll = std::min(leastOfAll, leastErrors_.back());
        }
        // No band narrower than the least error of all finds a train.
        return std::max(desired_ * kFirstBand, static_cast<double>(leastOfAll));
    }

    // The drivers whose least error lies within the band, in the order of
    // that error.
    const std::vector<ReachOfDrivers>& DriversWithin(double band) {
        byReach_.clear();
        for (std::size_t i = 0; i < leastErrors_.size(); ++i) {
            if (leastErrors_[i] <= band + desired_ * kSlack) {
                byReach_.push_back({leastErrors_[i], static_cast<std::uint32_t>(i)});
            }
        }
        std::sort(byReach_.begin(), byReach_.end(),
                  [](const ReachOfDrivers& x, const ReachOfDrivers& y) {
                      return x.leastError < y.leastError;
                  });
        return byReach_;
    }

    // The products of the driven gears that can fit beside a choice of
    // drivers, as far as its plan bounds them: the nearest on either side
    // of the product where the drivers meet the wanted ratio, as shares of
    // it. Held as floats, rounded outward, since every choice of drivers in
    // a wide search keeps one.
    struct Reach {
        // Infinite when some arrangement reaches the wanted ratio itself.
        float highestBelow = std::numeric_limits<float>::quiet_NaN();
        float lowestAbove = std::numeric_limits<float>::max();

        bool Known() const { return !std::isnan(highestBelow); }
        // Unknown reaches meet every window, which holds the wanted ratio.
        bool Meets(const Window& window, double wanted) const {
            return !Known() || highestBelow * wanted >= window.low ||
                   lowestAbove * wanted <= window.high;
        }
    };

    // The reach of the drivers, worked out once for all passes; `wanted` is
    // the driven product where they meet the wanted ratio.
    const Reach& ReachOf(std::size_t i, double wanted) {
        if (reach_.empty()) {
            reach_.resize(drivers_.size());
        }
        Reach& reach = reach_[i];
        if (reach.Known()) {
            return reach;
        }
        if (!quick_.ReachesInWords()) {
            reach.highestBelow = std::numeric_limits<float>::infinity();
            return reach;
        }
        double highestBelow = 0.0;
        double lowestAbove = std::numeric_limits<double>::infinity();
        const std::array<std::int64_t, 3> teeth = judge_.Teeth(drivers_[i]);
        ForEachOrder(drivers_[i].orders, [&](const std::array<int, 3>& order) {
            const auto [least, most] =
                quick_.DrivenProducts(teeth[order[0]], teeth[order[1]], teeth[order[2]]);
            if (least > most) {
                return;
            }
            if (least <= wanted && most >= wanted) {
                highestBelow = std::numeric_limits<double>::infinity();
            } else if (most < wanted) {
                highestBelow = std::max(highestBelow, most);
            } else {
                lowestAbove = std::min(lowestAbove, least);
            }
        });
        // A share below one, or infinite, is a float; one above the largest
        // float is held as that, which is only nearer.
        constexpr float kMost = std::numeric_limits<float>::max();
        reach.highestBelow = FloatNotBelow(highestBelow / wanted);
        reach.lowestAbove = FloatNotAbove(std::min(lowestAbove / wanted, double{kMost}));
        return reach;
    }

    // The least and most product of driven gears within the bounds on B, D
    // and F; the least above the most when a bound is empty.
    static std::pair<double, double> ProductsWithin(const std::array<Range, 3>& bounds) {
        double least = 1.0;
        double most = 1.0;
        for (const Range& range : bounds) {
            if (range.low > range.high) {
                return {1.0, 0.0};
            }
            // Within the sizes at hand once not empty, so within 64 bits.
            least *= static_cast<double>(static_cast<std::int64_t>(range.low));
            most *= static_cast<double>(static_cast<std::int64_t>(range.high));
        }
        return {least, most};
    }

    // Whether driven gears within the bounds on B, D and F can have a
    // product within the window.
    static bool MayMeet(const std::array<Range, 3>& bounds, const Window& window) {
        const auto [least, most] = ProductsWithin(bounds);
        return window.MayHold(least, most);
    }

    // Whether a box of `boxes` has the ranges of B, D and F that `box` has,
    // in some order: the two gather the same driven choices, as under a
    // minimum sum alone, which is the same for every arrangement.
    static bool HoldsDrivenRanges(const std::vector<Roles>& boxes, const Roles& box) {
        std::array<Range, 3> mine = {box[1], box[3], box[5]};
        const auto before = [](const Range& x, const Range& y) {
            return x.low != y.low ? x.low < y.low : x.high < y.high;
        };
        std::sort(mine.begin(), mine.end(), before);
        return std::any_of(boxes.begin(), boxes.end(), [&](const Roles& other) {
            std::array<Range, 3> theirs = {other[1], other[3], other[5]};
            std::sort(theirs.begin(), theirs.end(), before);
            return theirs == mine;
        });
    }

    // About how many steps Gather takes over the box: none when no choice
    // in it can have a product within the window.
    std::size_t StepsOver(const Roles& box, const Window& window) const {
        const auto [firstB, lastB] = IndicesOf(box[1]);
        const auto [firstD, lastD] = IndicesOf(box[3]);
        const auto [firstF, lastF] = IndicesOf(box[5]);
        if (firstB == lastB || firstD == lastD || firstF == lastF) {
            return 0;
        }
        const auto teeth = [&](std::size_t index) {
            return static_cast<double>(judge_.Sizes().teeth[index]);
        };
        if (!window.MayHold((teeth(firstB) * teeth(firstD)) * teeth(firstF),
                            (teeth(lastB - 1) * teeth(lastD - 1)) * teeth(lastF - 1))) {
            return 0;
        }
        return (lastB - firstB) * (lastD - firstD + lastF - firstF);
    }

    // Every choice of driven gears in the box whose product lies in the
    // window, each packed as i << 16 | j << 8 | k, its sizes ascending.
    void Gather(const Roles& box, const Window& window) {
        const GearSizes& sizes = judge_.Sizes();
        const auto teeth = [&](std::size_t index) {
            return static_cast<double>(sizes.teeth[index]);
        };
        const auto [firstB, lastB] = IndicesOf(box[1]);
        const auto [firstD, lastD] = IndicesOf(box[3]);
        const auto [firstF, lastF] = IndicesOf(box[5]);
        const Window wide = window.Widened();
        const double low = wide.low;
        const double high = wide.high;
        if (firstD == lastD || firstF == lastF) {
            return;
        }
        // The teeth B + D + F must reach beside the drivers.
        const Wide need = quick_.DrivenSumNeeded(box[0].low, box[2].low, box[4].low);
        for (std::size_t b = firstB; b < lastB; ++b) {
            // As D grows, the F that bring the product into the window, and
            // those that bring the sum to what is needed, only get fewer
            // teeth: [fLow, fHigh) and fSum move down. The D too small to
            // reach the window or the sum with the largest F are skipped at
            // once.
            const Wide tb = sizes.teeth[b];
            const double most = teeth(b) * teeth(lastF - 1);
            const Wide leastD = need - tb - sizes.teeth[lastF - 1];
            std::size_t d = static_cast<std::size_t>(
                std::partition_point(sizes.teeth.begin() + static_cast<std::ptrdiff_t>(firstD),
                                     sizes.teeth.begin() + static_cast<std::ptrdiff_t>(lastD),
                                     [&](std::int64_t D) {
                                         return most * static_cast<double>(D) < low || D < leastD;
                                     }) -
                sizes.teeth.begin());
            // Where two of the places have one range, a choice in the box is
            // there in either order, so one order will do: D from B on, F
            // from D or from B on.
            if (box[1] == box[3]) {
                d = std::max(d, b);
            }
            std::size_t fLow = lastF;
            std::size_t fHigh = lastF;
            std::size_t fSum = lastF;
            for (; d < lastD; ++d) {
                const double bd = teeth(b) * teeth(d);
                if (teeth(firstF) * bd > high) {
                    break;
                }
                while (fHigh > firstF && teeth(fHigh - 1) * bd > high) {
                    --fHigh;
                }
                while (fLow > firstF && teeth(fLow - 1) * bd >= low) {
                    --fLow;
                }
                const Wide leastF = need - tb - sizes.teeth[d];
                while (fSum > firstF && sizes.teeth[fSum - 1] >= leastF) {
                    --fSum;
                }
                std::size_t f = std::max(fLow, fSum);
                if (box[3] == box[5]) {
                    f = std::max(f, d);
                }
                if (box[1] == box[5]) {
                    f = std::max(f, b);
                }
                for (; f < fHigh; ++f) {
                    Keep(b, d, f, window);
                }
            }
        }
    }

    void Keep(std::size_t b, std::size_t d, std::size_t f, const Window& window) {
        std::array<std::size_t, 3> side = {b, d, f};
        std::sort(side.begin(), side.end());
        const int i = static_cast<int>(side[0]);
        const int j = static_cast<int>(side[1]);
        const int k = static_cast<int>(side[2]);
        if (!Available(judge_.Sizes(), i, j, k)) {
            return;
        }
        const double product = ChoiceOf(judge_.Sizes(), i, j, k).product;
        if (product >= window.low && product <= window.high) {
            found_.push_back(static_cast<std::uint32_t>(i << 16 | j << 8 | k));
        }
    }

    double desired_;
    double lead_;
    bool anyRule_;
    Judge judge_;
    QuickRules quick_;
    // The choices that may drive and be driven, when rules sort some out.
    std::vector<Choice> driversKept_;
    std::vector<Choice> drivenKept_;
    const std::vector<Choice>& drivers_;
    const std::vector<Choice>& driven_;
    std::vector<std::uint32_t> found_;
    std::vector<Roles> boxes_;
    std::vector<std::uint32_t> middles_;
    // Kept only for drivers whose walks are long.
    std::vector<Reach> reach_;
    // Under rules that let few trains near the wanted thread through, the
    // least error of a train with each choice of drivers, and those a pass
    // tries.
    std::vector<float> leastErrors_;
    std::vector<ReachOfDrivers> byReach_;
    DriverPlan plan_;
    const Choice* planned_ = nullptr;
    double windowLimit_ = -1.0;
    Window windowFactors_{};
};

} // namespace

bool FitRules::AllowsThreePairs(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D,
                                std::int64_t E, std::int64_t F) const {
    if (spindleGear && A != *spindleGear) {
        return false;
    }
    if (clearance) {
        const Wide K = *clearance;
        const Wide middleMesh = Wide{C} + D;
        if (!(B + K <= middleMesh && C + K <= Wide{A} + B && D + K <= Wide{E} + F &&
              E + K <= middleMesh)) {
            return false;
        }
    }
    if (minimumSum && Wide{A} + B + C + D + E + F < *minimumSum) {
        return false;
    }
    return !check || check->MountsThreePairs(A, B, C, D, E, F);
}

std::vector<ThreePairTrain> SearchBestThreePairTrains(double desiredTpi, double leadTpi,
                                                      const std::vector<std::int64_t>& gears,
                                                      int show, const FitRules& rules) {
    if (!Searchable(desiredTpi, leadTpi, show)) {
        return {};
    }
    return FastSearch(desiredTpi, leadTpi, gears, rules).Run(show);
}

std::vector<ThreePairTrain>
SearchBestThreePairTrainsReference(double desiredTpi, double leadTpi,
                                   const std::vector<std::int64_t>& gears, int show,
                                   const FitRules& rules) {
    if (!Searchable(desiredTpi, leadTpi, show)) {
        return {};
    }
    auto layout = std::make_shared<Layout>();
    layout->sizes = SizesOf(gears);
    layout->choices = ChoicesOf(layout->sizes);
    const Judge judge(desiredTpi, leadTpi, layout, rules);
    BestTrains best(show);
    for (const Choice& drivers : judge.Choices()) {
        for (const Choice& driven : judge.Choices()) {
            judge.Offer(drivers, driven, best);
        }
    }
    return best.Sorted();
}
