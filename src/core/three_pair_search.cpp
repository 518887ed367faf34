#include "core/three_pair_search.h"

#include "core/units.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
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

// Three gears of one side of a train, as indices of their sizes, ascending,
// with the set of sizes as a bit mask (two words hold kMaxGears sizes).
struct Triple {
    std::array<std::uint8_t, 3> size;
    std::array<std::uint64_t, 2> mask;
};

bool ShareASize(const Triple& x, const Triple& y) {
    return ((x.mask[0] & y.mask[0]) | (x.mask[1] & y.mask[1])) != 0;
}

// Every choice of three gears from the sizes, each choice once.
std::vector<Triple> TriplesOf(const GearSizes& sizes) {
    const int m = static_cast<int>(sizes.teeth.size());
    std::vector<Triple> triples;
    for (int i = 0; i < m; ++i) {
        for (int j = i; j < m; ++j) {
            for (int k = j; k < m; ++k) {
                const int uses = 1 + (j == i) + (k == i);
                if (sizes.count[i] < uses || (k == j && j != i && sizes.count[j] < 2)) {
                    continue;
                }
                Triple triple{{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(j),
                               static_cast<std::uint8_t>(k)},
                              {0, 0}};
                for (const int index : {i, j, k}) {
                    triple.mask[index / 64] |= std::uint64_t{1} << (index % 64);
                }
                triples.push_back(triple);
            }
        }
    }
    return triples;
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

// What both searches share: the gears, and how one train is judged.
class Judge {
public:
    Judge(double desiredTpi, double leadTpi, const std::vector<std::int64_t>& gears,
          const FitRules& rules)
        : desired_(desiredTpi), lead_(leadTpi), rules_(rules), sizes_(SizesOf(gears)),
          triples_(TriplesOf(sizes_)) {}

    const std::vector<Triple>& Triples() const { return triples_; }

    std::array<std::int64_t, 3> Teeth(const Triple& triple) const {
        return {sizes_.teeth[triple.size[0]], sizes_.teeth[triple.size[1]],
                sizes_.teeth[triple.size[2]]};
    }

    // Whether the train can be mounted at all; if so, it is offered.
    bool Offer(const Triple& drivers, const Triple& driven, BestTrains& best) const {
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
    GearSizes sizes_;
    std::vector<Triple> triples_;
};

bool Searchable(double desiredTpi, double leadTpi, int show) {
    return show > 0 && IsUsableMeasure(desiredTpi) && IsUsableMeasure(leadTpi);
}

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
    QuickRules(const FitRules& rules, const Judge& judge) : rules_(rules) {
        for (const Triple& triple : judge.Triples()) {
            const auto side = judge.Teeth(triple);
            largest_ = std::max(largest_, Wide{side[2]});
            largestSum_ = std::max(largestSum_, Sum(side));
        }
    }

    bool MayDrive(const std::array<std::int64_t, 3>& drivers) const {
        if (rules_.spindleGear &&
            std::find(drivers.begin(), drivers.end(), *rules_.spindleGear) == drivers.end()) {
            return false;
        }
        return MayBeDriven(drivers);
    }

    bool MayBeDriven(const std::array<std::int64_t, 3>& side) const {
        return Reaches(Sum(side) + largestSum_) && Clears(side[1] + largest_);
    }

    bool MayFit(const std::array<std::int64_t, 3>& drivers,
                const std::array<std::int64_t, 3>& driven) const {
        return Reaches(Sum(drivers) + Sum(driven)) &&
               Clears(std::min(Wide{drivers[1]} + driven[2], Wide{drivers[2]} + driven[1])) &&
               SomeArrangementClears(drivers, driven);
    }

private:
    // The clearance rule alone, over every arrangement, without ordering
    // them: C and D mesh in the middle, B and E must clear that mesh's other
    // shaft, C and D the shafts beyond A and B, E and F.
    bool SomeArrangementClears(const std::array<std::int64_t, 3>& drivers,
                               const std::array<std::int64_t, 3>& driven) const {
        if (!rules_.clearance) {
            return true;
        }
        const Wide K = *rules_.clearance;
        for (int c = 0; c < 3; ++c) {
            for (int d = 0; d < 3; ++d) {
                const Wide middle = Wide{drivers[c]} + driven[d];
                for (int b = 0; b < 3; ++b) {
                    for (int e = 0; e < 3; ++e) {
                        const int a = 3 - c - e;
                        const int f = 3 - d - b;
                        if (b != d && e != c && driven[b] + K <= middle &&
                            drivers[e] + K <= middle &&
                            drivers[c] + K <= Wide{drivers[a]} + driven[b] &&
                            driven[d] + K <= Wide{drivers[e]} + driven[f]) {
                            return true;
                        }
                    }
                }
            }
        }
        return false;
    }

    static Wide Sum(const std::array<std::int64_t, 3>& side) {
        return Wide{side[0]} + side[1] + side[2];
    }
    bool Reaches(Wide sum) const { return !rules_.minimumSum || sum >= *rules_.minimumSum; }
    bool Clears(Wide sum) const { return !rules_.clearance || sum >= 2 * Wide{*rules_.clearance}; }

    const FitRules& rules_;
    Wide largest_ = 0;
    Wide largestSum_ = 0;
};

// Meet in the middle: the train cuts about lead x Q / P, where P is the
// product of the drivers' tooth counts and Q of the driven ones. With every
// choice of three gears sorted by its product, the driven choices that can
// still get in beside one choice of drivers are one run of that order around
// the point where Q / P is the wanted ratio; that point only moves up as the
// drivers' product grows. A first pass takes, on each side of every such
// point, the nearest train that fits; the worst of the best trains it meets
// bounds the error of the second pass, which takes each run whole, so that
// only trains near the best are ever judged.
class FastSearch {
public:
    FastSearch(double desiredTpi, double leadTpi, const std::vector<std::int64_t>& gears,
               const FitRules& rules)
        : desired_(desiredTpi), lead_(leadTpi), judge_(desiredTpi, leadTpi, gears, rules),
          quick_(rules, judge_) {
        for (const Choice& choice : SortedByProduct()) {
            if (quick_.MayDrive(choice.teeth)) {
                drivers_.push_back(choice);
            }
            if (quick_.MayBeDriven(choice.teeth)) {
                driven_.push_back(choice);
            }
        }
    }

    std::vector<ThreePairTrain> Run(int show) {
        BestTrains nearest(show);
        ForEachDriverChoice([&](const Choice& drivers, std::size_t middle) {
            TryNearest(drivers, middle, nearest);
        });
        const double bound = nearest.Bound();
        BestTrains best(show);
        ForEachDriverChoice([&](const Choice& drivers, std::size_t middle) {
            TryRun(drivers, middle, bound, best);
        });
        return best.Sorted();
    }

private:
    struct Choice {
        Triple triple;
        std::array<std::int64_t, 3> teeth;
        double product;
    };

    // The relative slack between the estimate lead x Q / P and the thread
    // the arrangement shown really cuts: far above their few roundings.
    static constexpr double kSlack = 1e-9;
    // How far the first pass looks on each side for a train that fits.
    static constexpr std::size_t kProbe = 8;

    std::vector<Choice> SortedByProduct() const {
        std::vector<std::pair<double, std::uint32_t>> keyed;
        keyed.reserve(judge_.Triples().size());
        for (const Triple& triple : judge_.Triples()) {
            const auto teeth = judge_.Teeth(triple);
            keyed.emplace_back((static_cast<double>(teeth[0]) * static_cast<double>(teeth[1])) *
                                   static_cast<double>(teeth[2]),
                               static_cast<std::uint32_t>(keyed.size()));
        }
        std::sort(keyed.begin(), keyed.end());
        std::vector<Choice> choices;
        choices.reserve(keyed.size());
        for (const auto& [product, index] : keyed) {
            const Triple& triple = judge_.Triples()[index];
            choices.push_back({triple, judge_.Teeth(triple), product});
        }
        return choices;
    }

    // Calls `visit` with each choice of drivers and the first driven choice
    // whose product is not below the drivers' times the wanted ratio.
    template <class Visit> void ForEachDriverChoice(Visit visit) const {
        const double ratio = desired_ / lead_;
        std::size_t middle = 0;
        for (const Choice& drivers : drivers_) {
            while (middle < driven_.size() && driven_[middle].product < drivers.product * ratio) {
                ++middle;
            }
            visit(drivers, middle);
        }
    }

    bool Offer(const Choice& drivers, const Choice& driven, BestTrains& best) const {
        return quick_.MayFit(drivers.teeth, driven.teeth) &&
               judge_.Offer(drivers.triple, driven.triple, best);
    }

    void TryNearest(const Choice& drivers, std::size_t middle, BestTrains& best) const {
        for (std::size_t step = 0; step < kProbe && step < middle; ++step) {
            if (Offer(drivers, driven_[middle - 1 - step], best)) {
                break;
            }
        }
        for (std::size_t driven = middle; driven < driven_.size() && driven < middle + kProbe;
             ++driven) {
            if (Offer(drivers, driven_[driven], best)) {
                break;
            }
        }
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
    void TryRun(const Choice& drivers, std::size_t middle, double bound, BestTrains& best) const {
        const double product = drivers.product;
        const auto limit = [&] { return std::min(bound, best.Bound()); };
        std::size_t down = middle;
        std::size_t up = middle;
        bool downward = true;
        bool upward = true;
        while (downward || upward) {
            downward =
                downward && down > 0 &&
                driven_[down - 1].product >= (Thread(-limit()) / lead_) * product * (1.0 - kSlack);
            if (downward) {
                Offer(drivers, driven_[--down], best);
            }
            upward = upward && up < driven_.size() &&
                     driven_[up].product <= (Thread(limit()) / lead_) * product * (1.0 + kSlack);
            if (upward) {
                Offer(drivers, driven_[up++], best);
            }
        }
    }

    double desired_;
    double lead_;
    Judge judge_;
    QuickRules quick_;
    std::vector<Choice> drivers_;
    std::vector<Choice> driven_;
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
    const Judge judge(desiredTpi, leadTpi, gears, rules);
    BestTrains best(show);
    for (const Triple& drivers : judge.Triples()) {
        for (const Triple& driven : judge.Triples()) {
            judge.Offer(drivers, driven, best);
        }
    }
    return best.Sorted();
}
