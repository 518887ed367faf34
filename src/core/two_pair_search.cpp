#include "core/two_pair_search.h"

#include "core/gear_index.h"
#include "core/keyed_table.h"
#include "core/units.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

// Same train as the slot: drivers swapped, driven gears swapped, or both; or
// two simple trains from the same A to the same D through any idler.
bool SameTrain(const GearTrain& slot, double a, double b, double c, double d) {
    const double A = static_cast<double>(slot.A);
    const double B = static_cast<double>(slot.B);
    const double C = static_cast<double>(slot.C);
    const double D = static_cast<double>(slot.D);
    const bool driversMatch = (a == A && c == C) || (a == C && c == A);
    const bool drivenMatch = (b == B && d == D) || (b == D && d == B);
    if (driversMatch && drivenMatch) {
        return true;
    }
    return a == A && d == D && b == c && B == C;
}

bool MatchesAnySlot(const std::vector<GearTrain>& table, double a, double b, double c, double d) {
    return std::any_of(table.begin(), table.end(),
                       [&](const GearTrain& slot) { return SameTrain(slot, a, b, c, d); });
}

double WorstError(const std::vector<GearTrain>& table) {
    double worst = 0.0;
    for (const GearTrain& slot : table) {
        if (slot.error > worst) {
            worst = slot.error;
        }
    }
    return worst;
}

// The lowest-index slot holding the worst error takes the newcomer.
void ReplaceWorst(std::vector<GearTrain>& table, double threshold, const GearTrain& newcomer) {
    for (GearTrain& slot : table) {
        if (slot.error == threshold) {
            slot = newcomer;
            return;
        }
    }
}

// Wide enough that no sum of tooth counts can overflow.
__extension__ using Wide = __int128;

// Inclusive limits on the teeth of the second pair beside a given first pair:
// on C, on D and on the middle mesh C + D. Every train the rules allow lies
// within them, so the search never looks outside; one within them must still
// pass the rules themselves.
struct SecondPairBounds {
    static constexpr Wide kNone = Wide{1} << 100;
    Wide cLow = -kNone;
    Wide cHigh = kNone;
    Wide dLow = -kNone;
    Wide dHigh = kNone;
    Wide meshLow = -kNone;
    Wide meshHigh = kNone;

    bool Open() const {
        return cLow == -kNone && cHigh == kNone && dLow == -kNone && dHigh == kNone &&
               meshLow == -kNone && meshHigh == kNone;
    }
};

// The one place where the rules become bounds for the search: a rule added
// to FitRules adds its terms here, and the search skips what they refuse.
// For a compound train (C not of B's size):
// - clearance K: B + K <= C + D bounds the mesh, C + K <= A + B bounds C;
// - minimum sum S: C + D >= S - A - B.
SecondPairBounds CompoundBounds(const FitRules& rules, std::int64_t A, std::int64_t B) {
    SecondPairBounds bounds;
    if (rules.clearance) {
        bounds.meshLow = Wide{B} + *rules.clearance;
        bounds.cHigh = Wide{A} + B - *rules.clearance;
    }
    if (rules.minimumSum) {
        bounds.meshLow = std::max(bounds.meshLow, *rules.minimumSum - Wide{A} - B);
    }
    return bounds;
}

// Whether any rule gives CompoundBounds or SimpleBounds a term; kept beside
// them, so that a search without such rules skips deriving open bounds.
bool BoundsSecondPair(const FitRules& rules) {
    return rules.clearance || rules.minimumSum;
}

// A simple train (C of B's size) is limited by nothing but the spindle gear,
// which the search applies to A before it gets here.
SecondPairBounds SimpleBounds(const FitRules&, std::int64_t, std::int64_t) {
    return {};
}

// What either bounds allow.
SecondPairBounds Hull(const SecondPairBounds& x, const SecondPairBounds& y) {
    return {std::min(x.cLow, y.cLow),       std::max(x.cHigh, y.cHigh),
            std::min(x.dLow, y.dLow),       std::max(x.dHigh, y.dHigh),
            std::min(x.meshLow, y.meshLow), std::max(x.meshHigh, y.meshHigh)};
}

// The first of `count` ascending values for which `below` is false.
template <class T, class Below> int RankWhere(const T* values, int count, Below below) {
    return static_cast<int>(std::partition_point(values, values + count, below) - values);
}

// Sizes of gears that a quotient in the run can pair with: a little wider
// than exact, so that rounding never hides one; each is then checked exactly.
constexpr double kBelow = 1.0 - 1e-12;
constexpr double kAbove = 1.0 + 1e-12;

// What became of the last quadruple tried with given classes (a, b, c, d),
// which every other quadruple with those classes shares: such a quadruple
// cuts the same thread and matches the same slots. It is certainly rejected
// - for ever, once one was admitted: while that train is kept it matches,
//   and when it is evicted the threshold falls to its error or below;
// - as long as no slot has been evicted, once one matched a kept train.
// A lossy cache: a forgotten entry only means the quadruple is tried again.
class RepeatMemo {
public:
    RepeatMemo() : entries_(kSize) {}

    bool Rejects(std::uint32_t classes, std::uint32_t evictions) const {
        const Entry& entry = entries_[Slot(classes)];
        return entry.tag == classes + 1 && (entry.stamp == kForever || entry.stamp == evictions);
    }
    void RememberAdmitted(std::uint32_t classes) {
        entries_[Slot(classes)] = {classes + 1, kForever};
    }
    void RememberMatched(std::uint32_t classes, std::uint32_t evictions) {
        entries_[Slot(classes)] = {classes + 1, evictions};
    }

private:
    struct Entry {
        std::uint32_t tag;
        std::uint32_t stamp;
    };
    static constexpr std::size_t kSize = 1 << 14;
    static constexpr std::uint32_t kForever = 0xFFFFFFFF;

    static std::size_t Slot(std::uint32_t classes) {
        return static_cast<std::size_t>((classes * 0x9E3779B1u) >> 18);
    }

    std::vector<Entry> entries_;
};

// The exhaustive loop with every quadruple skipped that provably cannot enter
// the table at its turn; those that might are tried in enumeration order with
// the very same arithmetic, so the table ends bit for bit the same.
//
// It rests on these facts, which need positive gears and a positive, finite
// desired thread and lead screw:
// - The threshold never rises: a newcomer replaces a slot holding the largest
//   error with a smaller one. A quadruple not below the threshold at the start
//   of its (a, b) block is therefore rejected at its turn.
// - For a fixed first pair (a, b), T = (ratio * quotient) * lead is a
//   non-decreasing function of quotient = G[d] / G[c], because rounding is
//   monotonic and every factor is positive; the error |desired - T| is below
//   the threshold for one run of the sorted quotients.
// - Quadruples with equal classes share their fate (see RepeatMemo). Within a
//   block, until a slot is evicted, only the first quadruple of each class
//   pair (c, d) needs trying; after an eviction every one is tried.
class FastSearch {
public:
    FastSearch(double desiredTpi, double leadTpi, const std::vector<std::int64_t>& gears, int show,
               const FitRules& rules);

    std::vector<GearTrain> Run();

private:
    struct Block {
        int a;
        int b;
        double ratio;
        std::size_t first;
        std::size_t last;
    };
    // Class pairs packed as x << 8 | y.
    using ClassPairs = std::pair<const std::uint16_t*, const std::uint16_t*>;

    void SearchBlock(int a, int b);
    void FindAdmissibleRun(Block& block) const;
    ClassPairs FittingClassPairs(const Block& block);
    void KeepFittingOfRun(const Block& block, const SecondPairBounds& compound,
                          const SecondPairBounds& simple);
    void KeepFittingBySize(const Block& block, const SecondPairBounds& compound,
                           const SecondPairBounds& simple, int fromRank, int toRank);
    void KeepFittingBeside(const Block& block, int x, const SecondPairBounds& bounds);
    std::pair<int, int> RanksOfC(const Block& block, const SecondPairBounds& compound) const;
    bool Within(const SecondPairBounds& bounds, int x, int y) const;
    int FirstPositionPair(const Block& block, int x, int y) const;
    void TryFirstOfEachClassPair(const Block& block, ClassPairs pairs);
    void TryEveryPairAfter(const Block& block, ClassPairs pairs, int after);
    void TryEveryPairInOrder(const Block& block);
    bool Consider(const Block& block, int c, int d);

    double desired_;
    double lead_;
    const std::vector<std::int64_t>& gears_;
    const FitRules& rules_;
    GearClasses classes_;
    int n_;
    const double* G_;
    QuotientIndex index_;
    bool bounding_;
    // The classes by size, ascending: their sizes and the tooth counts they span.
    double sizeByRank_[kMaxGears];
    std::int64_t fewestByRank_[kMaxGears];
    std::int64_t mostByRank_[kMaxGears];
    // The class pairs of a block's run that the rules leave open.
    std::vector<std::uint16_t> fitting_;
    // Packed as c << 8 | d: the first pair of each class pair in a block, and
    // every pair after an eviction.
    std::vector<std::uint32_t> candidates_;
    std::vector<std::uint32_t> laterCandidates_;
    KeyedTable table_;
    RepeatMemo memo_;
    std::uint32_t evictions_ = 0;
};

FastSearch::FastSearch(double desiredTpi, double leadTpi, const std::vector<std::int64_t>& gears,
                       int show, const FitRules& rules)
    : desired_(desiredTpi), lead_(leadTpi), gears_(gears), rules_(rules), classes_(gears),
      n_(classes_.n), G_(classes_.G), index_(classes_), bounding_(BoundsSecondPair(rules)),
      table_(show) {
    for (int rank = 0; rank < classes_.count; ++rank) {
        const int x = classes_.bySize[rank];
        sizeByRank_[rank] = classes_.size[x];
        fewestByRank_[rank] = classes_.fewest[x];
        mostByRank_[rank] = classes_.most[x];
    }
    fitting_.reserve(static_cast<std::size_t>(n_ * n_));
    candidates_.reserve(static_cast<std::size_t>(n_ * n_));
    laterCandidates_.reserve(static_cast<std::size_t>(n_ * n_));
}

std::vector<GearTrain> FastSearch::Run() {
    // Once every kept train is exact, nothing can get below the threshold.
    for (int a = 0; a < n_ && table_.Threshold() > 0.0; ++a) {
        if (rules_.spindleGear && gears_[a] != *rules_.spindleGear) {
            continue;
        }
        for (int b = 0; b < n_ && table_.Threshold() > 0.0; ++b) {
            if (b != a) {
                SearchBlock(a, b);
            }
        }
    }
    return table_.Sorted();
}

void FastSearch::SearchBlock(int a, int b) {
    Block block{a, b, G_[b] / G_[a], 0, 0};
    FindAdmissibleRun(block);
    if (block.first == block.last) {
        return;
    }
    const ClassPairs pairs = FittingClassPairs(block);
    // A wide run, as while the table fills, is cheaper to walk in
    // enumeration order than to gather and sort.
    if ((pairs.second - pairs.first) * 8 > n_ * n_) {
        TryEveryPairInOrder(block);
        return;
    }
    TryFirstOfEachClassPair(block, pairs);
}

// The class pairs of the run that the rules may allow beside the block's
// first pair: the run itself when the rules limit nothing here; else those
// of the run that lie within the bounds, found by walking the run when it is
// short and by looking up the sizes that fit when it is long, so that the
// cost follows the pairs that fit rather than the pairs of the run.
FastSearch::ClassPairs FastSearch::FittingClassPairs(const Block& block) {
    if (!bounding_) {
        return {index_.PairsBegin(block.first), index_.PairsEnd(block.last)};
    }
    const std::int64_t A = gears_[block.a];
    const std::int64_t B = gears_[block.b];
    const SecondPairBounds compound = CompoundBounds(rules_, A, B);
    // The simple class may hold gears that are not B's teeth exactly.
    const SecondPairBounds simple = Hull(SimpleBounds(rules_, A, B), compound);
    if (compound.Open() && simple.Open()) {
        return {index_.PairsBegin(block.first), index_.PairsEnd(block.last)};
    }
    fitting_.clear();
    const auto [fromRank, toRank] = RanksOfC(block, compound);
    const auto runPairs = index_.PairsEnd(block.last) - index_.PairsBegin(block.first);
    if (runPairs <= 16 * (toRank - fromRank + 1)) {
        KeepFittingOfRun(block, compound, simple);
    } else {
        KeepFittingBySize(block, compound, simple, fromRank, toRank);
    }
    return {fitting_.data(), fitting_.data() + fitting_.size()};
}

void FastSearch::FindAdmissibleRun(Block& block) const {
    const std::vector<double>& values = index_.Values();
    const double threshold = table_.Threshold();
    const auto deviation = [&](std::size_t entry) {
        return desired_ - (block.ratio * values[entry]) * lead_;
    };
    // Start near the boundary, then settle it with the exact arithmetic.
    std::size_t first = index_.LowerBound((desired_ - threshold) / (block.ratio * lead_));
    while (first > 0 && deviation(first - 1) < threshold) {
        --first;
    }
    while (first < values.size() && !(deviation(first) < threshold)) {
        ++first;
    }
    // The end too, as a wide run (while few trains fit) is long to step over.
    std::size_t last =
        std::max(first, index_.LowerBound((desired_ + threshold) / (block.ratio * lead_)));
    while (last > first && !(deviation(last - 1) > -threshold)) {
        --last;
    }
    while (last < values.size() && deviation(last) > -threshold) {
        ++last;
    }
    block.first = first;
    block.last = last;
}

void FastSearch::KeepFittingOfRun(const Block& block, const SecondPairBounds& compound,
                                  const SecondPairBounds& simple) {
    const int simpleClass = classes_.of[block.b];
    for (auto pair = index_.PairsBegin(block.first); pair != index_.PairsEnd(block.last); ++pair) {
        const int x = *pair >> 8;
        if (Within(x == simpleClass ? simple : compound, x, *pair & 0xFF)) {
            fitting_.push_back(*pair);
        }
    }
}

void FastSearch::KeepFittingBySize(const Block& block, const SecondPairBounds& compound,
                                   const SecondPairBounds& simple, int fromRank, int toRank) {
    const int simpleClass = classes_.of[block.b];
    for (int rank = fromRank; rank < toRank; ++rank) {
        const int x = classes_.bySize[rank];
        if (x != simpleClass) {
            KeepFittingBeside(block, x, compound);
        }
    }
    KeepFittingBeside(block, simpleClass, simple);
}

// The class pairs (x, y) of the run within the bounds, for one class x of C.
void FastSearch::KeepFittingBeside(const Block& block, int x, const SecondPairBounds& bounds) {
    if (classes_.most[x] < bounds.cLow || classes_.fewest[x] > bounds.cHigh) {
        return;
    }
    const double lowest = index_.Values()[block.first];
    const double highest = index_.Values()[block.last - 1];
    const double C = classes_.size[x];
    const int count = classes_.count;
    const Wide dLow = std::max(bounds.dLow, bounds.meshLow - classes_.most[x]);
    const Wide dHigh = std::min(bounds.dHigh, bounds.meshHigh - classes_.fewest[x]);
    const int from = std::max(
        RankWhere(mostByRank_, count, [&](std::int64_t most) { return most < dLow; }),
        RankWhere(sizeByRank_, count, [&](double size) { return size < lowest * C * kBelow; }));
    const int to = std::min(
        RankWhere(fewestByRank_, count, [&](std::int64_t fewest) { return fewest <= dHigh; }),
        RankWhere(sizeByRank_, count, [&](double size) { return size <= highest * C * kAbove; }));
    const bool twoOfX = classes_.starts[x + 1] - classes_.starts[x] > 1;
    for (int rank = from; rank < to; ++rank) {
        const int y = classes_.bySize[rank];
        const double quotient = classes_.size[y] / C;
        // Within the bounds on D and on the mesh by the choice of ranks.
        if ((y != x || twoOfX) && quotient >= lowest && quotient <= highest) {
            fitting_.push_back(static_cast<std::uint16_t>(x << 8 | y));
        }
    }
}

// The ranks of the classes that can be C of a compound train in the block:
// within C's bounds, large enough to reach the mesh with the largest D, and
// with some D whose quotient lies in the run.
std::pair<int, int> FastSearch::RanksOfC(const Block& block,
                                         const SecondPairBounds& compound) const {
    const int count = classes_.count;
    const double lowest = index_.Values()[block.first];
    const double highest = index_.Values()[block.last - 1];
    const Wide largestD = std::min(Wide{mostByRank_[count - 1]}, compound.dHigh);
    const Wide low = std::max(compound.cLow, compound.meshLow - largestD);
    const int from =
        std::max(RankWhere(mostByRank_, count, [&](std::int64_t most) { return most < low; }),
                 RankWhere(sizeByRank_, count,
                           [&](double size) { return size < sizeByRank_[0] / highest * kBelow; }));
    const int to =
        std::min(RankWhere(fewestByRank_, count,
                           [&](std::int64_t fewest) { return fewest <= compound.cHigh; }),
                 RankWhere(sizeByRank_, count, [&](double size) {
                     return size <= sizeByRank_[count - 1] / lowest * kAbove;
                 }));
    return {from, std::max(from, to)};
}

bool FastSearch::Within(const SecondPairBounds& bounds, int x, int y) const {
    const std::int64_t* const fewest = classes_.fewest;
    const std::int64_t* const most = classes_.most;
    return most[x] >= bounds.cLow && fewest[x] <= bounds.cHigh && most[y] >= bounds.dLow &&
           fewest[y] <= bounds.dHigh && Wide{most[x]} + most[y] >= bounds.meshLow &&
           Wide{fewest[x]} + fewest[y] <= bounds.meshHigh;
}

// The first (c, d) in enumeration order with c of class x and d of class y
// that the position rules allow beside a and b, packed as c << 8 | d; -1 if
// there is none.
int FastSearch::FirstPositionPair(const Block& block, int x, int y) const {
    const std::uint8_t* const members = classes_.members;
    for (int i = classes_.starts[x]; i < classes_.starts[x + 1]; ++i) {
        const int c = members[i];
        if (c == block.a) {
            continue;
        }
        for (int j = classes_.starts[y]; j < classes_.starts[y + 1]; ++j) {
            const int d = members[j];
            if (d != block.a && d != block.b && d != c) {
                return c << 8 | d;
            }
        }
    }
    return -1;
}

void FastSearch::TryFirstOfEachClassPair(const Block& block, ClassPairs pairs) {
    candidates_.clear();
    for (auto pair = pairs.first; pair != pairs.second; ++pair) {
        const int first = FirstPositionPair(block, *pair >> 8, *pair & 0xFF);
        if (first >= 0) {
            candidates_.push_back(static_cast<std::uint32_t>(first));
        }
    }
    std::sort(candidates_.begin(), candidates_.end());
    for (const std::uint32_t key : candidates_) {
        if (Consider(block, static_cast<int>(key >> 8), static_cast<int>(key & 0xFF))) {
            TryEveryPairAfter(block, pairs, static_cast<int>(key));
            return;
        }
    }
}

// After an eviction, later quadruples of the block may enter although an
// earlier one of the same classes did not, so each is tried at its turn.
void FastSearch::TryEveryPairAfter(const Block& block, ClassPairs pairs, int after) {
    std::vector<std::uint32_t>& rest = laterCandidates_;
    rest.clear();
    const std::uint8_t* const members = classes_.members;
    for (auto pair = pairs.first; pair != pairs.second; ++pair) {
        const int x = *pair >> 8;
        const int y = *pair & 0xFF;
        for (int i = classes_.starts[x]; i < classes_.starts[x + 1]; ++i) {
            for (int j = classes_.starts[y]; j < classes_.starts[y + 1]; ++j) {
                const int c = members[i];
                const int d = members[j];
                const int key = c << 8 | d;
                if (key > after && c != block.a && d != block.a && d != block.b && d != c) {
                    rest.push_back(static_cast<std::uint32_t>(key));
                }
            }
        }
    }
    std::sort(rest.begin(), rest.end());
    for (const std::uint32_t key : rest) {
        Consider(block, static_cast<int>(key >> 8), static_cast<int>(key & 0xFF));
    }
}

void FastSearch::TryEveryPairInOrder(const Block& block) {
    const std::vector<double>& values = index_.Values();
    const double lowest = values[block.first];
    const double highest = values[block.last - 1];
    for (int c = 0; c < n_; ++c) {
        for (int d = 0; d < n_; ++d) {
            const double quotient = G_[d] / G_[c];
            if (c != block.a && d != block.a && d != block.b && d != c && quotient >= lowest &&
                quotient <= highest) {
                Consider(block, c, d);
            }
        }
    }
}

// One quadruple at its turn, judged exactly as the exhaustive loop judges it.
// Returns whether it evicted a kept train. Whether a train fits depends on
// tooth counts only, so the first quadruple of a class pair speaks for all.
bool FastSearch::Consider(const Block& block, int c, int d) {
    if (!rules_.Allows(gears_[block.a], gears_[block.b], gears_[c], gears_[d])) {
        return false;
    }
    const double thread = (block.ratio * (G_[d] / G_[c])) * lead_;
    const double error = std::fabs(desired_ - thread);
    if (!(error < table_.Threshold())) {
        return false;
    }
    const std::uint32_t a = classes_.of[block.a];
    const std::uint32_t b = classes_.of[block.b];
    const std::uint32_t x = classes_.of[c];
    const std::uint32_t y = classes_.of[d];
    const std::uint32_t classes = a << 21 | b << 14 | x << 7 | y;
    if (memo_.Rejects(classes, evictions_)) {
        return false;
    }
    const TrainKeys keys = KeysOf(a, b, x, y);
    if (table_.HoldsSameTrain(keys)) {
        memo_.RememberMatched(classes, evictions_);
        return false;
    }
    // Only a full table has no empty slot to fill.
    const bool evicts = table_.Full();
    table_.Admit(GearTrain{gears_[block.a], gears_[block.b], gears_[c], gears_[d], thread, error},
                 keys);
    memo_.RememberAdmitted(classes);
    evictions_ += evicts;
    return evicts;
}

bool FastSearchApplies(double desiredTpi, double leadTpi, const std::vector<std::int64_t>& gears) {
    if (!IsUsableMeasure(desiredTpi) || !IsUsableMeasure(leadTpi)) {
        return false;
    }
    const std::size_t n = std::min<std::size_t>(gears.size(), kMaxGears);
    return std::all_of(gears.begin(), gears.begin() + static_cast<std::ptrdiff_t>(n),
                       [](std::int64_t teeth) { return teeth > 0; });
}

} // namespace

bool FitRules::Allows(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D) const {
    if (spindleGear && A != *spindleGear) {
        return false;
    }
    if (B == C) {
        return !check || check->Mounts(A, B, C, D);
    }
    if (clearance &&
        !(Wide{B} + *clearance <= Wide{C} + D && Wide{C} + *clearance <= Wide{A} + B)) {
        return false;
    }
    if (minimumSum && Wide{A} + B + C + D < *minimumSum) {
        return false;
    }
    return !check || (check->bounds.Allow(A, B, C, D) && check->Mounts(A, B, C, D));
}

bool ToothBounds::Allow(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D) const {
    const Wide driven = Wide{A} + B;
    const Wide mesh = Wide{C} + D;
    const Wide difference = driven > mesh ? driven - mesh : mesh - driven;
    return Wide{B} + bClearance <= mesh && Wide{C} + cClearance <= driven && A <= maxA &&
           D <= maxD && mesh >= minMesh && mesh <= maxMesh && driven + mesh >= minSum &&
           difference <= maxSumDifference;
}

std::vector<GearTrain> SearchBestTrains(double desiredTpi, double leadTpi,
                                        const std::vector<std::int64_t>& gears, int show,
                                        const FitRules& rules) {
    if (show <= 0) {
        return {};
    }
    if (!FastSearchApplies(desiredTpi, leadTpi, gears)) {
        return SearchBestTrainsReference(desiredTpi, leadTpi, gears, show, rules);
    }
    return FastSearch(desiredTpi, leadTpi, gears, show, rules).Run();
}

std::vector<GearTrain> SearchBestTrainsReference(double desiredTpi, double leadTpi,
                                                 const std::vector<std::int64_t>& gears, int show,
                                                 const FitRules& rules) {
    if (show <= 0) {
        return {};
    }
    std::vector<GearTrain> table(static_cast<std::size_t>(std::min(show, kMaxTrains)));
    const int n = static_cast<int>(std::min<std::size_t>(gears.size(), kMaxGears));
    double G[kMaxGears];
    for (int i = 0; i < n; ++i) {
        G[i] = static_cast<double>(gears[i]);
    }

    double threshold = kEmptyError;
    for (int a = 0; a < n; ++a) {
        for (int b = 0; b < n; ++b) {
            if (b == a) {
                continue;
            }
            for (int c = 0; c < n; ++c) {
                if (c == a) {
                    continue;
                }
                for (int d = 0; d < n; ++d) {
                    if (d == a || d == b || d == c) {
                        continue;
                    }
                    if (!rules.Allows(gears[a], gears[b], gears[c], gears[d])) {
                        continue;
                    }
                    const double thread = ((G[b] / G[a]) * (G[d] / G[c])) * leadTpi;
                    const double error = std::fabs(desiredTpi - thread);
                    if (!(error < threshold)) {
                        continue;
                    }
                    if (MatchesAnySlot(table, G[a], G[b], G[c], G[d])) {
                        continue;
                    }
                    ReplaceWorst(table, threshold,
                                 GearTrain{gears[a], gears[b], gears[c], gears[d], thread, error});
                    threshold = WorstError(table);
                }
            }
        }
    }
    SortByError(table);
    return table;
}
